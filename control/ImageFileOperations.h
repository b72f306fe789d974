#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/ByteRanges.h"
#include "base/FileRead.h"
#include "chips/ChipFacts.h"
#include "chips/ChipGeometry.h"
#include "control/FrontEndPorts.h"
#include "control/MemoryTable.h"
#include "device/ProgrammerEngine.h"

namespace kestrel::control {

// Everything the image-file operations and the verifies touch.
struct ImageContext {
  device::ProgrammerEngine& engine;
  const chips::ChipGeometry& geometry;
  HexViewPort& flashView;
  HexViewPort& eepromView;
  LogSink& log;
  MessageSink& messages;
  PageSwitch& pages;
  std::function<void()> operationFailed;  // the error beep, counted as a failed operation
  // The facts of the selected chip, where a file's signature is compared with it.
  const chips::ChipFacts* const* selected = nullptr;
  // The bytes the last verify found differing; 0 when it compared none.
  std::int32_t differences = 0;

  HexViewPort& View(device::MemoryKind kind) const {
    return kind == device::MemoryKind::Flash ? flashView : eepromView;
  }
};

// One memory's file as an open reads it, with no side effect: what the FLASH and EEPROM opens
// and a production job both load.
struct MemoryFileRead {
  bool ok = false;
  std::int32_t count = 0;              // bytes the file gave
  ByteRanges given;                    // where in the memory the file gave them
  std::vector<std::string> notes;      // lines to log before the outcome (read by content, regions left)
  std::string refusal;                 // why the file gives no image, one or more lines; when !ok
  std::optional<std::string> message;  // the message box the old open showed with the refusal
  FileBytes content;                   // the file's bytes as read, when ok
};
// Reads the HEX, binary or ELF file at `path` (".eep" only for EEPROM) into `image`, the
// memory's size of bytes, 0xFF where the file gives nothing. A whole-chip file gives the
// memory's own region and is refused when its signature is not `selected`'s (nullptr: no
// check); `sizes` bound an ELF file's regions.
MemoryFileRead ReadMemoryFile(const MemoryEntry& entry, const std::string& path,
                              const image::ChipSizes& sizes, const chips::ChipFacts* selected,
                              std::span<std::uint8_t> image);

// Each reports exactly one status on every path, failure included:
// 115 open FLASH, 116 open EEPROM, 117 save EEPROM, 118 save FLASH.
void OpenImage(ImageContext& context, device::MemoryKind kind, const std::string& path);
void SaveImage(ImageContext& context, device::MemoryKind kind, const std::string& path);

}  // namespace kestrel::control
