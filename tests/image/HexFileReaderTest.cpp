#include "image/HexFileReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HexTestText.h"
#include "ImageFakes.h"
#include "control/Texts.h"

namespace kestrel::image {
namespace {

using testing::Bytes;
using testing::DataRecord;
using testing::HexRecord;
using testing::kEnd;
using testing::LinearRecord;
using testing::SegmentRecord;

constexpr std::int64_t kFlash = 262144;

class HexReaderTest : public ::testing::Test {
 protected:
  // Reads into a FLASH-sized buffer set to `fill`; returns the code.
  std::int32_t Read(const std::string& text, std::int64_t chipSize = kFlash,
                    HexDestination kind = HexDestination::Flash, std::uint8_t fill = 0xFF) {
    image.assign(kFlash, fill);
    return reader.ReadHexImage(text, kind, image, chipSize, messages);
  }
  bool AllEqual(std::size_t from, std::size_t to, std::uint8_t value) const {
    for (std::size_t i = from; i < to; ++i) {
      if (image[i] != value) return false;
    }
    return true;
  }

  HexFileReader reader;
  testing::FakeMessages messages;
  std::vector<std::uint8_t> image;
};

// The characters next to the digit ranges are the likely slips.
TEST(HexPairTest, ReadsBothCasesAndLeavesTheByteAloneOnBadDigits) {
  std::uint8_t out = 0;
  EXPECT_TRUE(HexFileReader::ParseHexPair('A', 'f', out));
  EXPECT_EQ(out, 0xAF);
  EXPECT_TRUE(HexFileReader::ParseHexPair('0', '9', out));
  EXPECT_EQ(out, 0x09);
  for (auto [high, low] : {std::pair{'G', '0'}, {'0', 'g'}, {':', '0'}, {'0', '/'}, {'@', '`'}, {'0', '\0'}}) {
    EXPECT_FALSE(HexFileReader::ParseHexPair(high, low, out)) << high << low;
    EXPECT_EQ(out, 0x09);
  }
}

TEST_F(HexReaderTest, RefusesBrokenTextWithItsOwnCodeAndTouchesNothing) {
  const std::string good = DataRecord(0, Bytes(16, 1));
  std::string badDigit = good;
  badDigit[12] = 'x';
  std::string badCount = good;
  badCount[1] = ' ';
  const std::string withZero = good + std::string(1, '\0') + kEnd;
  struct Case {
    std::string name;
    std::string text;
    std::int32_t code;
  } cases[] = {
      {"no end record", good, HexEofError},
      {"end record first", std::string(kEnd) + good + kEnd, HexEofError},
      {"zero byte hides the end", withZero, HexEofError},
      {"empty", "", HexEofError},
      {"checksum", HexRecord(0, 0, Bytes(4, 1), 1) + "\n" + kEnd, HexChecksumError},
      {"type 01 before the end", good + HexRecord(1, 0, {0}) + "\n" + kEnd,
       HexWrongLabel},
      {"type 06", HexRecord(6, 0, {}) + "\n" + kEnd, HexWrongLabel},
      {"bad digit in data", badDigit + kEnd, HexBadDigit},
      {"bad digit in count", badCount + kEnd, HexBadDigit},
      {"record runs into the end record", good.substr(0, 20) + kEnd, HexTruncatedRecord},
      {"colon just before the end", good + ":" + kEnd, HexTruncatedRecord},
      {"short address record", HexRecord(4, 0, {1}) + "\n" + kEnd, HexTruncatedRecord},
  };
  for (const Case& c : cases) {
    reader.dataLength = 77;
    EXPECT_EQ(Read(c.text), c.code) << c.name;
    EXPECT_EQ(reader.resultCode, c.code) << c.name;
    EXPECT_EQ(reader.resultText, HexResultText(c.code)) << c.name;
    EXPECT_EQ(reader.dataLength, 0) << c.name;
    EXPECT_TRUE(AllEqual(0, image.size(), 0xFF)) << c.name;
  }
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(HexReaderTest, StopsAtTheFirstBrokenRecord) {
  std::string badDigit = DataRecord(0x10, Bytes(4, 1));
  badDigit[10] = 'Z';
  EXPECT_EQ(Read(HexRecord(0, 0, {1}, 2) + "\n" + badDigit + kEnd), HexChecksumError);
  EXPECT_EQ(Read(badDigit + HexRecord(0, 0, {1}, 2) + "\n" + kEnd), HexBadDigit);
}

TEST_F(HexReaderTest, PlacesDataAtItsAddressAndFillsOnlyUpToTheExtent) {
  std::string text;
  for (unsigned a = 0x100; a < 0x200; a += 16) text += DataRecord(a, Bytes(16, static_cast<std::uint8_t>(a)));
  text += kEnd;
  ASSERT_EQ(Read(text, kFlash, HexDestination::Flash, 0x55), HexSuccess);
  EXPECT_EQ(reader.dataLength, 0x200);
  EXPECT_EQ(reader.resultText, "Success.");
  EXPECT_TRUE(AllEqual(0, 0x100, 0xFF));  // the image's own fill, not the caller's
  for (unsigned i = 0x100; i < 0x200; ++i) ASSERT_EQ(image[i], static_cast<std::uint8_t>(i));
  EXPECT_TRUE(AllEqual(0x200, image.size(), 0x55));
}

TEST_F(HexReaderTest, AddsSegmentAndLinearBases) {
  std::string text;
  for (unsigned a = 0; a < 0x10000; a += 32) text += DataRecord(a, Bytes(32, 0));
  text += SegmentRecord(0x1000);
  for (unsigned a = 0; a < 0x10000; a += 32) text += DataRecord(a, Bytes(32, 0x80));
  text += kEnd;
  ASSERT_EQ(Read(text), HexSuccess);
  EXPECT_EQ(reader.dataLength, 0x20000);
  EXPECT_EQ(image[0x0001], 0x01);
  EXPECT_EQ(image[0x10001], 0x81);
  EXPECT_EQ(image[0x1FFFF], static_cast<std::uint8_t>(0x80 + 31));

  const std::string both =
      SegmentRecord(0x1000) + LinearRecord(0x0002) + DataRecord(0x0010, {0xAB}) + kEnd;
  ASSERT_EQ(Read(both), HexSuccess);
  EXPECT_EQ(reader.dataLength, 0x30011);
  EXPECT_EQ(image[0x30010], 0xAB);
}

TEST_F(HexReaderTest, RunsRecordsOnPastA64KiBoundaryWithoutWrapping) {
  ASSERT_EQ(Read(DataRecord(0xFFF8, Bytes(16, 0x10)) + kEnd), HexSuccess);
  EXPECT_EQ(reader.dataLength, 0x10008);
  EXPECT_EQ(image[0xFFF8], 0x10);
  EXPECT_EQ(image[0x10007], 0x1F);
  EXPECT_EQ(image[0x0000], 0xFF);
}

TEST_F(HexReaderTest, TakesTheTrueEndOfTheDataAsTheExtent) {
  // A shorter record at a higher address than a longer one.
  ASSERT_EQ(Read(DataRecord(0x00, Bytes(32, 0)) + DataRecord(0x10, {0xEE, 0xEE}) + kEnd),
            HexSuccess);
  EXPECT_EQ(reader.dataLength, 32);
  EXPECT_EQ(image[31], 31);
  EXPECT_EQ(image[0x10], 0xEE);  // later over earlier
  EXPECT_EQ(image[0x12], 0x12);

  // An address record after the last data record.
  ASSERT_EQ(Read(LinearRecord(1) + DataRecord(0x100, Bytes(4, 1)) + LinearRecord(0) + kEnd),
            HexSuccess);
  EXPECT_EQ(reader.dataLength, 0x10104);
  EXPECT_EQ(image[0x10103], 4);

  // A linear base going backwards: the later data still count and land at the lower base.
  ASSERT_EQ(Read(LinearRecord(1) + DataRecord(0, {1}) + LinearRecord(0) + DataRecord(0xFFF0, Bytes(32, 7)) +
                 kEnd),
            HexSuccess);
  EXPECT_EQ(reader.dataLength, 0x10010);
  EXPECT_EQ(image[0x10000], 7 + 16);  // the second record runs on over the first
  EXPECT_EQ(image[0xFFF0], 7);
  EXPECT_EQ(image[0x1000F], 7 + 31);
}

TEST_F(HexReaderTest, RefusesAnImageLargerThanTheChipWithAMessage) {
  const std::string fits = DataRecord(0x1F0, Bytes(16, 0)) + kEnd;
  ASSERT_EQ(Read(fits, 0x200), HexSuccess);
  EXPECT_EQ(reader.dataLength, 0x200);
  EXPECT_TRUE(messages.shown.empty());

  const std::string longer = DataRecord(0x1F1, Bytes(16, 0)) + kEnd;
  EXPECT_EQ(Read(longer, 0x200), HexOpenError);
  EXPECT_EQ(reader.dataLength, 0);
  EXPECT_EQ(reader.resultCode, HexSuccess);  // kept from the read before
  EXPECT_EQ(reader.resultText, "Success.");
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0], texts::kFlashHexTooLarge);
  EXPECT_TRUE(AllEqual(0, image.size(), 0xFF));

