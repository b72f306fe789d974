#include "device/ProgrammerLink.h"

#include <cerrno>
#include <cstring>
#include <mutex>

#include "device/UsbLock.h"
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

Discovery DiscoverDevices(UsbBus& bus, bool& usbInitDone, std::uint16_t vendorId, const char* manufacturer,
                          std::uint16_t productId, const char* product, const std::string& address,
                          bool keepFirst) {
  // The whole walk: the device references GetBusses hands out live only until the next scan.
  const std::unique_lock scan(ProcessUsbLock());
  if (!usbInitDone) {
    usbInitDone = true;
    bus.Init();
  }
  bus.FindBusses();
  bus.FindDevices();

  Discovery discovery;
  for (const auto& devices : bus.GetBusses()) {
    for (const auto& device : devices) {
      if (device.idVendor != vendorId || device.idProduct != productId) continue;
      if (!address.empty() && DeviceAddress(device) != address) continue;
      UsbHandle* candidate = bus.Open(device);
      if (candidate == nullptr) {
        if (discovery.result != OpenOk) discovery.result = OpenAccessFailed;
        continue;
      }
      int result = OpenOk;
      if (manufacturer != nullptr || product != nullptr) {
        result = CheckString(bus, candidate, device.iManufacturer, manufacturer ? manufacturer : "",
                             &discovery.lastError);
        if (result == OpenOk) {
          result = CheckString(bus, candidate, device.iProduct, product ? product : "", &discovery.lastError);
        }
      }
      if (result == OpenOk) discovery.found.push_back(DeviceAddress(device));
      if (result == OpenOk && keepFirst && discovery.handle == nullptr) {
        discovery.handle = candidate;
      } else {
        bus.Close(candidate);
      }
      if (discovery.result != OpenOk) discovery.result = result;
    }
  }
  return discovery;
}

int ReadAsciiStringDescriptor(UsbBus& bus, UsbHandle* handle, int index, int languageId, char* text,
                              int capacity) {
  std::uint8_t buffer[kDescriptorBufferBytes];
  const int received =
      bus.ControlMsg(handle, kStandardDeviceIn, kGetDescriptor, (kStringDescriptorType << 8) + index,
                     languageId, buffer, sizeof buffer, kDescriptorTimeoutMs);
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
  if (deviceHandle == nullptr) return;
  const std::unique_lock close(ProcessUsbLock());
  bus.Close(deviceHandle);
}

int ProgrammerLink::Open() {
  const Discovery discovery = Discover(true);
  if (discovery.handle != nullptr) {
    if (deviceHandle != nullptr) {
      const std::unique_lock close(ProcessUsbLock());
      bus.Close(deviceHandle);
    }
    deviceHandle = discovery.handle;
    openedAddress = discovery.found.front();
  }
  return discovery.result;
}

std::vector<std::string> ProgrammerLink::List() {
  return Discover(false).found;
}

Discovery ProgrammerLink::Discover(bool keepFirst) {
  Discovery discovery = DiscoverDevices(bus, usbInitDone, kProgrammerVendorId, kProgrammerManufacturer,
                                        kProgrammerProductId, kProgrammerProduct, wantedAddress, keepFirst);
  programmersFound = discovery.found.size();
  lastOpenError = discovery.result == OpenAccessFailed ? -EACCES : discovery.lastError;
  if (discovery.result == OpenOk) {
    lastOpenError = 0;
  } else if (!IsAccessError(lastOpenError) &&
             bus.HasInaccessibleDevice(kProgrammerVendorId, kProgrammerProductId, wantedAddress)) {
    discovery.result = OpenAccessFailed;
    lastOpenError = -EACCES;
  }
  return discovery;
}

}  // namespace kestrel::device
