#pragma once

#include "control/ImageFileOperations.h"

namespace kestrel::control {

// Compare the image with the read-back data and log the report: 111/113 when no byte differs,
// 112/114 otherwise. The bytes the file gave are compared; with `restErased` (the chip was
// erased in this run and only the image written since) every other byte of the chip's size
// must read 0xFF too. An image with no record of what the file gave is compared whole.
void Verify(ImageContext& context, device::MemoryKind kind, bool restErased);

}  // namespace kestrel::control
