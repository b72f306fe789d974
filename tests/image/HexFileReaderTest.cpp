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

// Odd texts, one fault (or oddity) each; a refusal names its line and touches nothing.
TEST_F(HexReaderTest, ReadsOddTextsAsTheFormatSaysOrRefusesThemNamingTheFault) {
  const std::string good = DataRecord(0, Bytes(16, 1));
  std::string badDigit = good, badCount = good;
  badDigit[12] = 'x';
  badCount[1] = ' ';
  const std::string badSum = HexRecord(0, 0x20, {1}, 1) + "\n";
  const std::string second = DataRecord(0x10, {0xAB});
  const struct {
    std::string text;
    std::int32_t code;
    std::int32_t line;        // of the first fault
    std::int32_t detail = 0;  // the unknown type, or the earlier line of a conflict
    std::uint64_t at = 0;     // the conflict's address, or where an image holds `byte`
    std::uint8_t byte = 0;
    std::size_t length = 0;
  } cases[] = {
      {good, HexEofError, 0},
      {good + '\0' + kEnd, HexEofError, 0},
      {good + badSum + kEnd, HexChecksumError, 2},
      {badDigit + badSum + kEnd, HexBadDigit, 1},
      {good + badCount + kEnd, HexBadDigit, 2},
      {good + HexRecord(1, 0, {0}) + "\n" + kEnd, HexWrongLabel, 2},
      {good.substr(0, 20) + kEnd, HexTruncatedRecord, 1},
      {good + ":" + kEnd, HexTruncatedRecord, 2},
      {good + HexRecord(4, 0, {1}) + "\n" + kEnd, HexTruncatedRecord, 2},
      {good + second.substr(1) + kEnd, HexNotARecord, 2},             // its colon lost
      {good + ";" + second.substr(1) + kEnd, HexNotARecord, 2},       // ';' for ':'
      {"# from make\n" + good + kEnd, HexNotARecord, 1},              // a comment line
      {HexRecord(0, 0, {1}) + " ; main\n" + kEnd, HexNotARecord, 1},  // one after a record
      {good + (kEnd + 1), HexNotARecord, 2},                          // the end's colon lost
      {good + HexRecord(6, 0, {}) + "\n" + kEnd, HexUnknownType, 2, 6},
      {HexRecord(0x10, 0x20, {0xAB}) + "\n" + kEnd, HexUnknownType, 1, 0x10},
      {good + second + DataRecord(0x0E, {0x0F, 9}) + kEnd, HexConflict, 3, 1, 0x0F},
      {good + DataRecord(8, Bytes(4, 9)) + kEnd, HexSuccess, 0, 0, 0x0B, 12, 16},  // the same bytes
      {"", HexEmpty, 0},
      {" \r\n\t\n", HexEmpty, 0},
      {kEnd, HexEmpty, 0},
      {"\n" + BaseRecord(4, 1) + DataRecord(0x10, {}) + kEnd, HexEmpty, 0},
      // Up to a segment's end, and on from its start; a linear base runs on.
      {BaseRecord(2, 0x1000) + DataRecord(0xFFFE, {1, 2, 0xAB}) + kEnd, HexSuccess, 0, 0, 0x10000, 0xAB,
       0x20000},
      {BaseRecord(4, 1) + DataRecord(0xFFFF, {1, 0xAB}) + kEnd, HexSuccess, 0, 0, 0x20000, 0xAB, 0x20001},
      {BaseRecord(2, 0x1000) + BaseRecord(4, 0x0002) + DataRecord(0x10, {0xAB}) + kEnd, HexSuccess, 0, 0,
       0x30010, 0xAB, 0x30011},
      {" \t" + HexRecord(0, 0x30, {0xAB}) + " \t\r\n\r\n" + HexRecord(3, 0, {1, 2, 3, 4}) + "\n" +
           HexRecord(5, 0, {0, 1, 0, 0}) + "\n  " + kEnd + "garbage :zz\n",
       HexSuccess, 0, 0, 0x30, 0xAB, 0x31},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Read(c.text, kFlash, 0x55), c.code) << c.text;
    EXPECT_EQ(result.line, c.line) << c.text;
    EXPECT_EQ(result.length, c.length) << c.text;
    if (c.code == HexUnknownType) {
      EXPECT_EQ(result.recordType, c.detail) << c.text;
    }
    if (c.code == HexConflict) {
      EXPECT_EQ(result.earlierLine, c.detail) << c.text;
      EXPECT_EQ(result.address, c.at) << c.text;
    }
    if (c.code == HexSuccess) {
      EXPECT_EQ(image[c.at], c.byte) << c.text;
      EXPECT_EQ(std::count(image.begin(), image.begin() + c.length, 0x55), 0) << c.text;  // filled to 0xFF
    }
    EXPECT_EQ(std::count(image.begin() + c.length, image.end(), 0x55), kFlash - c.length) << c.text;
  }
}

TEST_F(HexReaderTest, TakesTheHighestEndOfAnyDataAsTheExtent) {
  std::string lower = DataRecord(0, Bytes(32, 0)) + DataRecord(0xFFF8, Bytes(16, 8));
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return std::tolower(c); });
  ASSERT_EQ(Read(lower + DataRecord(0x4000, {}) + kEnd), HexSuccess);
  EXPECT_EQ(result.length, 0x10008u);  // on past 64 KiB without wrapping; no extent of no bytes
  EXPECT_EQ(image[0x1F] << 8 | image[0x10007], 0x1F17);
  ASSERT_EQ(Read(BaseRecord(4, 1) + DataRecord(0x100, {1}) + BaseRecord(4, 0) + DataRecord(0, {9}) + kEnd),
            HexSuccess);
  EXPECT_EQ(result.length, 0x10101u);  // a base going back keeps the extent
  EXPECT_EQ(image[0x10100] << 8 | image[0], 0x0109);
}

