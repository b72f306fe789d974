#include "base/Bytes.h"

namespace kestrel {

std::int32_t TrimmedLength(const std::uint8_t* bytes, std::int32_t length) {
  if (length <= 0) return length;
  for (std::int32_t i = length - 1; i >= 0; --i) {
    if (bytes[i] != 0xFF) return i + 1;
  }
  return 0;
}

bool ParseHexText(std::string_view text, int pairs, std::uint8_t* bytes) {
  if (pairs < 0 || text.size() < static_cast<std::size_t>(pairs) * 2) return false;
  for (int i = 0; i < pairs * 2; ++i) {
    if (HexDigitValue(text[static_cast<std::size_t>(i)]) < 0) return false;
  }
  for (int i = 0; i < pairs; ++i) {
    const auto at = static_cast<std::size_t>(i) * 2;
    bytes[i] = static_cast<std::uint8_t>(HexDigitValue(text[at]) * 16 + HexDigitValue(text[at + 1]));
  }
  return true;
}

}  // namespace kestrel
