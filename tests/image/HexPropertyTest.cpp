// Random sparse images written as HEX by a writer of our own (random record sizes, either kind
// of address record, LF or CRLF) read back identically.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "HexTestText.h"
#include "image/HexFileReader.h"

namespace kestrel::image {
namespace {

constexpr std::size_t kSize = 262144;

// Writes the covered bytes of `image` in runs, each cut into records of random sizes; an
// address record precedes a record whenever its 64 KiB bank (or 1 MiB segment window) changes.
// Records may cross a bank boundary.
std::string WriteHex(const std::vector<std::uint8_t>& image, const std::vector<bool>& covered,
                     std::mt19937& random) {
  const int baseType = random() % 2 == 0 ? 2 : 4;
  const std::string lineEnd = random() % 2 == 0 ? "\n" : "\r\n";
  std::string text;
  std::size_t base = 0;
  for (std::size_t at = 0; at < kSize;) {
    if (!covered[at]) {
      ++at;
      continue;
    }
    std::size_t run = 0;
    for (const std::size_t count = 1 + random() % 40; run < count && at + run < kSize && covered[at + run];)
      ++run;
    if (at - base > 0xFFFF) {
      base = at & ~std::size_t{0xFFFF};
      text += testing::BaseRecord(baseType, static_cast<unsigned>(base >> (baseType == 2 ? 4 : 16)));
      text.replace(text.size() - 1, 1, lineEnd);
    }
    const std::vector<std::uint8_t> data(image.begin() + at, image.begin() + at + run);
    text += testing::HexRecord(0, static_cast<unsigned>(at - base), data) + lineEnd;
    at += run;
  }
  return text + ":00000001FF" + lineEnd;
}

TEST(HexPropertyTest, RandomSparseImagesReadBackIdentically) {
  std::mt19937 random(20240611);
  HexFileReader reader;
  std::vector<std::uint8_t> image;
  for (int round = 0; round < 60; ++round) {
    std::vector<std::uint8_t> written(kSize, 0xFF);
    std::vector<bool> covered(kSize, false);
    std::size_t end = 0;
    for (int piece = 1 + static_cast<int>(random() % 12); piece > 0; --piece) {
      const std::size_t length = 1 + random() % 3000;
      const std::size_t start = random() % (kSize - length);
      for (std::size_t i = start; i < start + length; ++i) {
        written[i] = static_cast<std::uint8_t>(random());
        covered[i] = true;
      }
      end = std::max(end, start + length);
    }
    image.assign(kSize, 0xFF);
    ASSERT_EQ(reader.ReadHexImage(WriteHex(written, covered, random), image, kSize), HexSuccess) << round;
    ASSERT_EQ(reader.dataLength, static_cast<std::int32_t>(end)) << round;
    ASSERT_TRUE(image == written) << round;
  }
}

}  // namespace
}  // namespace kestrel::image