// A whole-chip file's conflicts are found within each memory.
TEST(HexRegionsTest, RefusesDifferentBytesForOneAddressOfAMemory) {
  const std::string eeprom = BaseRecord(4, 0x81) + DataRecord(0, {1, 2});
  HexRegionRead read = ReadHexRegions(eeprom + DataRecord(1, {2, 3}) + kEnd);
  ASSERT_EQ(read.code, HexSuccess);
  EXPECT_EQ(read.image[Region::Eeprom].bytes, (std::vector<std::uint8_t>{1, 2, 3}));
  read = ReadHexRegions(eeprom + BaseRecord(4, 0) + DataRecord(1, {7}) + BaseRecord(4, 0x81) +
                        DataRecord(1, {5}) + kEnd);
  EXPECT_EQ(read.code, HexConflict);
  EXPECT_EQ(read.line, 6);
  EXPECT_EQ(read.earlierLine, 2);
  EXPECT_EQ(read.address, 0x810001u);
  EXPECT_TRUE(read.image[Region::Eeprom].Empty());
}

// The extent of a refused image is what tells a whole-chip file; it must not wrap at 32 bits.
TEST_F(HexReaderTest, RefusesAnImagePastTheChipOrTheBufferAsTooLargeWithItsExtent) {
  ASSERT_EQ(Read(DataRecord(0x1F0, Bytes(16, 0)) + kEnd, 0x200), HexSuccess);
  const std::pair<std::string, std::uint64_t> cases[] = {
      {DataRecord(0x1F1, Bytes(16, 0)) + kEnd, 0x201},
      {BaseRecord(2, 0xFFFF) + BaseRecord(4, 0xFFFF) + DataRecord(0xFFFF, Bytes(255, 0)) + kEnd,
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
  EXPECT_EQ(ReadHexImage(":0080000080\n:00000001FF\n", none, 0).code, HexEmpty);
  // Beside real data, under the highest bases, into a small image.
  std::vector<std::uint8_t> image(16, 0xFF);
  const HexReadResult read = ReadHexImage(
      ":020000040FFFEC\n:00FFFF0002\n:020000040000FA\n:02000000ABCD86\n:00000001FF\n", image, 16);
  EXPECT_EQ(read.code, HexSuccess);
  EXPECT_EQ(read.length, 2u);
  EXPECT_EQ(image[0] << 8 | image[1], 0xABCD);
  EXPECT_EQ(std::count(image.begin(), image.end(), 0xFF), 14);
}

// Random pieces of one random image at random places, overlapping and in no order, cut into
// records of random sizes under either kind of address record, with LF or CRLF, read back
// identically, with the bytes they gave and no others.
TEST(HexPropertyTest, RandomSparseImagesReadBackIdentically) {
  std::mt19937 random(20240611);
  std::vector<std::uint8_t> source(kFlash);
  for (int round = 0; round < 60; ++round) {
    for (std::uint8_t& byte : source) byte = static_cast<std::uint8_t>(random());
    const int baseType = random() % 2 == 0 ? 2 : 4;
    const std::string lineEnd = random() % 2 == 0 ? "\n" : "\r\n";
    std::vector<std::uint8_t> written(kFlash, 0xFF);
    std::vector<bool> given(kFlash, false);
    std::string text;
    std::size_t end = 0;
    for (int piece = 1 + static_cast<int>(random() % 12); piece > 0; --piece) {
      const std::size_t length = 1 + random() % 3000, start = random() % (kFlash - length);
      end = std::max(end, start + length);
      std::size_t base = kFlash;  // a new base record before the piece's first record
      for (std::size_t at = start; at < start + length;) {
        if (at - base > 0xFFFF) {
          base = at & ~std::size_t{0xFFFF};
          text += BaseRecord(baseType, static_cast<unsigned>(base >> (baseType == 2 ? 4 : 16)));  // LF
        }
        // A linear record may cross the end of its 64 KiB bank; a segment one would wrap.
        std::size_t count = std::min<std::size_t>(1 + random() % 40, start + length - at);
        if (baseType == 2) count = std::min(count, base + 0x10000 - at);
        const auto from = source.begin() + static_cast<std::ptrdiff_t>(at);
        std::copy(from, from + static_cast<std::ptrdiff_t>(count), written.begin() + (from - source.begin()));
        std::fill_n(given.begin() + static_cast<std::ptrdiff_t>(at), count, true);
        text += HexRecord(0, static_cast<unsigned>(at - base),
                          {from, from + static_cast<std::ptrdiff_t>(count)}) +
                lineEnd;
        at += count;
      }
    }
    std::vector<std::uint8_t> image(kFlash, 0xFF);
    const HexReadResult read = ReadHexImage(text + ":00000001FF" + lineEnd, image, kFlash);
    ASSERT_EQ(read.code, HexSuccess) << round;
    ASSERT_EQ(read.length, end) << round;
    ASSERT_TRUE(image == written) << round;
    ASSERT_EQ(read.given, ByteRanges::FromFlags(given)) << round;
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
