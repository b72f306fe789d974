#include "UsbfsProgrammer.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "device/UsbBus.h"
#include "device/VendorProtocol.h"

namespace kestrel::testing {

namespace {

// What reading a usbfs node yields, in the upper-case hex umockdev wants: the device descriptor
// (USB 1.1, vendor class, 8-byte endpoint 0, 16c0:05dc, strings 1 and 2, one configuration),
// then the configuration (bus-powered, 100 mA) with its interface (endpoint 0 only): V-USB's.
constexpr char kNodeDescriptors[] =
    "12011001FF000008C016DC05000101020001"
    "090212000101008032"
    "090400000000000000";

std::string Hex(unsigned value) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%04x", value);
  return digits;
}

// A udev record for umockdev. With "dev" set, removing the device also removes its node, as the
// kernel does on an unplug. libusb-0.1 reads only the node; the attributes are those a udev rule
// for the programmer would match.
std::string Record(const std::string& devpath, const std::string& devnode, int number,
                   const UsbfsStrings& strings) {
  std::string record =
      "P: " + devpath + "\nN: " + devnode.substr(std::strlen("/dev/")) + "=" + kNodeDescriptors;
  const auto add = [&record](const char* line, const std::string& value = "") {
    record += "\n" + (line + value);
  };
  add("E: SUBSYSTEM=usb");
  add("E: DEVTYPE=usb_device");
  add("E: DEVNAME=", devnode);
  add("A: dev=189:", std::to_string(number - 1));
  add("A: busnum=1");
  add("A: devnum=", std::to_string(number));
  add("A: idVendor=", Hex(device::kProgrammerVendorId));
  add("A: idProduct=", Hex(device::kProgrammerProductId));
  add("A: speed=1.5");
  add("A: manufacturer=", strings.manufacturer);
  add("A: product=", strings.product);
  return record + "\n";
}

UMockdevIoctlData* Resolve(UMockdevIoctlData* data, std::size_t offset, std::size_t length) {
  GError* error = nullptr;
  UMockdevIoctlData* resolved = umockdev_ioctl_data_resolve(data, offset, length, &error);
  if (error != nullptr) g_error_free(error);
  return resolved;
}

}  // namespace

struct UsbfsProgrammer::Node {
  UsbfsProgrammer* owner;
  UsbfsStrings strings;
  int number;  // the device number on bus 001
  std::string devnode;
  std::string syspath;
  UMockdevIoctlBase* handler = nullptr;
  bool readOnly = false;
  bool unplugged = false;
};

UsbfsProgrammer::UsbfsProgrammer(std::vector<UsbfsStrings> devices) : testbed_(umockdev_testbed_new()) {
  for (std::size_t i = 0; i < devices.size(); ++i) {
    auto node = std::make_unique<Node>(Node{this, std::move(devices[i]), static_cast<int>(i) + 2, "", ""});
    char devnode[32];
    std::snprintf(devnode, sizeof devnode, "/dev/bus/usb/001/%03d", node->number);
    const std::string devpath = "/devices/pci0000:00/0000:00:14.0/usb1/1-" + std::to_string(i + 1);
    node->devnode = devnode;
    node->syspath = "/sys" + devpath;
    const std::string record = Record(devpath, node->devnode, node->number, node->strings);
    GError* error = nullptr;
    node->handler = umockdev_ioctl_base_new();
    g_signal_connect(node->handler, "handle-ioctl", G_CALLBACK(OnIoctl), node.get());
    if (!umockdev_testbed_add_from_string(testbed_, record.c_str(), &error) ||
        !umockdev_testbed_attach_ioctl(testbed_, node->devnode.c_str(), node->handler, &error)) {
      const std::string message = error != nullptr ? error->message : "umockdev refused the device";
      if (error != nullptr) g_error_free(error);
      g_object_unref(node->handler);
      throw std::runtime_error(message);
    }
    nodes_.push_back(std::move(node));
  }
}

UsbfsProgrammer::~UsbfsProgrammer() {
  for (const auto& node : nodes_) {
    GError* error = nullptr;  // an unplugged node has no handler left to detach
    umockdev_testbed_detach_ioctl(testbed_, node->devnode.c_str(), &error);
    if (error != nullptr) g_error_free(error);
    g_object_unref(node->handler);
  }
  g_object_unref(testbed_);
}

void UsbfsProgrammer::Arm(UsbfsFault fault) {
  std::lock_guard lock(mutex_);
  armed_ = fault;
}

void UsbfsProgrammer::MakeNodeReadOnly(std::size_t device) {
  SetNodeMode(device, 0444);
  std::lock_guard lock(mutex_);
  nodes_.at(device)->readOnly = true;
}

