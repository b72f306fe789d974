#pragma once

#include <cstdint>
#include <string>

#include "chips/ChipGeometry.h"
#include "device/ProgrammerEngine.h"

namespace kestrel::device {

// One block transfer with the geometry, mode and handle of its start: a chip or mode picked
// while it runs applies to the next one.
struct TransferRunner {
  ProgrammerEngine& engine;
  BlockTransfer transfer;
  chips::ChipGeometry geometry;
  std::uint8_t mode;
  UsbHandle* handle;

  // The plain line that explains why this geometry cannot be served, or empty.
  std::string Refusal() const;
  // Walks the pages (progress code after each), stops at the first failed page, always ends
  // with Ready, then sends the success code, or 102/103 when a request failed.
  void Run();

 private:
  std::uint32_t WriteFlashPages();
  std::uint32_t ReadFlashPages();
  std::uint32_t WriteEepromPages();
  std::uint32_t ReadEepromPages();
  std::uint32_t SuccessCode() const;
};

}  // namespace kestrel::device
