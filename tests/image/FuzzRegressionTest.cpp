// Inputs the fuzzers found faults with, kept so that the faults stay fixed.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ImageFakes.h"
#include "device/StatusCode.h"

namespace kestrel::image::testing {
namespace {

// A data record with no bytes at 0x8000, an address far past any image it could be read into.
constexpr char kEmptyRecordPastTheImage[] = ":0080000080\n:00000001FF\n";

// Found by fuzz_hex_open: a record without bytes took part in the second pass, which formed a
// pointer to its address in the destination. With an empty destination (a chip whose EEPROM
// size is 0) that was an offset applied to a null pointer.
TEST(HexFuzzRegression, RecordsWithoutBytesPastTheImageTouchNothing) {
  HexFileReader reader;
  FakeMessages messages;
  std::vector<std::uint8_t> none;
  EXPECT_EQ(reader.ReadHexImage(kEmptyRecordPastTheImage, HexDestination::Eeprom, none, 0, messages),
            HexSuccess);
  EXPECT_EQ(reader.dataLength, 0);

  // Beside real data, under the highest bases, into a small image.
  const std::string text =
      ":020000040FFFEC\n:00FFFF0002\n:020000040000FA\n:02000000ABCD86\n:00000001FF\n";
  std::vector<std::uint8_t> image(16, 0xFF);
  EXPECT_EQ(reader.ReadHexImage(text, HexDestination::Flash, image, 16, messages), HexSuccess);
  EXPECT_EQ(reader.dataLength, 2);
  std::vector<std::uint8_t> expected(16, 0xFF);
  expected[0] = 0xAB;
  expected[1] = 0xCD;
  EXPECT_EQ(image, expected);
  EXPECT_TRUE(messages.shown.empty());
}

// The same text through the open operation, as the fuzzer met it: an .eep file opened for a
// chip without EEPROM.
TEST(HexFuzzRegression, OpeningItForAChipWithoutEepromReportsAndGoesOn) {
  const std::string path = ::testing::TempDir() + "kestrel-fuzz-regression.eep";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fputs(kEmptyRecordPastTheImage, file);
  std::fclose(file);

  ImageRig rig;
  rig.geometry.eepromPageBytes = 0;
  rig.geometry.eepromPageCount = 0;
  rig.chooser.answers.push_back(path);
  OpenEepromImage(rig.context);
  std::remove(path.c_str());

  EXPECT_EQ(rig.status.codes(), std::vector<std::uint32_t>{device::status::EepromFileOpened});
  EXPECT_EQ(rig.reader.dataLength, 0);
  EXPECT_TRUE(rig.eepromView.content.empty());
}

}  // namespace
}  // namespace kestrel::image::testing
