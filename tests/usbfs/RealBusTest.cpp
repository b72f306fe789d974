// Kestrel's real bus and discovery over the unmodified libusb-0.1, against a programmer that
// umockdev fakes at the usbfs level.
#include <gtest/gtest.h>
#include <libudev.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <latch>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "UsbfsProgrammer.h"
#include "device/ProgrammerEngine.h"
#include "device/ProgrammerLink.h"
#include "device/VendorProtocol.h"
#include "device/usb/RealUsbBus.h"
#include "support/DeviceSupport.h"

namespace kestrel::device {
namespace {

using testing::UsbfsFault;
using testing::UsbfsProgrammer;
using testing::UsbfsStrings;

constexpr ProgrammingMode kMode = ProgrammingMode::ISP;
const UsbfsStrings kStranger{"Quintavel", "Other PGR"};

// The fake first: libusb-0.1 must see the testbed at usb_init, which the link's Open calls.
struct RealBus {
  explicit RealBus(std::vector<UsbfsStrings> devices = {UsbfsStrings{}}) : fake(std::move(devices)) {}
  int Send(const VendorRequest& request, std::uint8_t* bytes) {
    return bus->ControlMsg(link.deviceHandle, request.requestType, request.request, request.value,
                           request.index, bytes, request.length, kVendorTimeoutMs);
  }
  int ReadSignature() {
    std::uint8_t reply[kReplyLength];
    return Send(SingleShotRequest(kMode, VendorCommand::ReadSignature), reply);
  }
  UsbfsProgrammer fake;
  std::unique_ptr<UsbBus> bus = MakeRealUsbBus();
  ProgrammerLink link{*bus};
};

TEST(RealBusDiscovery, FindsTheProgrammerByItsIdsAndStringsAmongStrangers) {
  {
    RealBus real({kStranger, UsbfsStrings{}});
    EXPECT_EQ(real.link.Open(), OpenOk);
    EXPECT_EQ(real.ReadSignature(), kReplyLength);
  }
  RealBus real({kStranger});
  EXPECT_EQ(real.link.Open(), OpenNotFound);
  EXPECT_EQ(real.link.lastOpenError, 0);
}

TEST(RealBusTransfer, FlashPagesWrittenThenReadComeBack) {
  constexpr std::uint8_t kPageWords = 64;
  constexpr int kPages = 3;
  RealBus real;
  ASSERT_EQ(real.link.Open(), OpenOk);
  std::vector<std::uint8_t> written(kPages * kPageWords * 2);
  for (std::size_t i = 0; i < written.size(); ++i) written[i] = static_cast<std::uint8_t>(i * 7 + 3);

  std::uint8_t reply[kReplyLength];
  ASSERT_EQ(real.Send(SingleShotRequest(kMode, VendorCommand::Ready), reply), kReplyLength);
  for (int page = 0; page < kPages; ++page) {
    ASSERT_EQ(real.Send(WriteFlashPageRequest(kMode, kPageWords), &written[page * kPageWords * 2]),
              kPageWords * 2);
  }
  ASSERT_EQ(real.Send(SingleShotRequest(kMode, VendorCommand::Ready), reply), kReplyLength);
  std::vector<std::uint8_t> read(written.size());
  for (int page = 0; page < kPages; ++page) {
    ASSERT_EQ(real.Send(ReadFlashPageRequest(kMode, kPageWords), &read[page * kPageWords * 2]),
              kPageWords * 2);
  }
  EXPECT_EQ(read, written);
}

TEST(RealBusFaults, EachFaultReachesTheCallerAsLibusbReportsIt) {
  const struct {
    UsbfsFault fault;
    int result;
    int reopen;
  } cases[] = {
      {UsbfsFault::Timeout, -ETIMEDOUT, OpenOk},
      {UsbfsFault::Unplug, -ENODEV, OpenNotFound},
      {UsbfsFault::ShortReply, kReplyLength / 2, OpenOk},
      {UsbfsFault::Stall, -EPIPE, OpenOk},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.fault));
    RealBus real;
    ASSERT_EQ(real.link.Open(), OpenOk);
    real.fake.Arm(c.fault);
    EXPECT_EQ(real.ReadSignature(), c.result);
    EXPECT_EQ(real.link.Open(), c.reopen);
  }
}

// usbfs refuses every ioctl on a node opened read-only, as usb_open falls back to without
// write access: the first string read fails with -EPERM, which says "not allowed" without
// asking udev. The fake refuses them to root too; the command-line run below opens the node as
// a user, through libusb's fallback.
TEST(RealBusPermissions, AReadOnlyNodeOpensAndItsStringReadIsRefused) {
  RealBus real;
  real.fake.MakeNodeReadOnly();
  EXPECT_EQ(real.link.Open(), OpenStringFailed);
  EXPECT_EQ(real.link.lastOpenError, -EPERM);
}

