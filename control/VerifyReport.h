#pragma once

#include "control/ImageFileOperations.h"

namespace kestrel::control {

// Compare the image with the read-back data over the chip's size and log the report:
// 111/113 when no byte differs, 112/114 otherwise.
void Verify(ImageContext& context, device::MemoryKind kind);

// Logs whether the read-back holds 0xFF over the chip's size, or else its first address that
// does not and how many bytes do not; true when blank. A read-back not (wholly) read from the
// chip is not blank.
bool BlankCheck(ImageContext& context, device::MemoryKind kind);

}  // namespace kestrel::control