  EXPECT_EQ(Read(longer, 0x200, HexDestination::Eeprom), HexOpenError);
  EXPECT_EQ(messages.shown.back(), texts::kEepromHexTooLarge);
}

TEST_F(HexReaderTest, NeverWritesPastTheBufferWhateverTheChipSize) {
  image.assign(0x100, 0xFF);
  EXPECT_EQ(reader.ReadHexImage(DataRecord(0xF8, Bytes(16, 0)) + kEnd, HexDestination::Eeprom,
                                image, kFlash, messages),
            HexOpenError);
  EXPECT_EQ(Read(DataRecord(0, {1}) + kEnd, -5), HexOpenError);
  EXPECT_EQ(Read(DataRecord(0x4000, {}) + kEnd, 0), HexSuccess);  // no bytes, no extent
  EXPECT_EQ(reader.dataLength, 0);
  // The bases alone may point far past 32 bits of address space.
  EXPECT_EQ(Read(LinearRecord(0xFFFF) + SegmentRecord(0xFFFF) + DataRecord(0xFFFF, Bytes(255, 0)) + kEnd),
            HexOpenError);
}

TEST_F(HexReaderTest, ReadsTheRecordKindsAsTheirSecondTypeDigitSays) {
  std::string lower = DataRecord(0, {0xAB, 0xCD, 0xEF});
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  ASSERT_EQ(Read(lower + kEnd), HexSuccess);
  EXPECT_EQ(image[0], 0xAB);
  EXPECT_EQ(image[2], 0xEF);

  ASSERT_EQ(Read(HexRecord(0x10, 4, {0x42}) + "\n" + kEnd), HexSuccess);
  EXPECT_EQ(image[4], 0x42);
  EXPECT_EQ(reader.dataLength, 5);

  const std::string starts = HexRecord(3, 0, {0x12, 0x34, 0x56, 0x78}) + "\n" +
                             HexRecord(5, 0, {0x00, 0x01, 0x00, 0x00}) + "\n";
  ASSERT_EQ(Read(starts + DataRecord(2, {9}) + starts + kEnd), HexSuccess);
  EXPECT_EQ(reader.dataLength, 3);
  EXPECT_EQ(image[2], 9);
}

TEST_F(HexReaderTest, SkipsAnythingBetweenRecordsAndIgnoresTextAfterTheEnd) {
  const std::string text = "header text\r\n  " + HexRecord(0, 0, {1, 2}) + " ; note\r\n" +
                           HexRecord(0, 2, {3}) + kEnd + "garbage :zz\n" + HexRecord(6, 0, {});
  ASSERT_EQ(Read(text), HexSuccess);
  EXPECT_EQ(reader.dataLength, 3);
  EXPECT_EQ(image[2], 3);
  // A file with no data records is a valid, empty image.
  ASSERT_EQ(Read(std::string("\n") + kEnd), HexSuccess);
  EXPECT_EQ(reader.dataLength, 0);
}

}  // namespace
}  // namespace kestrel::image