// Two programmers, each with its own link and engine on its own thread, as two stations drive
// them, while a third thread scans the bus: their block transfers overlap in time, and each
// chip ends with its own image, so no request reached the other programmer.
TEST(RealBusGang, TwoEnginesTransferAtOnceEachToItsOwnChipWhileTheBusIsScanned) {
  constexpr chips::ChipGeometry kGeometry{64, 4, 128, 16};
  constexpr int kScans = 5;
  UsbfsProgrammer fake({UsbfsStrings{}, UsbfsStrings{}});
  const std::unique_ptr<UsbBus> bus = MakeRealUsbBus();
  const auto image = [](int station, std::int64_t at) {
    return static_cast<std::uint8_t>(at * 13 + station * 101);
  };
  using Clock = std::chrono::steady_clock;
  Clock::time_point began[2], ended[2];
  bool readBack[2] = {};
  std::latch opened(3);
  const auto station = [&](int index) {
    ProgrammerLink link(*bus);
    link.wantedAddress = index == 0 ? "001:002" : "001:003";
    link.currentMode = kMode;
    const bool open = link.Open() == OpenOk;
    opened.arrive_and_wait();
    if (!open) return;
    support::RecordingChannel channel;
    ProgrammerEngine engine(link, kGeometry, channel);
    Memory& flash = engine.memories()[MemoryKind::Flash];
    for (std::int64_t at = 0; at < kGeometry.FlashSize(); ++at) flash.image[at] = image(index, at);
    began[index] = Clock::now();
    const bool ran = !engine.StartTransfer(BlockTransfer::WriteFlash).Refused() && channel.WaitForFinals(1) &&
                     !engine.StartTransfer(BlockTransfer::ReadFlash).Refused() && channel.WaitForFinals(2);
    ended[index] = Clock::now();
    readBack[index] = ran && std::equal(flash.image.begin(), flash.image.begin() + kGeometry.FlashSize(),
                                        flash.readback.begin());
  };
  std::thread first(station, 0), second(station, 1);
  ProgrammerLink scanner(*bus);
  opened.arrive_and_wait();
  for (int scan = 0; scan < kScans; ++scan) EXPECT_EQ(scanner.List().size(), 2u);
  first.join();
  second.join();

  EXPECT_TRUE(readBack[0] && readBack[1]);
  EXPECT_LT(std::max(began[0], began[1]), std::min(ended[0], ended[1])) << "the transfers overlap";
  for (int index : {0, 1}) {
    const SimulatedProgrammer& chip = fake.firmware(index);
    for (std::int64_t at = 0; at < kGeometry.FlashSize(); at += 997)
      ASSERT_EQ(chip.flash[at], image(index, at)) << "programmer " << index << " at " << at;
  }
}

TEST(UsbfsArrival, AnAddUeventReachesAUdevMonitor) {
  UsbfsProgrammer fake;
  udev* context = udev_new();
  ASSERT_NE(context, nullptr);
  udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
  ASSERT_NE(monitor, nullptr);
  ASSERT_EQ(udev_monitor_filter_add_match_subsystem_devtype(monitor, "usb", "usb_device"), 0);
  ASSERT_EQ(udev_monitor_enable_receiving(monitor), 0);

  fake.SendUevent("add");
  pollfd ready{udev_monitor_get_fd(monitor), POLLIN, 0};
  ASSERT_EQ(poll(&ready, 1, 5000), 1);
  udev_device* device = udev_monitor_receive_device(monitor);
  ASSERT_NE(device, nullptr);
  EXPECT_STREQ(udev_device_get_action(device), "add");
  EXPECT_STREQ(udev_device_get_devnode(device), "/dev/bus/usb/001/002");
  udev_device_unref(device);
  udev_monitor_unref(monitor);
  udev_unref(context);
}

// Runs the built kestrel-cli: its exit status and what it wrote to stdout and stderr. The child
// inherits the preload library and the testbed from this process's environment, and shows
// the program's own texts whatever the locale of the test run. As a user:
// without the capabilities that let root open any file, out of the bounding set so that exec
// does not give them back.
std::pair<int, std::string> RunCli(const std::string& arguments, bool asUser = false) {
  const std::string user = asUser ? "setpriv --bounding-set -dac_override,-dac_read_search " : "";
  const std::string ownTexts = "env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=C ";
  std::FILE* output = popen((ownTexts + user + "'" KESTREL_CLI "' " + arguments + " 2>&1").c_str(), "r");
  std::string text;
  char chunk[512];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, output)) > 0;) text.append(chunk, n);
  const int status = pclose(output);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

const std::string kSignature =
    "--catalogue '" KESTREL_SOURCE_DIR "/data/chip.txt' --chip ATmega328P signature";

// libusb-0.1 names the devices after their nodes; a device with other strings is not listed.
TEST(UsbfsCli, ListsEachProgrammerAndReadsTheSignatureOfTheFirst) {
  UsbfsProgrammer fake({UsbfsStrings{}, kStranger, UsbfsStrings{}});
  EXPECT_EQ(
      RunCli("list"),
      std::pair(0, std::string(
                       "programmer 001:002 Quintavel Vorne PGR\nprogrammer 001:004 Quintavel Vorne PGR\n")));
  const auto [status, text] = RunCli(kSignature);
  EXPECT_EQ(status, 0) << text;
  EXPECT_NE(text.substr(0, text.find('\n')).find("编程器:就绪."), std::string::npos) << text;
  EXPECT_NE(text.find("\nsignature 1E：95：0F\n"), std::string::npos) << text;
}

// A user without the udev rule meets a node opened read-only, or one that cannot be opened at
// all (which libusb's scan leaves out): both bring the message that says how to install it.
TEST(UsbfsCli, ANodeTheUserMayNotOpenBringsTheUdevRuleMessage) {
  for (const bool readOnly : {true, false}) {
    UsbfsProgrammer fake;
    readOnly ? fake.MakeNodeReadOnly() : fake.MakeNodeUnopenable();
    const auto [status, text] = RunCli(kSignature, true);
    EXPECT_EQ(status, 1) << readOnly;
    EXPECT_EQ(text.find("无法访问编程器（权限不足）。请安装 udev 规则"), 0u) << readOnly << text;
  }
}

}  // namespace
}  // namespace kestrel::device
