#pragma once

#include <cstdint>
#include <vector>

namespace kestrel::device {

// Standard requests discovery uses (USB 2.0, chapter 9).
inline constexpr int kStandardDeviceIn = 0x80;  // standard, device recipient, device-to-host
inline constexpr int kGetDescriptor = 6;
inline constexpr int kStringDescriptorType = 3;

// What discovery needs of one device on a bus: its IDs and string indexes.
struct UsbDeviceInfo {
  std::uint16_t idVendor = 0;
  std::uint16_t idProduct = 0;
  std::uint8_t iManufacturer = 0;
  std::uint8_t iProduct = 0;
  const void* device = nullptr;  // the bus's own reference, handed back to Open
};

// An open device. Each bus derives its own; only that bus looks inside.
class UsbHandle {
 public:
  virtual ~UsbHandle() = default;
};

// The libusb-0.1 operations the programmer link uses, so that the simulated bus can stand
// in for the real one. Results follow libusb-0.1: counts, or negative errno values.
class UsbBus {
 public:
  virtual ~UsbBus() = default;

  virtual void Init() = 0;         // usb_init
  virtual int FindBusses() = 0;    // usb_find_busses
  virtual int FindDevices() = 0;   // usb_find_devices
  // usb_get_busses: buses in list order, each with its devices in list order.
  virtual std::vector<std::vector<UsbDeviceInfo>> GetBusses() = 0;
  // usb_open: a handle owned by the caller until Close, or nullptr.
  virtual UsbHandle* Open(const UsbDeviceInfo& device) = 0;
  virtual void Close(UsbHandle* handle) = 0;  // usb_close; deletes the handle
  // usb_control_msg: bytes transferred, or a negative error such as -ETIMEDOUT or -ENODEV.
  virtual int ControlMsg(UsbHandle* handle, int requestType, int request, int value, int index,
                         std::uint8_t* bytes, int size, int timeoutMs) = 0;
};

}  // namespace kestrel::device
