// Random sparse images written as HEX by a writer of our own (random record sizes, either kind
// of address record, LF or CRLF) read back identically.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "HexTestText.h"
#include "ImageFakes.h"
#include "image/HexFileReader.h"

namespace kestrel::image {
namespace {

constexpr std::size_t kSize = 262144;

struct Written {
  std::vector<std::uint8_t> image;  // 0xFF where no record lands
  std::vector<bool> covered;
  std::size_t end = 0;
  std::string text;
};

// Writes the covered bytes of `written.image` in runs, each run cut into records of random
// sizes; an address record precedes a record whenever its 64 KiB bank (or 1 MiB segment
// window) changes. Records may cross a bank boundary.
void WriteHex(Written& written, std::mt19937& random) {
  const bool segments = random() % 2 == 0;
  const std::string lineEnd = random() % 2 == 0 ? "\n" : "\r\n";
  std::uint32_t base = 0;
  std::size_t at = 0;
  while (at < kSize) {
    if (!written.covered[at]) {
      ++at;
      continue;
    }
    std::size_t count = 1 + random() % 40;
    std::size_t run = 0;
    while (run < count && at + run < kSize && written.covered[at + run]) ++run;
    if (at - base > 0xFFFF) {
      base = static_cast<std::uint32_t>(at & ~std::size_t{0xFFFF});
      const std::string record = segments ? testing::SegmentRecord(base >> 4)
                                          : testing::LinearRecord(base >> 16);
      written.text += record.substr(0, record.size() - 1) + lineEnd;
    }
    const std::vector<std::uint8_t> data(written.image.begin() + static_cast<std::ptrdiff_t>(at),
                                         written.image.begin() + static_cast<std::ptrdiff_t>(at + run));
    written.text += testing::HexRecord(0, static_cast<unsigned>(at - base), data) + lineEnd;
    at += run;
  }
  written.text += ":00000001FF" + lineEnd;
}

Written RandomSparseImage(std::mt19937& random) {
  Written written;
  written.image.assign(kSize, 0xFF);
  written.covered.assign(kSize, false);
  const int pieces = 1 + static_cast<int>(random() % 12);
  for (int piece = 0; piece < pieces; ++piece) {
    const std::size_t length = 1 + random() % 3000;
    const std::size_t start = random() % (kSize - length);
    for (std::size_t i = start; i < start + length; ++i) {
      written.image[i] = static_cast<std::uint8_t>(random());
      written.covered[i] = true;
    }
    written.end = std::max(written.end, start + length);
  }
  WriteHex(written, random);
  return written;
}

TEST(HexPropertyTest, RandomSparseImagesReadBackIdentically) {
  std::mt19937 random(20240611);
  HexFileReader reader;
  testing::FakeMessages messages;
  std::vector<std::uint8_t> image;
  for (int round = 0; round < 60; ++round) {
    const Written written = RandomSparseImage(random);
    image.assign(kSize, 0xFF);
    ASSERT_EQ(reader.ReadHexImage(written.text, HexDestination::Flash, image, kSize, messages),
              HexSuccess)
        << "round " << round;
    ASSERT_EQ(reader.dataLength, static_cast<std::int32_t>(written.end)) << "round " << round;
    ASSERT_EQ(image, written.image) << "round " << round;
  }
  EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace kestrel::image
