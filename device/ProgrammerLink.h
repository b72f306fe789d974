#pragma once

#include <cstdint>

#include "device/UsbBus.h"

namespace kestrel::device {

// OpenProgrammer's result codes.
enum OpenResult : int {
  OpenOk = 0,
  OpenNotFound = 1,
  OpenAccessFailed = 2,
  OpenStringFailed = 3,
};

// Finds the device with the given IDs and strings on every bus and opens it. Walks buses and
// devices in list order; the first match is stored in *handle and OpenOk returned at once.
// Otherwise the code of the last candidate examined is returned and no handle stays open.
// With both strings null the first device with matching IDs that opens is taken.
// `lastError`, when given, receives the libusb error of the last failed string read (or 0),
// so that a caller can tell a device it may not access from one that is absent.
int OpenProgrammer(UsbBus& bus, bool& usbInitDone, UsbHandle** handle, std::uint16_t vendorId,
                   const char* manufacturer, std::uint16_t productId, const char* product,
                   int* lastError = nullptr);

// Reads string descriptor `index` as ASCII text (other units become '?') into
// `text`, NUL-terminated, at most `capacity` characters. Returns the characters stored, or the
// negative libusb error of the transfer. A reply that is not a string descriptor reads as "".
int ReadAsciiStringDescriptor(UsbBus& bus, UsbHandle* handle, int index, int languageId, char* text,
                              int capacity);

// The programmer connection: the bus, the open handle and the selected programming mode.
// Owned by the front end's thread; a block transfer takes the handle and mode once at its start.
class ProgrammerLink {
 public:
  explicit ProgrammerLink(UsbBus& bus) : bus(bus) {}
  ~ProgrammerLink();
  ProgrammerLink(const ProgrammerLink&) = delete;
  ProgrammerLink& operator=(const ProgrammerLink&) = delete;

  // Looks for the programmer; on success the new handle replaces (and closes) the old one.
  int Open();

  UsbBus& bus;
  UsbHandle* deviceHandle = nullptr;  // the open programmer, or none
  std::uint8_t currentMode = 0;       // a ProgrammingMode value
  bool usbInitDone = false;
  int lastOpenError = 0;  // libusb error behind the last failed Open, 0 if none was seen
};

}  // namespace kestrel::device
