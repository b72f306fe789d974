// Kestrel's real bus and discovery over the unmodified libusb-0.1, against a programmer that
// umockdev fakes at the usbfs level.
#include <gtest/gtest.h>
#include <libudev.h>
#include <linux/capability.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "UsbfsProgrammer.h"
#include "device/PageTransfer.h"
#include "device/ProgrammerLink.h"
#include "device/VendorProtocol.h"
#include "device/usb/RealUsbBus.h"

namespace kestrel::device {
namespace {

using testing::UsbfsFault;
using testing::UsbfsProgrammer;
using testing::UsbfsStrings;

constexpr std::uint8_t kMode = static_cast<std::uint8_t>(ProgrammingMode::ISP);
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

// Root opens any file whatever its mode: take the overriding capabilities out of this thread's
// effective set (libusb opens on it) and put them back afterwards.
class WithoutFileOverride {
 public:
  WithoutFileOverride() {
    syscall(SYS_capget, &header_, saved_);
    __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
    reduced[0].effective &= ~((1U << CAP_DAC_OVERRIDE) | (1U << CAP_DAC_READ_SEARCH));
    syscall(SYS_capset, &header_, reduced);
  }
  ~WithoutFileOverride() { syscall(SYS_capset, &header_, saved_); }

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2] = {};
};

TEST(RealBusDiscovery, FindsTheProgrammerAmongDevicesWithItsIds) {
  RealBus real({kStranger, UsbfsStrings{}});
  EXPECT_EQ(real.link.Open(), OpenOk);
  EXPECT_EQ(real.ReadSignature(), kReplyLength);
}

TEST(RealBusDiscovery, PassesOverADeviceWithTheIdsButOtherStrings) {
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

// A FLASH page write counts only when the whole page went out.
TEST(RealBusFaults, AFlashPageWriteThatMovedHalfThePageFails) {
  RealBus real;
  ASSERT_EQ(real.link.Open(), OpenOk);
  real.fake.Arm(UsbfsFault::ShortReply);
  std::uint8_t page[32] = {};
  LinkFailure failure;
  const std::uint32_t code =
      IssueRequest(*real.bus, real.link.deviceHandle, WriteFlashPageRequest(kMode, 16), page, 0, failure);
  EXPECT_EQ(std::tuple(code, failure.result, failure.expectedLength), std::tuple(102u, 16, 32));
}

// usbfs refuses every ioctl on a node opened read-only; usb_open falls back to such an open.
TEST(RealBusPermissions, AReadOnlyNodeOpensAndItsStringReadIsRefused) {
  RealBus real;
  real.fake.MakeNodeReadOnly();
  WithoutFileOverride unprivileged;
  EXPECT_EQ(real.link.Open(), OpenStringFailed);
  EXPECT_EQ(real.link.lastOpenError, -EPERM);
}

// libusb-0.1's scan opens every node to read its descriptors and drops those it cannot open.
TEST(RealBusPermissions, AnUnopenableNodeIsLeftOutOfTheScan) {
  RealBus real;
  real.fake.MakeNodeUnopenable();
  WithoutFileOverride unprivileged;
  EXPECT_EQ(real.link.Open(), OpenNotFound);
  EXPECT_EQ(real.link.lastOpenError, 0);
}

// A node that turns unopenable after the scan still yields a handle: usb_open does not report
// the failed open, and the first transfer on the handle fails with -EBADF.
TEST(RealBusPermissions, AScannedNodeThatCannotBeOpenedGivesAHandleWhoseReadsFail) {
  RealBus real;
  real.bus->Init();
  real.bus->FindBusses();
  real.bus->FindDevices();
  const auto busses = real.bus->GetBusses();
  ASSERT_FALSE(busses.empty());
  ASSERT_FALSE(busses[0].empty());
  real.fake.MakeNodeUnopenable();
  WithoutFileOverride unprivileged;
  UsbHandle* handle = real.bus->Open(busses[0][0]);
  ASSERT_NE(handle, nullptr);
  char text[64];
  EXPECT_EQ(ReadAsciiStringDescriptor(*real.bus, handle, 1, kStringLanguageId, text, sizeof text - 1),
            -EBADF);
  real.bus->Close(handle);
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
// inherits the preload library and the testbed from this process's environment. As a user:
// without the capabilities that let root open any file, out of the bounding set so that exec
// does not give them back.
std::pair<int, std::string> RunCli(const std::string& arguments, bool asUser = false) {
  const std::string user = asUser ? "setpriv --bounding-set -dac_override,-dac_read_search " : "";
  std::FILE* output = popen((user + "'" KESTREL_CLI "' " + arguments + " 2>&1").c_str(), "r");
  std::string text;
  char chunk[512];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, output)) > 0;) text.append(chunk, n);
  const int status = pclose(output);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

const std::string kSignature =
    "--catalogue '" KESTREL_SOURCE_DIR "/data/chip.txt' --chip ATmega328P signature";

TEST(UsbfsCli, ReadsTheSignatureOverTheRealBus) {
  UsbfsProgrammer fake;
  const auto [status, text] = RunCli(kSignature);
  EXPECT_EQ(status, 0) << text;
  EXPECT_NE(text.substr(0, text.find('\n')).find("编程器:就绪."), std::string::npos) << text;
  EXPECT_NE(text.find("\nsignature 1E：95：0F\n"), std::string::npos) << text;
}

// libusb-0.1 names the devices after their nodes; a device with other strings is not listed.
TEST(UsbfsCli, ListsEachProgrammerByItsBusAndDeviceNumber) {
  UsbfsProgrammer fake({UsbfsStrings{}, kStranger, UsbfsStrings{}});
  EXPECT_EQ(
      RunCli("list"),
      std::pair(0, std::string(
                       "programmer 001:002 Quintavel Vorne PGR\nprogrammer 001:004 Quintavel Vorne PGR\n")));
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
