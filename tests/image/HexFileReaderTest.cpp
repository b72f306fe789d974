// The HEX reader on hand-made text, on random images written by a writer of this test's own,
// on inputs the fuzzer found faults with, and against the binaries that avr-objcopy and
// srec_cat made of the same data (scripts/make-hex-fixtures.sh).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "HexTestText.h"
#include "image/HexFileReader.h"

namespace kestrel::image {
namespace {

using namespace testing;  // the HEX text builders

constexpr std::int64_t kFlash = 262144;

class HexReaderTest : public ::testing::Test {
 protected:
  // Reads into a FLASH-sized buffer that the caller set to `fill`; returns the code.
  std::int32_t Read(const std::string& text, std::int64_t chipSize = kFlash, std::uint8_t fill = 0xFF) {
    image.assign(kFlash, fill);
    result = ReadHexImage(text, image, chipSize);
    return result.code;
  }

  HexReadResult result;
  std::vector<std::uint8_t> image;
};

TEST_F(HexReaderTest, RefusesBrokenTextWithTheCodeOfItsFirstFaultAndTouchesNothing) {
  const std::string good = DataRecord(0, Bytes(16, 1));
  std::string badDigit = good, badCount = good;
  badDigit[12] = 'x';
  badCount[1] = ' ';
  const std::string badSum = HexRecord(0, 0x20, {1}, 1) + "\n";
  const struct {
    std::string text;
    std::int32_t code;
    std::int32_t line;  // of the first faulty record
  } cases[] = {
      {good, HexEofError, 0},
      {std::string(kEnd) + good + kEnd, HexEofError, 0},
      {good + '\0' + kEnd, HexEofError, 0},
      {good + badSum + kEnd, HexChecksumError, 2},
      {badDigit + badSum + kEnd, HexBadDigit, 1},
      {good + badCount + kEnd, HexBadDigit, 2},
      {good + HexRecord(1, 0, {0}) + "\n" + kEnd, HexWrongLabel, 2},
      {good.substr(0, 20) + kEnd, HexTruncatedRecord, 1},
      {good + ":" + kEnd, HexTruncatedRecord, 2},
      {good + HexRecord(4, 0, {1}) + "\n" + kEnd, HexTruncatedRecord, 2},
  };
  for (const auto& [text, code, line] : cases) {
    EXPECT_EQ(Read(text, kFlash, 0x55), code) << text;
    EXPECT_EQ(result.line, line) << text;
    EXPECT_EQ(result.length, 0u) << text;
    EXPECT_EQ(std::count(image.begin(), image.end(), 0x55), kFlash) << text;
  }
}

// The fixtures and the random images cover each kind of address record on its own.
TEST_F(HexReaderTest, PlacesEachRecordAtItsBasePlusAddressAndFillsUpToTheExtent) {
  const std::pair<std::string, std::size_t> cases[] = {
      {BaseRecord(2, 0x1000) + BaseRecord(4, 0x0002) + DataRecord(0x10, {0xAB}), 0x30010},
      {HexRecord(0x10, 0x20, {0xAB}) + "\n", 0x20},  // the kind is the second type digit
      {"note\r\n " + HexRecord(0, 0x30, {0xAB}) + " ;\r\n" + HexRecord(3, 0, {1, 2, 3, 4}) + "\n" +
           HexRecord(5, 0, {0, 1, 0, 0}) + "\n",
       0x30},
  };
  for (const auto& [text, address] : cases) {
    ASSERT_EQ(Read(text + kEnd + "garbage :zz\n", kFlash, 0x55), HexSuccess) << text;
    EXPECT_EQ(result.length, address + 1) << text;
    EXPECT_EQ(image[address], 0xAB) << text;
    EXPECT_EQ(std::count(image.begin(), image.begin() + address, 0xFF), std::ptrdiff_t(address));  // own fill
    EXPECT_EQ(std::count(image.begin() + address + 1, image.end(), 0x55), kFlash - address - 1) << text;
  }
}

TEST_F(HexReaderTest, TakesTheHighestEndOfAnyDataAsTheExtentAndLaterDataOverEarlier) {
  std::string lower =
      DataRecord(0, Bytes(32, 0)) + DataRecord(0x10, {0xEE, 0xEE}) + DataRecord(0xFFF8, Bytes(16, 8));
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return std::tolower(c); });
  ASSERT_EQ(Read(lower + DataRecord(0x4000, {}) + kEnd), HexSuccess);
  EXPECT_EQ(result.length, 0x10008u);  // on past 64 KiB without wrapping; no extent of no bytes
  EXPECT_EQ(image[0x10] << 8 | image[0x11], 0xEEEE);
  EXPECT_EQ(image[0x1F] << 8 | image[0x10007], 0x1F17);
  ASSERT_EQ(Read(BaseRecord(4, 1) + DataRecord(0x100, {1}) + BaseRecord(4, 0) + DataRecord(0, {9}) + kEnd),
            HexSuccess);
  EXPECT_EQ(result.length, 0x10101u);  // a base going back keeps the extent
  EXPECT_EQ(image[0x10100] << 8 | image[0], 0x0109);
  ASSERT_EQ(Read(std::string("\n") + kEnd), HexSuccess);
  EXPECT_EQ(result.length, 0u);
}