void UsbfsProgrammer::MakeNodeUnopenable(std::size_t device) {
  SetNodeMode(device, 0);
}

void UsbfsProgrammer::SendUevent(const char* action, std::size_t device) {
  umockdev_testbed_uevent(testbed_, nodes_.at(device)->syspath.c_str(), action);
}

void UsbfsProgrammer::SetNodeMode(std::size_t device, mode_t mode) {
  gchar* root = umockdev_testbed_get_root_dir(testbed_);
  const std::string path = root + nodes_.at(device)->devnode;
  g_free(root);
  if (chmod(path.c_str(), mode) != 0) throw std::runtime_error("cannot change the mode of " + path);
}

gboolean UsbfsProgrammer::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer node) {
  auto& served = *static_cast<Node*>(node);
  const auto [result, error] = served.owner->Serve(served, client);
  umockdev_ioctl_client_complete(client, result, error);
  return TRUE;
}

std::pair<long, int> UsbfsProgrammer::Serve(Node& node, UMockdevIoctlClient* client) {
  std::lock_guard lock(mutex_);
  if (node.unplugged) return {-1, ENODEV};
  if (node.readOnly) return {-1, EPERM};
  UMockdevIoctlData* argument = umockdev_ioctl_client_get_arg(client);
  switch (umockdev_ioctl_client_get_request(client)) {
    case USBDEVFS_CONNECTINFO: {
      g_autoptr(UMockdevIoctlData) info = Resolve(argument, 0, sizeof(usbdevfs_connectinfo));
      if (info == nullptr) return {-1, EFAULT};
      *reinterpret_cast<usbdevfs_connectinfo*>(info->data) = {static_cast<unsigned>(node.number), 1};
      return {0, 0};
    }
    case USBDEVFS_CONTROL:
      return Control(node, argument);
    default:  // what usbfs answers for a device that is not a hub
      return {-1, ENOTTY};
  }
}

std::pair<long, int> UsbfsProgrammer::Control(Node& node, UMockdevIoctlData* argument) {
  g_autoptr(UMockdevIoctlData) setup = Resolve(argument, 0, sizeof(usbdevfs_ctrltransfer));
  if (setup == nullptr) return {-1, EFAULT};
  const auto transfer = *reinterpret_cast<const usbdevfs_ctrltransfer*>(setup->data);
  g_autoptr(UMockdevIoctlData) stage =
      transfer.wLength > 0 ? Resolve(setup, offsetof(usbdevfs_ctrltransfer, data), transfer.wLength)
                           : nullptr;
  if (transfer.wLength > 0 && stage == nullptr) return {-1, EFAULT};
  std::uint8_t* bytes = stage != nullptr ? stage->data : nullptr;

  if ((transfer.bRequestType & 0x60) == 0) {  // standard: only the string descriptors are asked for
    const int index = transfer.wValue & 0xFF;
    if (transfer.bRequestType != device::kStandardDeviceIn || transfer.bRequest != device::kGetDescriptor ||
        (transfer.wValue >> 8) != device::kStringDescriptorType || index > 2) {
      return {-1, EPIPE};
    }
    std::vector<std::uint8_t> descriptor = {4, device::kStringDescriptorType,
                                            device::kStringLanguageId & 0xFF, device::kStringLanguageId >> 8};
    if (index > 0) {
      const std::string& text = index == 1 ? node.strings.manufacturer : node.strings.product;
      descriptor = {static_cast<std::uint8_t>(2 + 2 * text.size()), device::kStringDescriptorType};
      for (const char c : text) descriptor.insert(descriptor.end(), {static_cast<std::uint8_t>(c), 0});
    }
    const std::size_t count = std::min<std::size_t>(descriptor.size(), transfer.wLength);
    if (count > 0) std::memcpy(bytes, descriptor.data(), count);
    return {static_cast<long>(count), 0};
  }

  const UsbfsFault fault = std::exchange(armed_, UsbfsFault::None);
  switch (fault) {
    case UsbfsFault::Timeout:
      return {-1, ETIMEDOUT};
    case UsbfsFault::Stall:
      return {-1, EPIPE};
    case UsbfsFault::Unplug:  // gone before the client returns, so that its next scan misses it
      node.unplugged = true;
      umockdev_testbed_remove_device(testbed_, node.syspath.c_str());
      return {-1, ENODEV};
    default:
      break;
  }
  const device::VendorRequest request{transfer.bRequestType, transfer.bRequest, transfer.wValue,
                                      transfer.wIndex, transfer.wLength};
  const int count = firmware_.Answer(request, bytes, transfer.wLength);
  if (count < 0) return {-1, -count};
  return {fault == UsbfsFault::ShortReply ? count / 2 : count, 0};
}

}  // namespace kestrel::testing
