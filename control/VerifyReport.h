#pragma once

#include "control/ImageFileOperations.h"

namespace kestrel::control {

// Compare the image with the read-back data over the chip's size and log the report:
// 111/113 when no byte differs, 112/114 otherwise.
void Verify(ImageContext& context, device::MemoryKind kind);

}  // namespace kestrel::control
