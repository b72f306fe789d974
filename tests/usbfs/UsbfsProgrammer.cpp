#include "UsbfsProgrammer.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <stdexcept>

#include "base/Format.h"
#include "device/UsbBus.h"
#include "device/VendorProtocol.h"

namespace kestrel::testing {

namespace {

// A udev record for umockdev: the node first, whose reading yields (in the upper-case hex
// umockdev wants) V-USB's device descriptor (USB 1.1, vendor class, 8-byte endpoint 0,
// 16c0:05dc, strings 1 and 2, one configuration), then the configuration (bus-powered,
// 100 mA) with its interface (endpoint 0 only). libusb-0.1 reads only the node, the system's
// device database the IDs. With "dev" set, removing the device also removes its node, as the
// kernel does on an unplug.
std::string Record(const std::string& devpath, const std::string& devnode, int number) {
  return "P: " + devpath + "\nN: " + devnode.substr(std::strlen("/dev/")) +
         "=12011001FF000008C016DC05000101020001090212000101008032090400000000000000\n"
         "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DEVNAME=" +
         devnode + "\nA: dev=189:" + std::to_string(number - 1) + "\nA: idVendor=16c0\nA: idProduct=05dc\n";
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
  UMockdevIoctlBase* handler = umockdev_ioctl_base_new();
  device::SimulatedProgrammer firmware{device::SimulatedChip{}};
  bool readOnly = false;
  bool unplugged = false;
};

UsbfsProgrammer::UsbfsProgrammer(std::vector<UsbfsStrings> devices) : testbed_(umockdev_testbed_new()) {
  for (std::size_t i = 0; i < devices.size(); ++i) {
    const int number = static_cast<int>(i) + 2;
    const std::string devpath = "/devices/pci0000:00/0000:00:14.0/usb1/1-" + std::to_string(i + 1);
    const std::string devnode = Printf("/dev/bus/usb/001/%03d", number);
    auto& node = *nodes_.emplace_back(new Node{this, devices[i], number, devnode, "/sys" + devpath});
    g_signal_connect(node.handler, "handle-ioctl", G_CALLBACK(OnIoctl), &node);
    if (!umockdev_testbed_add_from_string(testbed_, Record(devpath, devnode, number).c_str(), nullptr) ||
        !umockdev_testbed_attach_ioctl(testbed_, devnode.c_str(), node.handler, nullptr)) {
      throw std::runtime_error("umockdev refused " + devnode);
    }
  }
}

UsbfsProgrammer::~UsbfsProgrammer() {
  for (const auto& node : nodes_) {
    // An unplugged node has no handler left to detach.
    umockdev_testbed_detach_ioctl(testbed_, node->devnode.c_str(), nullptr);
    g_object_unref(node->handler);
  }
  g_object_unref(testbed_);
}

void UsbfsProgrammer::Arm(UsbfsFault fault) {
  std::lock_guard lock(mutex_);
  armed_ = fault;
}

void UsbfsProgrammer::MakeNodeReadOnly() {
  SetNodeMode(0444);
  std::lock_guard lock(mutex_);
  nodes_.front()->readOnly = true;
}

void UsbfsProgrammer::MakeNodeUnopenable() {
  SetNodeMode(0);
}

void UsbfsProgrammer::SendUevent(const char* action) {
  umockdev_testbed_uevent(testbed_, nodes_.front()->syspath.c_str(), action);
}

device::SimulatedProgrammer& UsbfsProgrammer::firmware(std::size_t index) {
  return nodes_.at(index)->firmware;
}

void UsbfsProgrammer::SetNodeMode(unsigned mode) {
  gchar* root = umockdev_testbed_get_root_dir(testbed_);
  const std::string path = root + nodes_.front()->devnode;
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
  const unsigned long request = umockdev_ioctl_client_get_request(client);
  if (request == USBDEVFS_CONNECTINFO) {
    g_autoptr(UMockdevIoctlData) info = Resolve(argument, 0, sizeof(usbdevfs_connectinfo));
    if (info == nullptr) return {-1, EFAULT};
    *reinterpret_cast<usbdevfs_connectinfo*>(info->data) = {static_cast<unsigned>(node.number), 1};
    return {0, 0};
  }
  if (request != USBDEVFS_CONTROL) return {-1, ENOTTY};  // what usbfs answers for a device that is not a hub

  g_autoptr(UMockdevIoctlData) setup = Resolve(argument, 0, sizeof(usbdevfs_ctrltransfer));
  if (setup == nullptr) return {-1, EFAULT};
  const auto transfer = *reinterpret_cast<const usbdevfs_ctrltransfer*>(setup->data);
  g_autoptr(UMockdevIoctlData) stage =
      transfer.wLength > 0 ? Resolve(setup, offsetof(usbdevfs_ctrltransfer, data), transfer.wLength)
                           : nullptr;
  if (transfer.wLength > 0 && stage == nullptr) return {-1, EFAULT};
  std::uint8_t* bytes = stage != nullptr ? stage->data : nullptr;

  if ((transfer.bRequestType & 0x60) == 0) {  // standard: the string descriptors, nothing else
    const int index = transfer.wValue & 0xFF;
    if (transfer.bRequest != device::kGetDescriptor ||
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
    std::copy_n(descriptor.begin(), count, bytes);
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
  const int count = node.firmware.Answer(
      {transfer.bRequestType, transfer.bRequest, transfer.wValue, transfer.wIndex, transfer.wLength}, bytes,
      transfer.wLength);
  if (count < 0) return {-1, -count};
  return {fault == UsbfsFault::ShortReply ? count / 2 : count, 0};
}

}  // namespace kestrel::testing
