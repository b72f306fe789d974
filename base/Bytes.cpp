#include "base/Bytes.h"

#include <zlib.h>

#include <algorithm>

namespace kestrel {

std::int32_t TrimmedLength(const std::uint8_t* bytes, std::int32_t length) {
  if (length <= 0) return length;
  for (std::int32_t i = length - 1; i >= 0; --i) {
    if (bytes[i] != 0xFF) return i + 1;
  }
  return 0;
}

// zlib takes at most a uInt at a time.
std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t count) {
  uLong crc = crc32(0L, Z_NULL, 0);
  for (std::size_t done = 0; done < count;) {
    const std::size_t part = std::min<std::size_t>(count - done, 1u << 30);
    crc = crc32(crc, bytes + done, static_cast<uInt>(part));
    done += part;
  }
  return static_cast<std::uint32_t>(crc);
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
