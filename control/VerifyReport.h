#pragma once

#include "control/ImageFileOperations.h"

namespace kestrel::control {

// Compare the image with the read-back data over the chip's size and log the report:
// 111/113 when no byte differs, 112/114 otherwise.
void VerifyFlash(ImageContext& context);
void VerifyEeprom(ImageContext& context);

}  // namespace kestrel::control
