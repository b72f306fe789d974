#pragma once

#include <cstdint>
#include <span>

namespace kestrel::image {

enum class FileFormat : std::uint8_t { Elf, IntelHex, Text, Binary };

// What a file holds, told by its first bytes rather than its name: ELF by its magic
// (7F 'E' 'L' 'F'); Intel HEX when `head` is text (printable ASCII and white space only)
// whose first character other than white space is ':'; other such text (no record first) is
// Text, which a caller may still read as damaged HEX; anything else, an empty head too, is
// binary. `head` may be a file's start cut anywhere.
FileFormat DetectFileFormat(std::span<const std::uint8_t> head);

}  // namespace kestrel::image
