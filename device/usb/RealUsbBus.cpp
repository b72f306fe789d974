#include "device/usb/RealUsbBus.h"

#include <usb.h>

#include <cerrno>

namespace kestrel::device {

namespace {

struct RealHandle : UsbHandle {
  explicit RealHandle(usb_dev_handle* handle) : handle(handle) {}
  usb_dev_handle* handle;
};

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
                                        device->descriptor.iManufacturer, device->descriptor.iProduct,
                                        device});
      }
    }
    return busses;
  }

  UsbHandle* Open(const UsbDeviceInfo& device) override {
    auto* usbDevice = static_cast<struct usb_device*>(const_cast<void*>(device.device));
    usb_dev_handle* handle = usb_open(usbDevice);
    return handle == nullptr ? nullptr : new RealHandle(handle);
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
