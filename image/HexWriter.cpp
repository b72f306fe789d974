#include "image/HexWriter.h"

#include <algorithm>
#include <vector>

namespace kestrel::image {
namespace {

constexpr std::size_t kRecordBytes = 16;
constexpr char kDigits[] = "0123456789ABCDEF";

// Appends one record; its checksum makes the sum of all its bytes 0 modulo 256.
void AppendRecord(std::string& text, std::uint8_t type, std::uint16_t address,
                  std::span<const std::uint8_t> data) {
  unsigned sum = 0;
  auto put = [&](std::uint8_t byte) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
    sum += byte;
  };
  text += ':';
  put(static_cast<std::uint8_t>(data.size()));
  put(static_cast<std::uint8_t>(address >> 8));
  put(static_cast<std::uint8_t>(address));
  put(type);
  for (std::uint8_t byte : data) put(byte);
  put(static_cast<std::uint8_t>(-sum));
  text += '\n';
}

}  // namespace

std::string WriteHex(std::span<const HexSpan> spans) {
  std::string text;
  std::size_t total = 0;
  for (const HexSpan& span : spans) total += span.bytes.size();
  text.reserve(total / kRecordBytes * 44 + total % kRecordBytes * 2 + 64);
  std::uint32_t bank = 0;  // a reader starts in bank 0
  for (const HexSpan& span : spans) {
    std::size_t done = 0;
    while (done < span.bytes.size()) {
      const std::uint32_t at = span.address + static_cast<std::uint32_t>(done);
      if (at >> 16 != bank) {
        bank = at >> 16;
        const std::uint8_t upper[] = {static_cast<std::uint8_t>(bank >> 8), static_cast<std::uint8_t>(bank)};
        AppendRecord(text, 0x04, 0, upper);
      }
      const std::size_t count = std::min(kRecordBytes - at % kRecordBytes, span.bytes.size() - done);
      AppendRecord(text, 0x00, static_cast<std::uint16_t>(at), span.bytes.subspan(done, count));
      done += count;
    }
  }
  AppendRecord(text, 0x01, 0, {});
  return text;
}

std::string WriteHexMemory(std::span<const std::uint8_t> image, std::size_t length) {
  const HexSpan span{0, image.first(std::min(length, image.size()))};
  return WriteHex({&span, 1});
}

std::string WriteHexWholeChip(const WholeChipImage& image) {
  std::vector<HexSpan> spans;
  for (Region region : kRegions) {
    const RegionImage& memory = image[region];
    // Each run of given bytes becomes one span.
    std::size_t at = 0;
    while (at < memory.bytes.size()) {
      if (!memory.given[at]) {
        ++at;
        continue;
      }
      std::size_t end = at;
      while (end < memory.bytes.size() && memory.given[end]) ++end;
      spans.push_back({RegionStart(region) + static_cast<std::uint32_t>(at),
                       std::span(memory.bytes).subspan(at, end - at)});
      at = end;
    }
  }
  return WriteHex(spans);
}

}  // namespace kestrel::image