// The extent of a refused image is what tells a whole-chip file; it must not wrap at 32 bits.
TEST_F(HexReaderTest, RefusesAnImagePastTheChipOrTheBufferAsTooLargeWithItsExtent) {
  ASSERT_EQ(Read(DataRecord(0x1F0, Bytes(16, 0)) + kEnd, 0x200), HexSuccess);
  const std::pair<std::string, std::uint64_t> cases[] = {
      {DataRecord(0x1F1, Bytes(16, 0)) + kEnd, 0x201},
      {BaseRecord(4, 0xFFFF) + BaseRecord(2, 0xFFFF) + DataRecord(0xFFFF, Bytes(255, 0)) + kEnd,
       0xFFFF0000ull + 0xFFFF0 + 0xFFFF + 255},
  };
  for (const auto& [text, extent] : cases) {
    EXPECT_EQ(Read(text, 0x200), HexTooLarge);
    EXPECT_EQ(result.extent, extent);
    EXPECT_EQ(result.length, 0u);
    EXPECT_EQ(std::count(image.begin(), image.end(), 0xFF), kFlash);
  }
  EXPECT_EQ(Read(DataRecord(0, {1}) + kEnd, -5), HexTooLarge);
  image.assign(0x100, 0xFF);  // a chip larger than the buffer
  EXPECT_EQ(ReadHexImage(DataRecord(0xF8, Bytes(16, 0)) + kEnd, image, kFlash).code, HexTooLarge);
}

// Found by fuzz_hex_open: a record without bytes took part in the second pass, which formed a
// pointer to its address in the destination. With an empty destination (a chip whose EEPROM
// size is 0) that was an offset applied to a null pointer.
TEST(HexFuzzRegression, RecordsWithoutBytesPastTheImageTouchNothing) {
  std::vector<std::uint8_t> none;
  EXPECT_EQ(ReadHexImage(":0080000080\n:00000001FF\n", none, 0).code, HexSuccess);
  // Beside real data, under the highest bases, into a small image.
  std::vector<std::uint8_t> image(16, 0xFF);
  const HexReadResult read = ReadHexImage(
      ":020000040FFFEC\n:00FFFF0002\n:020000040000FA\n:02000000ABCD86\n:00000001FF\n", image, 16);
  EXPECT_EQ(read.code, HexSuccess);
  EXPECT_EQ(read.length, 2u);
  EXPECT_EQ(image[0] << 8 | image[1], 0xABCD);
  EXPECT_EQ(std::count(image.begin(), image.end(), 0xFF), 14);
}

// Random pieces of random bytes at random places, overlapping and in no order, cut into records
// of random sizes under either kind of address record, with LF or CRLF, read back identically.
TEST(HexPropertyTest, RandomSparseImagesReadBackIdentically) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 60; ++round) {
    const int baseType = random() % 2 == 0 ? 2 : 4;
    const std::string lineEnd = random() % 2 == 0 ? "\n" : "\r\n";
    std::vector<std::uint8_t> written(kFlash, 0xFF);
    std::string text;
    std::size_t end = 0;
    for (int piece = 1 + static_cast<int>(random() % 12); piece > 0; --piece) {
      const std::size_t length = 1 + random() % 3000, start = random() % (kFlash - length);
      end = std::max(end, start + length);
      std::size_t base = kFlash;  // a new base record before the piece's first record
      for (std::size_t at = start; at < start + length;) {
        if (at - base > 0xFFFF) {  // a record may cross the end of its 64 KiB bank
          base = at & ~std::size_t{0xFFFF};
          text += BaseRecord(baseType, static_cast<unsigned>(base >> (baseType == 2 ? 4 : 16)));  // LF
        }
        std::vector<std::uint8_t> bytes(std::min<std::size_t>(1 + random() % 40, start + length - at));
        for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random());
        std::copy(bytes.begin(), bytes.end(), written.begin() + static_cast<std::ptrdiff_t>(at));
        text += HexRecord(0, static_cast<unsigned>(at - base), bytes) + lineEnd;
        at += bytes.size();
      }
    }
    std::vector<std::uint8_t> image(kFlash, 0xFF);
    const HexReadResult read = ReadHexImage(text + ":00000001FF" + lineEnd, image, kFlash);
    ASSERT_EQ(read.code, HexSuccess) << round;
    ASSERT_EQ(read.length, end) << round;
    ASSERT_TRUE(image == written) << round;
  }
}

TEST(HexFixtureTest, ImagesEqualTheBinariesOfIndependentTools) {
  const std::pair<const char*, const char*> fixtures[] = {{"program.hex", "program.bin"},
                                                          {"program.eep", "program-eeprom.bin"},
                                                          {"rand32k-r16.hex", "rand32k.bin"},
                                                          {"rand32k-r32.hex", "rand32k.bin"},
                                                          {"rand128k-linear-r16.hex", "rand128k.bin"},
                                                          {"rand128k-segment-r32.hex", "rand128k.bin"},
                                                          {"rand256k-linear-r32.hex", "rand256k.bin"},
                                                          {"rand256k-segment-r16.hex", "rand256k.bin"},
                                                          {"sparse-linear.hex", "sparse-linear.bin"},
                                                          {"sparse-segment.hex", "sparse-segment.bin"}};
  for (const auto& [hex, binary] : fixtures) {
    const std::string reference = ReadFile(KESTREL_TEST_DATA "/hex/" + std::string(binary));
    std::vector<std::uint8_t> image(kFlash, 0xFF), expected(reference.begin(), reference.end());
    expected.resize(kFlash, 0xFF);
    const HexReadResult read =
        ReadHexImage(ReadFile(KESTREL_TEST_DATA "/hex/" + std::string(hex)), image, kFlash);
    ASSERT_EQ(read.code, HexSuccess) << hex;
    EXPECT_EQ(read.length, reference.size()) << hex;
    EXPECT_TRUE(image == expected) << hex;  // not EXPECT_EQ, which would print all of it
  }
}

}  // namespace
}  // namespace kestrel::image
