#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <tuple>
#include <vector>

#include "device/ProgrammerLink.h"
#include "device/sim/SimulatedBus.h"

namespace kestrel::device {
namespace {

using Addresses = std::vector<std::string>;

// Programmers at 001:003, 003:002 and 003:003, each with its own chip, among devices with
// other strings or IDs. Open takes the first in walk order, or only the one asked for, and
// counts what it found; List names them and leaves nothing open.
TEST(ProgrammersTest, DiscoveryFindsEveryProgrammerAndOpensTheFirstOrTheOneAskedFor) {
  SimulatorOptions options;
  options.busses = {{SimulatedDevice{.product = u"Other", .answersVendorRequests = false}, SimulatedDevice{}},
                    {SimulatedDevice{.idProduct = 0x05DD, .answersVendorRequests = false}},
                    {SimulatedDevice{}, SimulatedDevice{}}};
  // asked for, found, chip opened
  const std::tuple<std::string, Addresses, int> cases[] = {
      {"", {"001:003", "003:002", "003:003"}, 0}, {"003:003", {"003:003"}, 2}, {"001:002", {}, -1}};
  for (const auto& [asked, found, chip] : cases) {
    SimulatedBus bus(options);
    ProgrammerLink link(bus);
    link.wantedAddress = asked;
    EXPECT_EQ(std::pair(link.List(), bus.openHandleCount()), std::pair(found, 0)) << asked;
    const int result = link.Open();
    EXPECT_EQ(std::tuple(result, link.programmersFound, link.openedAddress, bus.openHandleCount()),
              std::tuple(found.empty() ? OpenNotFound : OpenOk, found.size(), found.empty() ? "" : found[0],
                         found.empty() ? 0 : 1));
    std::uint8_t reply[8];
    bus.ControlMsg(link.deviceHandle, kVendorIn,
                   RequestByte(ProgrammingMode::PP_20, VendorCommand::WriteLock), 0xFC, 0, reply, 8, 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(bus.programmer(i).lock, i == chip ? 0xFC : 0xFF) << asked << i;
  }
}

// Each way the bus shows that the user may not use the programmer reads as access denied:
// usb_open failing, every request refused (-EPERM, a node opened read-only), a handle without
// a node (-EBADF), and a node libusb's scan left out while the system knows it.
TEST(ProgrammersTest, EveryWayOfBeingRefusedReadsAsAccessDenied) {
  const std::tuple<SimulatedDevice, std::string, int, int, bool> cases[] = {
      {{.openFails = true}, "", OpenAccessFailed, -EACCES, true},
      {{.accessDenied = true}, "", OpenStringFailed, -EPERM, true},
      {{.handleWithoutNode = true}, "", OpenStringFailed, -EBADF, true},
      {{.nodeInaccessible = true}, "", OpenAccessFailed, -EACCES, true},
      {{.nodeInaccessible = true}, "001:003", OpenNotFound, 0, false}};
  for (const auto& [device, asked, result, error, denied] : cases) {
    SimulatorOptions options;
    options.busses = {{device}};
    SimulatedBus bus(options);
    ProgrammerLink link(bus);
    link.wantedAddress = asked;
    const int opened = link.Open();
    EXPECT_EQ(std::tuple(opened, link.lastOpenError, link.AccessDenied()), std::tuple(result, error, denied));
  }
}

}  // namespace
}  // namespace kestrel::device
