#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "chips/ChipGeometry.h"
#include "control/FrontEndPorts.h"
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
};

// The chip's FLASH and EEPROM sizes, kept inside the host's buffers whatever the geometry says:
// the part of each image and read-back that is shown, opened, saved, compared and backed up.
std::size_t FlashLength(const chips::ChipGeometry& geometry, const device::ChipMemories& memories);
std::size_t EepromLength(const chips::ChipGeometry& geometry, const device::ChipMemories& memories);

// Each reports exactly one status on every path, failure included:
// 115 open FLASH, 116 open EEPROM, 117 save EEPROM, 118 save FLASH.
void OpenFlashImage(ImageContext& context, const std::string& path);
void OpenEepromImage(ImageContext& context, const std::string& path);
void SaveFlashImage(ImageContext& context, const std::string& path);
void SaveEepromImage(ImageContext& context, const std::string& path);

}  // namespace kestrel::control
