#include "device/ProgrammerLink.h"

#include <cerrno>
#include <cstring>

#include "device/VendorProtocol.h"

namespace kestrel::device {

namespace {

constexpr int kDescriptorBufferBytes = 256;
constexpr int kDescriptorTimeoutMs = 1000;

// Reads one string of the open device and compares it with `expected`. Returns OpenOk on a
// match, OpenNotFound on a difference, OpenStringFailed (and the error) when the read failed.
int CheckString(UsbBus& bus, UsbHandle* handle, int index, const char* expected, int* lastError) {
  char text[kDescriptorBufferBytes];
  const int result = ReadAsciiStringDescriptor(bus, handle, index, kStringLanguageId, text, sizeof text - 1);
  if (result < 0) {
    if (lastError != nullptr) *lastError = result;
    return OpenStringFailed;
  }
  return std::strcmp(text, expected) == 0 ? OpenOk : OpenNotFound;
}

}  // namespace

int OpenProgrammer(UsbBus& bus, bool& usbInitDone, UsbHandle** handle, std::uint16_t vendorId,
                   const char* manufacturer, std::uint16_t productId, const char* product, int* lastError) {
  if (!usbInitDone) {
    usbInitDone = true;
    bus.Init();
  }
  bus.FindBusses();
  bus.FindDevices();
  if (lastError != nullptr) *lastError = 0;

  int result = OpenNotFound;
  for (const auto& devices : bus.GetBusses()) {
    for (const auto& device : devices) {
      if (device.idVendor != vendorId || device.idProduct != productId) continue;
      UsbHandle* candidate = bus.Open(device);
      if (candidate == nullptr) {
        result = OpenAccessFailed;
        continue;
      }
      if (manufacturer == nullptr && product == nullptr) {
        *handle = candidate;
        return OpenOk;
      }
      result = CheckString(bus, candidate, device.iManufacturer, manufacturer ? manufacturer : "", lastError);
      if (result == OpenOk) {
        result = CheckString(bus, candidate, device.iProduct, product ? product : "", lastError);
      }
      if (result == OpenOk) {
        *handle = candidate;
        return OpenOk;
      }
      bus.Close(candidate);
    }
  }
  return result;
}

int ReadAsciiStringDescriptor(UsbBus& bus, UsbHandle* handle, int index, int languageId, char* text,
                              int capacity) {
  std::uint8_t buffer[kDescriptorBufferBytes];
  const int received =
      bus.ControlMsg(handle, kStandardDeviceIn, kGetDescriptor, (kStringDescriptorType << 8) + index, languageId,
                     buffer, sizeof buffer, kDescriptorTimeoutMs);
  if (received < 0) return received;
  text[0] = '\0';
  if (received < 2 || buffer[1] != kStringDescriptorType) return 0;

  const int units = (buffer[0] < received ? buffer[0] : received) / 2;
  int stored = 0;
  for (int i = 1; i < units && i <= capacity; ++i) {
    const std::uint8_t low = buffer[2 * i];
    const std::uint8_t high = buffer[2 * i + 1];
    // Only ASCII is kept: the result is compared with ASCII names and shown as UTF-8 text.
    text[stored++] = (high != 0 || low > 0x7F) ? '?' : static_cast<char>(low);
  }
  text[stored] = '\0';
  return stored;
}

ProgrammerLink::~ProgrammerLink() {
  if (deviceHandle != nullptr) bus.Close(deviceHandle);
}

int ProgrammerLink::Open() {
  UsbHandle* opened = nullptr;
  int stringError = 0;
  const int result = OpenProgrammer(bus, usbInitDone, &opened, kProgrammerVendorId, kProgrammerManufacturer,
                                    kProgrammerProductId, kProgrammerProduct, &stringError);
  if (result == OpenOk) {
    if (deviceHandle != nullptr) bus.Close(deviceHandle);
    deviceHandle = opened;
    lastOpenError = 0;
  } else {
    lastOpenError = result == OpenAccessFailed ? -EACCES : stringError;
  }
  return result;
}

}  // namespace kestrel::device
