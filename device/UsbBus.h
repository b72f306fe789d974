#pragma once

#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::device {

// Standard requests discovery uses (USB 2.0, chapter 9).
inline constexpr int kStandardDeviceIn = 0x80;  // standard, device recipient, device-to-host
inline constexpr int kGetDescriptor = 6;
inline constexpr int kStringDescriptorType = 3;

// What discovery needs of one device on a bus: its IDs, string indexes and where it sits.
struct UsbDeviceInfo {
  std::uint16_t idVendor = 0;
  std::uint16_t idProduct = 0;
  std::uint8_t iManufacturer = 0;
  std::uint8_t iProduct = 0;
  const void* device = nullptr;  // the bus's own reference, handed back to Open
  std::string busName;           // libusb-0.1's usb_bus.dirname, "001"
  std::string deviceName;        // libusb-0.1's usb_device.filename, "004"
};

// The device's address as the user names it: "001:004". V-USB devices carry no serial number,
// so this is what tells two programmers apart (until one is plugged in again).
inline std::string DeviceAddress(const UsbDeviceInfo& device) {
  return device.busName + ":" + device.deviceName;
}

// Whether `text` has the form of an address: three digits, a colon, three digits.
constexpr bool IsDeviceAddress(std::string_view text) {
  if (text.size() != 7 || text[3] != ':') return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i != 3 && (text[i] < '0' || text[i] > '9')) return false;
  }
  return true;
}

// Whether a libusb result says that this process may not use the device: -EACCES, -EPERM
// (usbfs refuses every request on a node opened read-only, as libusb falls back to), or
// -EBADF (libusb-0.1.12's usb_open hides a failed open and hands out a handle without a node).
constexpr bool IsAccessError(int result) {
  return result == -EACCES || result == -EPERM || result == -EBADF;
}

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

  virtual void Init() = 0;        // usb_init
  virtual int FindBusses() = 0;   // usb_find_busses
  virtual int FindDevices() = 0;  // usb_find_devices
  // usb_get_busses: buses in list order, each with its devices in list order.
  virtual std::vector<std::vector<UsbDeviceInfo>> GetBusses() = 0;
  // usb_open: a handle owned by the caller until Close, or nullptr.
  virtual UsbHandle* Open(const UsbDeviceInfo& device) = 0;
  // Whether a device with these IDs (at this address, unless it is empty) is plugged in whose
  // node this process may not open for reading and writing: libusb-0.1's scan leaves such a
  // device out of the list, so that only the system's device database still knows it.
  virtual bool HasInaccessibleDevice(std::uint16_t vendorId, std::uint16_t productId,
                                     const std::string& address) = 0;
  virtual void Close(UsbHandle* handle) = 0;  // usb_close; deletes the handle
  // usb_control_msg: bytes transferred, or a negative error such as -ETIMEDOUT or -ENODEV.
  virtual int ControlMsg(UsbHandle* handle, int requestType, int request, int value, int index,
                         std::uint8_t* bytes, int size, int timeoutMs) = 0;
};

}  // namespace kestrel::device
