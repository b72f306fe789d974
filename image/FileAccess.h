#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// All-or-nothing writes for the image files (reads are base/FileRead.h's).
namespace kestrel::image {

// Replaces the file at `path` (through a symbolic link, the file it names; the link stays)
// with `count` bytes. A regular file, or none, gets a new file beside it, which is flushed to
// disk and renamed over the target only when all went well: on failure the target is as it
// was and the new file is gone. Anything else (a device, a FIFO) is written in place.
// Returns an empty string on success, otherwise the reason.
std::string ReplaceFileContents(const std::string& path, const std::uint8_t* bytes, std::size_t count);

}  // namespace kestrel::image
