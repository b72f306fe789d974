#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/UsbBus.h"
#include "device/VendorProtocol.h"

namespace kestrel::device {

// OpenProgrammer's result codes.
enum OpenResult : int {
  OpenOk = 0,
  OpenNotFound = 1,
  OpenAccessFailed = 2,
  OpenStringFailed = 3,
};

// What one discovery walk found.
struct Discovery {
  int result = OpenNotFound;       // OpenOk once a device matched; else the last candidate's code
  UsbHandle* handle = nullptr;     // the first match, open when it was to be kept; the caller closes it
  std::vector<std::string> found;  // the address of every match, in walk order
  int lastError = 0;               // the libusb error of the last failed string read, or 0
};

// Looks for the devices with the given IDs and strings on every bus, walking buses and devices
// in list order and passing over every device but the one at `address` when that is not empty.
// Opens each candidate and compares its strings; with both strings null any device with the
// IDs that opens matches. Every match is listed; with `keepFirst` the first one's handle is
// kept, every other handle is closed. `lastError` lets a caller tell a device it may not access
// from one that is absent.
Discovery DiscoverDevices(UsbBus& bus, bool& usbInitDone, std::uint16_t vendorId, const char* manufacturer,
                          std::uint16_t productId, const char* product, const std::string& address,
                          bool keepFirst);

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

  // Looks for the programmers (the wanted one only, when set) and opens the first found; on
  // success its handle replaces (and closes) the old one. An OpenResult.
  int Open();
  // The address of every programmer found (the wanted one only, when set), in walk order;
  // nothing stays open. Sets the facts below as Open does.
  std::vector<std::string> List();
  // Whether the last Open or List found no programmer for want of permission.
  bool AccessDenied() const { return IsAccessError(lastOpenError); }

  UsbBus& bus;
  UsbHandle* deviceHandle = nullptr;  // the open programmer, or none
  ProgrammingMode currentMode = ProgrammingMode::PP_20;
  bool usbInitDone = false;
  std::string wantedAddress;  // "BBB:DDD": only the programmer there is used; empty: any
  // What the last Open or List saw: the programmers found; the libusb error behind finding
  // none, 0 if none was seen (-EACCES too when the system knows a programmer whose node this
  // process may not open, which libusb-0.1 never lists).
  std::size_t programmersFound = 0;
  int lastOpenError = 0;
  std::string openedAddress;  // where the open programmer sits

 private:
  Discovery Discover(bool keepFirst);
};

}  // namespace kestrel::device
