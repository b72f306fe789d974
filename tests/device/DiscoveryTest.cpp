#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "support/DeviceSupport.h"

namespace kestrel::device {
namespace {

// Buses and their devices are walked in list order; devices with other IDs or strings are
// passed over (and closed); the first match is taken ("mute" matches but does not answer).
// Without a match the last candidate's result stands, and the link keeps the error that tells
// "not allowed" (-EACCES, -EPERM) from "not there".
TEST(DiscoveryTest, TakesTheFirstMatchInListOrder) {
  const SimulatedDevice programmer, mute{.answersVendorRequests = false},
      otherIds{.idProduct = 0x05DD, .answersVendorRequests = false}, cannotOpen{.openFails = true},
      unreadable{.stringReadFails = true}, denied{.accessDenied = true},
      lower{.manufacturer = u"quintavel", .answersVendorRequests = false},
      longer{.product = u"Vorne PGR ", .answersVendorRequests = false},
      shorter{.product = u"Vorne", .answersVendorRequests = false};
  const std::tuple<std::vector<std::vector<SimulatedDevice>>, int, int, bool> cases[] = {
      {{{otherIds, longer}, {}, {lower, programmer, mute}}, OpenOk, 0, true},
      {{{mute}, {programmer}}, OpenOk, 0, false},
      {{{shorter, longer}}, OpenNotFound, 0, false},
      {{{cannotOpen}}, OpenAccessFailed, -EACCES, false},
      {{{denied}}, OpenStringFailed, -EPERM, false},
      {{{longer, cannotOpen}}, OpenAccessFailed, -EACCES, false},
      {{{cannotOpen}, {longer}}, OpenNotFound, 0, false},
      {{{cannotOpen, unreadable}}, OpenStringFailed, -EPIPE, false}};
  for (const auto& [busses, result, error, answers] : cases) {
    SimulatorOptions options;
    options.busses = busses;
    SimulatedBus bus(options);
    ProgrammerLink link(bus);
    std::uint8_t reply[8];
    EXPECT_EQ(link.Open(), result);
    EXPECT_EQ(link.lastOpenError, error);
    EXPECT_EQ(bus.openHandleCount(), result == OpenOk ? 1 : 0);
    EXPECT_EQ(link.deviceHandle && bus.ControlMsg(link.deviceHandle, kVendorIn, 0, 0, 0, reply, 8, 0) == 8,
              answers);
  }
}

TEST(DiscoveryTest, TheLinkInitialisesOnceAndKeepsOneHandle) {
  SimulatedBus bus;
  {
    ProgrammerLink link(bus);
    ASSERT_EQ(link.Open(), OpenOk);
    ASSERT_EQ(link.Open(), OpenOk);
    EXPECT_EQ(bus.openHandleCount(), 1) << "the new handle replaced the old one";
    bus.InjectFaults(0, 1);
    std::uint8_t reply[8];
    bus.ControlMsg(link.deviceHandle, kVendorIn, 0, 0, 0, reply, 8, 0);  // the programmer goes
    EXPECT_EQ(link.Open(), OpenNotFound);
    EXPECT_NE(link.deviceHandle, nullptr) << "a failed open keeps the handle it had";
    EXPECT_EQ(std::pair(bus.initCount(), bus.findDevicesCount()), std::pair(1, 3));
  }
  EXPECT_EQ(bus.openHandleCount(), 0) << "the link closes its handle when it ends";
}

TEST(ReadAsciiStringDescriptorTest, StoresAtMostTheCapacityAndReplacesWhatIsNotAscii) {
  SimulatorOptions options;
  options.busses = {{SimulatedDevice{.manufacturer = u"ABC", .product = u"\u00C4\u4E2DOK"}}};
  SimulatedBus bus(options);
  UsbHandle* handle = bus.Open(bus.GetBusses()[0][0]);
  const std::tuple<int, int, std::string> cases[] = {
      {1, 255, "ABC"}, {1, 3, "ABC"}, {1, 2, "AB"}, {1, 0, ""}, {2, 255, "??OK"}};
  for (const auto& [index, capacity, expected] : cases) {
    char text[300];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(ReadAsciiStringDescriptor(bus, handle, index, kStringLanguageId, text, capacity),
              static_cast<int>(expected.size()));
    EXPECT_EQ(std::string(text, expected.size() + 2), expected + '\0' + 'x') << "capacity " << capacity;
  }
  bus.Close(handle);
}

}  // namespace
}  // namespace kestrel::device
