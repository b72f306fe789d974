#include "image/FileFormat.h"

#include <algorithm>
#include <array>

namespace kestrel::image {
namespace {

bool IsWhiteSpace(std::uint8_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

FileFormat DetectFileFormat(std::span<const std::uint8_t> head) {
  constexpr std::array<std::uint8_t, 4> kElfMagic{0x7F, 'E', 'L', 'F'};
  if (head.size() >= kElfMagic.size() && std::equal(kElfMagic.begin(), kElfMagic.end(), head.begin())) {
    return FileFormat::Elf;
  }
  const auto first = std::find_if_not(head.begin(), head.end(), IsWhiteSpace);
  const bool text = std::all_of(head.begin(), head.end(),
                                [](std::uint8_t c) { return IsWhiteSpace(c) || (c >= 0x20 && c < 0x7F); });
  if (first == head.end() || !text) return FileFormat::Binary;
  return *first == ':' ? FileFormat::IntelHex : FileFormat::Text;
}

}  // namespace kestrel::image
