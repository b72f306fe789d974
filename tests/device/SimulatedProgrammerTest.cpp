#include <gtest/gtest.h>

#include <cerrno>

#include "device/ProgrammerLink.h"
#include "device/sim/SimulatedBus.h"

namespace kestrel::device {
namespace {

// Talks to the simulated programmer as the host does, one request at a time.
struct Wire {
  explicit Wire(SimulatorOptions options = {}) : bus(std::move(options)) {
    bool initDone = false;
    OpenProgrammer(bus, initDone, &handle, kProgrammerVendorId, kProgrammerManufacturer, kProgrammerProductId,
                   kProgrammerProduct);
  }
  ~Wire() { bus.Close(handle); }

  int Send(const VendorRequest& request, std::uint8_t* bytes) {
    return bus.ControlMsg(handle, request.requestType, request.request, request.value, request.index, bytes,
                          request.length, kVendorTimeoutMs);
  }
  std::vector<std::uint8_t> Reply(VendorCommand command, std::uint16_t value = 0, std::uint16_t index = 0) {
    std::vector<std::uint8_t> reply(8, 0xEE);
    EXPECT_EQ(Send(SingleShotRequest(0, command, value, index), reply.data()), 8);
    return reply;
  }
  std::vector<std::uint8_t> ReadFlashPage(std::uint8_t words) {
    std::vector<std::uint8_t> page(words * 2u);
    EXPECT_EQ(Send(ReadFlashPageRequest(0, words), page.data()), words * 2);
    return page;
  }
  void WriteFlashPage(std::vector<std::uint8_t> page) {
    EXPECT_EQ(Send(WriteFlashPageRequest(0, static_cast<std::uint8_t>(page.size() / 2)), page.data()),
              static_cast<int>(page.size()));
  }

  SimulatedBus bus;
  UsbHandle* handle = nullptr;
};

using Bytes = std::vector<std::uint8_t>;

TEST(SimulatedProgrammerTest, FusesLockEraseAndUnlock) {
  Wire wire;
  wire.Reply(VendorCommand::WriteFuses, 0x99E1, 0x00FE);
  wire.Reply(VendorCommand::WriteLock, 0xFC);
  EXPECT_EQ(wire.Reply(VendorCommand::ReadFuseLock), (Bytes{0xE1, 0x99, 0xFE, 0xFC, 0, 0, 0, 0}));

  wire.bus.programmer().flash[5] = 0x12;
  wire.bus.programmer().eeprom[7] = 0x34;
  wire.Reply(VendorCommand::EraseChip);
  EXPECT_EQ(wire.Reply(VendorCommand::ReadFuseLock), (Bytes{0xE1, 0x99, 0xFE, 0xFF, 0, 0, 0, 0}))
      << "erase clears the lock and keeps the fuses";
  EXPECT_EQ(wire.bus.programmer().flash[5], 0xFF);
  EXPECT_EQ(wire.bus.programmer().eeprom[7], 0xFF);

  wire.bus.programmer().flash[5] = 0x12;
  wire.Reply(VendorCommand::WriteLock, 0x00);
  wire.Reply(VendorCommand::Unlock);
  EXPECT_EQ(wire.Reply(VendorCommand::ReadFuseLock), (Bytes{0x62, 0xD9, 0xFF, 0xFF, 0, 0, 0, 0}));
  EXPECT_EQ(wire.bus.programmer().flash[5], 0xFF);
}

TEST(SimulatedProgrammerTest, RefusesAWrongDirection) {
  Wire wire;
  std::uint8_t bytes[8];
  EXPECT_EQ(wire.bus.ControlMsg(wire.handle, 0xC0, 8, 1, 0, bytes, 2, 5000), -EPIPE);
  EXPECT_EQ(wire.bus.ControlMsg(wire.handle, 0x40, 3, 0, 0, bytes, 8, 5000), -EPIPE);
  EXPECT_EQ(wire.bus.ControlMsg(wire.handle, 0xC0, 12, 0, 0, bytes, 8, 5000), -EPIPE);
}

// A time-out fails one request; a programmer that is gone fails every request after.
TEST(SimulatedBusTest, InjectedFaultsCountFromTheNextRequest) {
  Wire wire;
  std::uint8_t reply[8];
  const VendorRequest ready = SingleShotRequest(0, VendorCommand::Ready);
  EXPECT_EQ(wire.Send(ready, reply), 8);
  wire.bus.InjectFaults(2, 3);
  EXPECT_EQ(wire.Send(ready, reply), 8);
  EXPECT_EQ(wire.Send(ready, reply), -ETIMEDOUT);
  EXPECT_EQ(wire.Send(ready, reply), -ENODEV);
  EXPECT_EQ(wire.Send(ready, reply), -ENODEV);
}

}  // namespace
}  // namespace kestrel::device
