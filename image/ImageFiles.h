#pragma once

#include "chips/ChipGeometry.h"
#include "device/ProgrammerEngine.h"
#include "image/HexFileReader.h"
#include "image/ImagePorts.h"

namespace kestrel::image {

// Everything the image-file operations and the verifies touch.
struct ImageContext {
  device::ProgrammerEngine& engine;
  HexFileReader& reader;
  const chips::ChipGeometry& geometry;
  FileChooser& chooser;
  HexViewPort& flashView;
  HexViewPort& eepromView;
  LogSink& log;
  MessageSink& messages;
  PageSwitch& pages;
};

// Each reports exactly one status on every path, cancel and failure included:
// 115 open FLASH, 116 open EEPROM, 117 save EEPROM, 118 save FLASH.
void OpenFlashImage(ImageContext& context);
void OpenEepromImage(ImageContext& context);
void SaveFlashImage(ImageContext& context);
void SaveEepromImage(ImageContext& context);

}  // namespace kestrel::image
