#pragma once

#include <functional>
#include <string>

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

  HexViewPort& View(device::MemoryKind kind) const {
    return kind == device::MemoryKind::Flash ? flashView : eepromView;
  }
};

// Each reports exactly one status on every path, failure included:
// 115 open FLASH, 116 open EEPROM, 117 save EEPROM, 118 save FLASH.
void OpenImage(ImageContext& context, device::MemoryKind kind, const std::string& path);
void SaveImage(ImageContext& context, device::MemoryKind kind, const std::string& path);

}  // namespace kestrel::control
