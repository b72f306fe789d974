#include <gtest/gtest.h>

#include "support/DeviceSupport.h"

namespace kestrel::device {
namespace {

// Both ends of the wire: the setup packets the host builds, and what the simulated programmer
// does with them.

// The EEPROM page rides in the setup packet: byte 0 low in wValue, byte 2 low in wIndex. The
// simulator decodes what the host encodes, so only this pins the order the firmware expects.
TEST(VendorRequestTest, AnEepromPageRidesInTheSetupPacketLowByteFirst) {
  const std::uint8_t page[4] = {0x12, 0x34, 0x56, 0x78};
  EXPECT_EQ(WriteEepromPageRequest(ProgrammingMode::ISP, page, 4),
            (VendorRequest{0xC0, 0x19, 0x3412, 0x7856, 4}));
}

using Bytes = std::vector<std::uint8_t>;
using enum VendorCommand;

// Talks to the simulated programmer as the host does, one request at a time, in PP_20.
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
    return Send(SingleShotRequest(ProgrammingMode::PP_20, command, value, index));
  }
  SimulatedBus bus;
  ProgrammerLink link{bus};
  SimulatedProgrammer& chip = bus.programmer();
};

TEST(SimulatedProgrammerTest, FlashBitsOnlyClearAndReadyRewindsToPageZero) {
  Socket s;
  s.Send(WriteFlashPageRequest(ProgrammingMode::PP_20, 16), 0xF0);  // page 0
  s.Send(WriteFlashPageRequest(ProgrammingMode::PP_20, 16), 0xAA);  // page 1
  s.Reply(Ready);
  s.Send(WriteFlashPageRequest(ProgrammingMode::PP_20, 16), 0x3C);  // page 0 again
  s.Reply(Ready);
  EXPECT_EQ(s.Send(ReadFlashPageRequest(ProgrammingMode::PP_20, 16)), Bytes(32, 0x30))
      << "0xF0 then 0x3C leave 0x30";
  EXPECT_EQ(s.Send(ReadFlashPageRequest(ProgrammingMode::PP_20, 16)), Bytes(32, 0xAA));
}

// Erase clears both memories and the lock and keeps the fuses; unlock also restores the
// factory fuses; a locked chip reads back erased.
TEST(SimulatedProgrammerTest, EraseUnlockAndLock) {
  Socket s;
  s.Reply(WriteFuses, 0x99E1, 0x00FE);
  s.Reply(WriteLock, 0xFC);
  s.chip.flash[1] = s.chip.eeprom[1] = 0x12;
  EXPECT_EQ(s.Send(ReadFlashPageRequest(ProgrammingMode::PP_20, 16)), Bytes(32, 0xFF));
  s.Reply(Ready);
  EXPECT_EQ(s.Send(ReadEepromPageRequest(ProgrammingMode::PP_20, 4)), Bytes(4, 0xFF));
  s.Reply(EraseChip);
  EXPECT_EQ(s.Reply(ReadFuseLock), (Bytes{0xE1, 0x99, 0xFE, 0xFF, 0, 0, 0, 0}));
  EXPECT_EQ(s.chip.flash[1] & s.chip.eeprom[1], 0xFF) << "both memories erased";
  s.Reply(WriteLock, 0x00);
  s.Reply(Unlock);
  EXPECT_EQ(s.Reply(ReadFuseLock), (Bytes{0x62, 0xD9, 0xFF, 0xFF, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace kestrel::device
