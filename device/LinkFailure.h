#pragma once

#include <cstdint>

#include "device/VendorProtocol.h"

namespace kestrel::device {

// A request that did not do what it should: which one, on which page, and what the bus said.
// The layer that shows it words it.
struct LinkFailure {
  VendorCommand command = VendorCommand::Ready;
  std::uint32_t page = 0;  // 0-based page of a block transfer; 0 otherwise
  bool noHandle = false;   // no programmer was open: nothing was sent
  int result = 0;          // the libusb result: a negative errno, or the bytes moved
  int expectedLength = 0;  // the bytes the request had to move at least (UsedBytes)

  bool IsPageRequest() const {
    return command == VendorCommand::WriteFlashPage || command == VendorCommand::ReadFlashPage ||
           command == VendorCommand::WriteEepromPage || command == VendorCommand::ReadEepromPage;
  }
};

}  // namespace kestrel::device
