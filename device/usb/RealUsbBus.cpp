#include "device/usb/RealUsbBus.h"

#include <libudev.h>
#include <unistd.h>
#include <usb.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace kestrel::device {

namespace {

struct RealHandle : UsbHandle {
  explicit RealHandle(usb_dev_handle* handle) : handle(handle) {}
  usb_dev_handle* handle;
};

// Whether udev's record of one USB device has these IDs, a node under this address (any when
// it is empty) and a node this process cannot open for reading and writing.
bool IsInaccessible(udev_device* device, const char* vendorId, const char* productId,
                    const std::string& address) {
  const char* vendor = udev_device_get_sysattr_value(device, "idVendor");
  const char* product = udev_device_get_sysattr_value(device, "idProduct");
  const char* node = udev_device_get_devnode(device);
  if (vendor == nullptr || product == nullptr || node == nullptr) return false;
  if (std::string(vendor) != vendorId || std::string(product) != productId) return false;
  // The node is /dev/bus/usb/BBB/DDD, the two names libusb-0.1 gives the bus and the device.
  const std::size_t colon = address.find(':');
  if (!address.empty() &&
      (colon == std::string::npos ||
       !std::string(node).ends_with("/" + address.substr(0, colon) + "/" + address.substr(colon + 1))))
    return false;
  return access(node, F_OK) == 0 && access(node, R_OK | W_OK) != 0;
}

class RealUsbBus : public UsbBus {
 public:
  void Init() override { usb_init(); }
  int FindBusses() override { return usb_find_busses(); }
  int FindDevices() override { return usb_find_devices(); }

  std::vector<std::vector<UsbDeviceInfo>> GetBusses() override {
    std::vector<std::vector<UsbDeviceInfo>> busses;
    for (usb_bus* bus = usb_get_busses(); bus != nullptr; bus = bus->next) {
      auto& devices = busses.emplace_back();
      for (struct usb_device* device = bus->devices; device != nullptr; device = device->next) {
        devices.push_back(UsbDeviceInfo{device->descriptor.idVendor, device->descriptor.idProduct,
                                        device->descriptor.iManufacturer, device->descriptor.iProduct, device,
                                        bus->dirname, device->filename});
      }
    }
    return busses;
  }

  UsbHandle* Open(const UsbDeviceInfo& device) override {
    auto* usbDevice = static_cast<struct usb_device*>(const_cast<void*>(device.device));
    usb_dev_handle* handle = usb_open(usbDevice);
    return handle == nullptr ? nullptr : new RealHandle(handle);
  }

  // Asks udev, which lists every device whatever its node's permissions.
  bool HasInaccessibleDevice(std::uint16_t vendorId, std::uint16_t productId,
                             const std::string& address) override {
    udev* context = udev_new();
    if (context == nullptr) return false;
    char vendor[8], product[8];
    std::snprintf(vendor, sizeof vendor, "%04x", vendorId);
    std::snprintf(product, sizeof product, "%04x", productId);
    udev_enumerate* enumeration = udev_enumerate_new(context);
    udev_enumerate_add_match_subsystem(enumeration, "usb");
    udev_enumerate_add_match_property(enumeration, "DEVTYPE", "usb_device");
    udev_enumerate_scan_devices(enumeration);
    bool found = false;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration)) {
      udev_device* device = udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
      if (device == nullptr) continue;
      found = found || IsInaccessible(device, vendor, product, address);
      udev_device_unref(device);
    }
    udev_enumerate_unref(enumeration);
    udev_unref(context);
    return found;
  }

  void Close(UsbHandle* handle) override {
    auto* real = static_cast<RealHandle*>(handle);
    if (real == nullptr) return;
    usb_close(real->handle);
    delete real;
  }

  int ControlMsg(UsbHandle* handle, int requestType, int request, int value, int index, std::uint8_t* bytes,
                 int size, int timeoutMs) override {
    auto* real = static_cast<RealHandle*>(handle);
    if (real == nullptr) return -ENODEV;
    return usb_control_msg(real->handle, requestType, request, value, index, reinterpret_cast<char*>(bytes),
                           size, timeoutMs);
  }
};

}  // namespace

std::unique_ptr<UsbBus> MakeRealUsbBus() {
  return std::make_unique<RealUsbBus>();
}

}  // namespace kestrel::device
