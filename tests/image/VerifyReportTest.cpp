#include "image/VerifyReport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ImageFakes.h"
#include "control/Texts.h"
#include "device/StatusCode.h"

namespace kestrel::image {
namespace {

using ::testing::ElementsAre;
namespace status = device::status;

class VerifyReportTest : public ::testing::Test {
 protected:
  VerifyReportTest() {
    rig.geometry.flashPageWords = 128;   // 256-byte pages
    rig.geometry.flashPageCount = 1024;  // the whole 256 KiB
    rig.geometry.eepromPageBytes = 8;
    rig.geometry.eepromPageCount = 64;  // 512 bytes
  }
  testing::ImageRig rig;
};

TEST_F(VerifyReportTest, PassesTwoEmptyImagesWithACountOfNothing) {
  VerifyFlash(rig.context);
  EXPECT_THAT(rig.log.lines, ElementsAre(texts::kFlashVerifyBegin, "共发现     0个单元不对!",
                                         texts::kFlashVerifyEnd));
  VerifyEeprom(rig.context);
  EXPECT_EQ(rig.log.lines[3], texts::kEepromVerifyBegin);
  EXPECT_EQ(rig.log.lines[5], texts::kEepromVerifyEnd);
  EXPECT_THAT(rig.status.codes(), ElementsAre(status::FlashVerified, status::EepromVerified));
}

TEST_F(VerifyReportTest, ComparesNoByteWhenTheUsedLengthsDiffer) {
  rig.engine.flashImage[10] = 0x00;
  rig.engine.flashReadback[10] = 0x00;
  rig.engine.flashReadback[11] = 0x00;
  VerifyFlash(rig.context);
  EXPECT_THAT(rig.log.lines, ElementsAre(texts::kFlashVerifyBegin, "数据总数不同！！！",
                                         texts::kFlashVerifyEnd));
  rig.engine.eepromImage[511] = 0x01;  // the read-back ends earlier
  VerifyEeprom(rig.context);
  EXPECT_EQ(rig.log.lines.size(), 6u);
  EXPECT_THAT(rig.status.codes(), ElementsAre(status::FlashVerifyFailed, status::EepromVerifyFailed));
}

TEST_F(VerifyReportTest, ListsEachDifferenceInAddressOrderInCapitals) {
  auto& image = rig.engine.eepromImage;
  auto& readback = rig.engine.eepromReadback;
  for (std::size_t i = 0; i < 0x140; ++i) image[i] = readback[i] = static_cast<std::uint8_t>(i);
  readback[0x00] = 0xAB;
  image[0x0A] = 0xFF;  // one side 0xFF inside the used length is a difference like any other
  image[0x12F] = 0x3C;
  readback[0x12F] = 0xFF;
  readback[0x13F] = 0x00;
  image[0x200] = 0x00;  // beyond the chip's 512 bytes: not compared
  VerifyEeprom(rig.context);
  EXPECT_THAT(rig.log.lines, ElementsAre(texts::kEepromVerifyBegin,
                                         "〖000001〗地址：【00000】写：00  读：AB",
                                         "〖000002〗地址：【0000A】写：FF  读：0A",
                                         "〖000003〗地址：【0012F】写：3C  读：FF",
                                         "〖000004〗地址：【0013F】写：3F  读：00",
                                         "共发现     4个单元不对!", texts::kEepromVerifyEnd));
  EXPECT_THAT(rig.log.quiet, ElementsAre(false, true, true, true, true, false, false));
  EXPECT_THAT(rig.status.codes(), ElementsAre(status::EepromVerifyFailed));
}

TEST_F(VerifyReportTest, ReportsEveryByteOfAWhollyDifferentFlash) {
  rig.engine.flashImage.assign(262144, 0x00);
  rig.engine.flashReadback.assign(262144, 0xEF);
  rig.engine.flashReadback[262143] = 0x01;
  VerifyFlash(rig.context);
  ASSERT_EQ(rig.log.lines.size(), 262144u + 3);
  EXPECT_EQ(rig.log.lines[262144], "〖262144〗地址：【3FFFF】写：00  读：01");
  EXPECT_EQ(rig.log.lines[262145], "共发现262144个单元不对!");
  EXPECT_THAT(rig.status.codes(), ElementsAre(status::FlashVerifyFailed));
}

TEST_F(VerifyReportTest, KeepsTheComparisonInsideTheBuffersWhateverTheGeometry) {
  rig.engine.flashImage[5] = 0x00;
  rig.geometry.flashPageCount = -1;
  VerifyFlash(rig.context);
  EXPECT_EQ(rig.log.lines[1], "共发现     0个单元不对!");
  rig.geometry.eepromPageBytes = 255;
  rig.geometry.eepromPageCount = 1 << 30;
  rig.engine.eepromImage[65535] = 0x00;
  rig.engine.eepromReadback[65535] = 0x01;
  VerifyEeprom(rig.context);
  EXPECT_EQ(rig.log.lines[4], "〖000001〗地址：【0FFFF】写：00  读：01");
  EXPECT_THAT(rig.status.codes(), ElementsAre(status::FlashVerified, status::EepromVerifyFailed));
}

}  // namespace
}  // namespace kestrel::image
