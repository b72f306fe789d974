#include <gtest/gtest.h>

#include "support/DeviceSupport.h"

namespace kestrel::device {
namespace {

// Both ends of the wire: the setup packets the host builds, and what the simulated programmer
// does with them.
class EveryMode : public ::testing::TestWithParam<std::uint8_t> {};

TEST_P(EveryMode, EveryRequestCarriesModeCommandSizeAndDirection) {
  const std::uint8_t mode = GetParam();
  const auto byte = [mode](int command) { return static_cast<std::uint8_t>(mode * 16 + command); };
  for (int command = 0; command <= 7; ++command) {
    EXPECT_EQ(SingleShotRequest(mode, static_cast<VendorCommand>(command), 0x99E1, 0x00FF),
              (VendorRequest{0xC0, byte(command), 0x99E1, 0x00FF, 8}));
  }
  // The EEPROM page rides in the setup packet: byte 0 low in wValue, byte 2 low in wIndex.
  const std::uint8_t page[4] = {0x12, 0x34, 0x56, 0x78};
  EXPECT_EQ(WriteEepromPageRequest(mode, page, 4), (VendorRequest{0xC0, byte(9), 0x3412, 0x7856, 4}));
  EXPECT_EQ(WriteEepromPageRequest(mode, page, 2), (VendorRequest{0xC0, byte(9), 0x3412, 0, 2}))
      << "a short page carries only its own bytes";
  EXPECT_EQ(WriteFlashPageRequest(mode, 255), (VendorRequest{0x40, byte(8), 255, 0, 510}));
  EXPECT_EQ(ReadFlashPageRequest(mode, 64), (VendorRequest{0xC0, byte(10), 64, 0, 128}));
  EXPECT_EQ(ReadEepromPageRequest(mode, 255), (VendorRequest{0xC0, byte(11), 255, 0, 255}));
}

INSTANTIATE_TEST_SUITE_P(Modes, EveryMode, ::testing::Values(0, 1, 2, 3));

using Bytes = std::vector<std::uint8_t>;
using enum VendorCommand;

// Talks to the simulated programmer as the host does, one request at a time, in mode 0.
struct Socket {
  Socket() { link.Open(); }
  Bytes Send(const VendorRequest& r, std::uint8_t fill = 0xEE) {
    Bytes bytes(r.length, fill);
    EXPECT_EQ(bus.ControlMsg(link.deviceHandle, r.requestType, r.request, r.value, r.index, bytes.data(),
                             r.length, kVendorTimeoutMs),
              r.length);
    return bytes;
  }
  Bytes Reply(VendorCommand command, std::uint16_t value = 0, std::uint16_t index = 0) {
    return Send(SingleShotRequest(0, command, value, index));
  }
  SimulatedBus bus;
  ProgrammerLink link{bus};
  SimulatedProgrammer& chip = bus.programmer();
};

TEST(SimulatedProgrammerTest, FlashBitsOnlyClearAndReadyRewindsToPageZero) {
  Socket s;
  s.Send(WriteFlashPageRequest(0, 16), 0xF0);  // page 0
  s.Send(WriteFlashPageRequest(0, 16), 0xAA);  // page 1
  s.Reply(Ready);
  s.Send(WriteFlashPageRequest(0, 16), 0x3C);  // page 0 again
  s.Reply(Ready);
  EXPECT_EQ(s.Send(ReadFlashPageRequest(0, 16)), Bytes(32, 0x30)) << "0xF0 then 0x3C leave 0x30";
  EXPECT_EQ(s.Send(ReadFlashPageRequest(0, 16)), Bytes(32, 0xAA));
}

// Erase clears both memories and the lock and keeps the fuses; unlock also restores the
// factory fuses; a locked chip reads back erased.
TEST(SimulatedProgrammerTest, EraseUnlockAndLock) {
  Socket s;
  s.Reply(WriteFuses, 0x99E1, 0x00FE);
  s.Reply(WriteLock, 0xFC);
  s.chip.flash[1] = s.chip.eeprom[1] = 0x12;
  EXPECT_EQ(s.Send(ReadFlashPageRequest(0, 16)), Bytes(32, 0xFF));
  s.Reply(Ready);
  EXPECT_EQ(s.Send(ReadEepromPageRequest(0, 4)), Bytes(4, 0xFF));
  s.Reply(EraseChip);
  EXPECT_EQ(s.Reply(ReadFuseLock), (Bytes{0xE1, 0x99, 0xFE, 0xFF, 0, 0, 0, 0}));
  EXPECT_EQ(s.chip.flash[1] & s.chip.eeprom[1], 0xFF) << "both memories erased";
  s.Reply(WriteLock, 0x00);
  s.Reply(Unlock);
  EXPECT_EQ(s.Reply(ReadFuseLock), (Bytes{0x62, 0xD9, 0xFF, 0xFF, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace kestrel::device
