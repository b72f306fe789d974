#include <gtest/gtest.h>

#include <algorithm>
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
    return reader.ReadHexImage(text, image, chipSize);
  }
  bool Untouched(std::uint8_t fill = 0xFF) const {
    return std::all_of(image.begin(), image.end(), [fill](std::uint8_t b) { return b == fill; });
  }

  HexFileReader reader;
  std::vector<std::uint8_t> image;
};

TEST_F(HexReaderTest, RefusesBrokenTextWithTheCodeOfItsFirstFaultAndTouchesNothing) {
  const std::string good = DataRecord(0, Bytes(16, 1));
  std::string badDigit = good, badCount = good;
  badDigit[12] = 'x';
  badCount[1] = ' ';
  const std::string badSum = HexRecord(0, 0x20, {1}, 1) + "\n";
  const std::pair<std::string, std::int32_t> cases[] = {
      {good, HexEofError},
      {std::string(kEnd) + good + kEnd, HexEofError},
      {good + '\0' + kEnd, HexEofError},
      {"", HexEofError},
      {good + badSum + kEnd, HexChecksumError},
      {badSum + badDigit + kEnd, HexChecksumError},
      {badDigit + badSum + kEnd, HexBadDigit},
      {good + badCount + kEnd, HexBadDigit},
      {good + HexRecord(1, 0, {0}) + "\n" + kEnd, HexWrongLabel},
      {good + HexRecord(6, 0, {}) + "\n" + kEnd, HexWrongLabel},
      {good.substr(0, 20) + kEnd, HexTruncatedRecord},
      {good + ":" + kEnd, HexTruncatedRecord},
      {good + HexRecord(4, 0, {1}) + "\n" + kEnd, HexTruncatedRecord},
  };
  for (const auto& [text, code] : cases) {
    reader.dataLength = 77;
    EXPECT_EQ(Read(text, kFlash, 0x55), code) << text;
    EXPECT_EQ(reader.resultCode, code) << text;
    EXPECT_EQ(reader.resultText, HexResultText(code)) << text;
    EXPECT_EQ(reader.dataLength, 0) << text;
    EXPECT_TRUE(Untouched(0x55)) << text;
  }
}

TEST_F(HexReaderTest, PlacesEachRecordAtItsBasePlusAddressAndFillsUpToTheExtent) {
  const std::pair<std::string, std::size_t> cases[] = {
      {DataRecord(0x1234, {0xAB}), 0x1234},
      {BaseRecord(2, 0x1000) + DataRecord(0x10, {0xAB}), 0x10010},
      {BaseRecord(4, 0x0002) + DataRecord(0x10, {0xAB}), 0x20010},
      {BaseRecord(2, 0x1000) + BaseRecord(4, 0x0002) + DataRecord(0x10, {0xAB}), 0x30010},
      {HexRecord(0x10, 0x20, {0xAB}) + "\n", 0x20},  // the kind is the second type digit
      {"note\r\n " + HexRecord(0, 0x30, {0xAB}) + " ;\r\n" + HexRecord(3, 0, {1, 2, 3, 4}) + "\n" +
           HexRecord(5, 0, {0, 1, 0, 0}) + "\n",
       0x30},
  };
  for (const auto& [text, address] : cases) {
    ASSERT_EQ(Read(text + kEnd + "garbage :zz\n", kFlash, 0x55), HexSuccess) << text;
    EXPECT_EQ(reader.dataLength, static_cast<std::int32_t>(address + 1)) << text;
    EXPECT_EQ(image[address], 0xAB) << text;
    EXPECT_EQ(std::count(image.begin(), image.begin() + address, 0xFF),
              std::ptrdiff_t(address));  // its own fill
    EXPECT_EQ(std::count(image.begin() + address + 1, image.end(), 0x55), kFlash - address - 1) << text;
  }
}

TEST_F(HexReaderTest, TakesTheHighestEndOfAnyDataAsTheExtentAndLaterDataOverEarlier) {
  std::string lower =
      DataRecord(0, Bytes(32, 0)) + DataRecord(0x10, {0xEE, 0xEE}) + DataRecord(0xFFF8, Bytes(16, 8));
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return std::tolower(c); });
  ASSERT_EQ(Read(lower + DataRecord(0x4000, {}) + kEnd), HexSuccess);
  EXPECT_EQ(reader.dataLength, 0x10008);  // on past 64 KiB without wrapping; no extent of no bytes
  EXPECT_EQ(image[0x10] << 8 | image[0x11], 0xEEEE);
  EXPECT_EQ(image[0x1F], 0x1F);
  EXPECT_EQ(image[0x10007], 0x17);
  ASSERT_EQ(Read(BaseRecord(4, 1) + DataRecord(0x100, {1}) + BaseRecord(4, 0) + DataRecord(0, {9}) + kEnd),
            HexSuccess);
  EXPECT_EQ(reader.dataLength, 0x10101);  // a base going back keeps the extent
  EXPECT_EQ(image[0x10100] << 8 | image[0], 0x0109);
  ASSERT_EQ(Read(std::string("\n") + kEnd), HexSuccess);
  EXPECT_EQ(reader.dataLength, 0);
}

TEST_F(HexReaderTest, RefusesAnImagePastTheChipOrTheBufferAndKeepsTheLastResult) {
  ASSERT_EQ(Read(DataRecord(0x1F0, Bytes(16, 0)) + kEnd, 0x200), HexSuccess);
  const std::string cases[] = {
      DataRecord(0x1F1, Bytes(16, 0)) + kEnd,
      BaseRecord(4, 0xFFFF) + BaseRecord(2, 0xFFFF) + DataRecord(0xFFFF, Bytes(255, 0)) + kEnd,
  };
  for (const std::string& text : cases) {
    EXPECT_EQ(Read(text, 0x200), HexOpenError);
    EXPECT_EQ(reader.dataLength, 0);
    EXPECT_EQ(reader.resultCode, HexSuccess);
    EXPECT_TRUE(Untouched());
  }
  EXPECT_EQ(Read(DataRecord(0, {1}) + kEnd, -5), HexOpenError);
  image.assign(0x100, 0xFF);  // a chip larger than the buffer
  EXPECT_EQ(reader.ReadHexImage(DataRecord(0xF8, Bytes(16, 0)) + kEnd, image, kFlash), HexOpenError);
}

}  // namespace
}  // namespace kestrel::image
