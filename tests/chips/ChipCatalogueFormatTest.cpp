#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "chips/ChipCatalogue.h"

namespace kestrel::chips {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

ChipGeometry Picked(ChipCatalogue& catalogue, int index) {
  ChipGeometry geometry;
  EXPECT_TRUE(SelectChip(catalogue, index, geometry));
  return geometry;
}

std::string Record(const std::string& name, const std::string& fields = "1:2|3:4") {
  return name + "|" + fields + "<";
}

TEST(ChipCatalogueFormat, FieldsEndAtTheirOwnTerminatorAndKeepEveryByte) {
  ChipCatalogue catalogue = ParseChipCatalogue(" a:b<c |\t12 :64|256:4<");
  ASSERT_EQ(catalogue.recordCount, 1u);
  EXPECT_EQ(RawChipName(catalogue.records[0]), " a:b<c ");
  EXPECT_EQ(std::string(catalogue.records[0].flashPageCountText, 5), std::string("\t12 \0", 5));
  EXPECT_THAT(catalogue.warnings, IsEmpty());
  EXPECT_EQ(Picked(catalogue, 0), (ChipGeometry{64, 4, 12, 256}));
}

TEST(ChipCatalogueFormat, LineBreakAfterARecordBelongsToTheNextName) {
  ChipCatalogue catalogue =
      ParseChipCatalogue("ATtiny13|32:16|16:4<\nATmega8|128:32|128:4<\r\nATmega16|128:64|128:4<");
  ASSERT_EQ(catalogue.recordCount, 3u);
  EXPECT_EQ(RawChipName(catalogue.records[0]), "ATtiny13");
  EXPECT_EQ(RawChipName(catalogue.records[1]), "\nATmega8");
  EXPECT_EQ(RawChipName(catalogue.records[2]), "\r\nATmega16");
  EXPECT_THAT(catalogue.warnings, IsEmpty());
}

TEST(ChipCatalogueFormat, NumbersConvertAsAtoiWithinTheirSlots) {
  ChipCatalogue catalogue = ParseChipCatalogue(
      Record("empty", ":|:") + Record("letters", "x1:abc| 7x:-") + Record("long", "10000:1280|99999:256") +
      Record("signs", "-5:+32|+0:-1") + Record("space", " \t12: 8|\v1:\f2"));
  ASSERT_EQ(catalogue.recordCount, 5u);
  EXPECT_EQ(Picked(catalogue, 0), (ChipGeometry{0, 0, 0, 0}));
  EXPECT_EQ(Picked(catalogue, 1), (ChipGeometry{0, 0, 0, 7}));
  // Five digits keep four, four keep three; a page size of 256 keeps its low 8 bits.
  EXPECT_EQ(Picked(catalogue, 2), (ChipGeometry{128, 0, 1000, 9999}));
  EXPECT_EQ(Picked(catalogue, 3), (ChipGeometry{32, 255, -5, 0}));
  EXPECT_EQ(Picked(catalogue, 4), (ChipGeometry{8, 2, 12, 1}));
  EXPECT_THAT(catalogue.warnings, IsEmpty());
}

TEST(ChipCatalogueFormat, PickingIsRepeatableAndAnIndexOutsideChangesNothing) {
  ChipCatalogue catalogue = ParseChipCatalogue(Record("A", "10000:1280|4096:4") + Record("B", "32:16|16:4"));
  ChipGeometry geometry = Picked(catalogue, 0);
  Picked(catalogue, 1);
  EXPECT_EQ(Picked(catalogue, 0), geometry);
  const ChipCatalogue before = catalogue;
  for (int index : {-1, 2, 200}) EXPECT_FALSE(SelectChip(catalogue, index, geometry));
  EXPECT_EQ(geometry, (ChipGeometry{128, 4, 1000, 4096}));
  EXPECT_EQ(std::memcmp(&before.records, &catalogue.records, sizeof catalogue.records), 0);
}

TEST(ChipCatalogueLimits, LongFieldsAreCutToTheirSlotsWithOneWarningPerKind) {
  ChipCatalogue catalogue = ParseChipCatalogue(
      Record("ATmega328PB-AUR", "256:64|256:4") + Record("ABCDEFGHIJKLMNOPQRSTUVWXYZ", "1:2|3:4") +
      Record("ABCDEFGHIJKLMN", "123456:64|9:12345") + Record("ok", "1:12345|1234567:4"));
  ASSERT_EQ(catalogue.recordCount, 4u);
  EXPECT_EQ(RawChipName(catalogue.records[0]), "ATmega328PB-AU");
  EXPECT_EQ(RawChipName(catalogue.records[1]), "ABCDEFGHIJKLMN");
  EXPECT_EQ(RawChipName(catalogue.records[2]), "ABCDEFGHIJKLMN");  // exactly 14: kept whole
  const ChipRecord& cut = catalogue.records[2];
  EXPECT_EQ(std::string(cut.flashPageCountText, 5), "12345");
  EXPECT_EQ(std::string(cut.flashPageWordsText, 4), std::string("64\0\0", 4));
  EXPECT_EQ(std::string(cut.eepromPageBytesText, 4), "1234");
  EXPECT_EQ(Picked(catalogue, 3), (ChipGeometry{123, 4, 1, 1234}));
  EXPECT_THAT(catalogue.warnings,
              ElementsAre("器件列表中2个器件名超过14字节，已截断",
                          "器件列表中4个数字项超过其长度，已截断"));
}

TEST(ChipCatalogueLimits, RecordsPastTwoHundredAreDroppedWithOneWarning) {
  std::string bytes;
  for (int i = 0; i < 205; ++i) bytes += Record("C" + std::to_string(i));
  ChipCatalogue catalogue = ParseChipCatalogue(bytes);
  EXPECT_EQ(catalogue.recordCount, 200u);
  EXPECT_EQ(RawChipName(catalogue.records[199]), "C199");
  EXPECT_THAT(catalogue.warnings, ElementsAre("器件列表超过200个器件，其后5个已忽略"));
}

TEST(ChipCatalogueLimits, TrailingPartialRecordIsIgnoredWithOneWarning) {
  EXPECT_THAT(ParseChipCatalogue(Record("A") + "B|1:2|3").warnings,
              ElementsAre("器件列表末尾7字节不成完整记录，已忽略"));
  EXPECT_THAT(ParseChipCatalogue(Record("A") + "\n").warnings,
              ElementsAre("器件列表末尾1字节不成完整记录，已忽略"));
  ChipCatalogue noTerminator = ParseChipCatalogue("ATmega8|128:32|128:4");
  EXPECT_EQ(noTerminator.recordCount, 0u);
  EXPECT_THAT(noTerminator.warnings, ElementsAre(HasSubstr("20字节")));

  std::string full;
  for (int i = 0; i < 201; ++i) full += Record("C");
  EXPECT_THAT(ParseChipCatalogue(full + "C|1").warnings,
              ElementsAre(HasSubstr("其后1个已忽略"), HasSubstr("末尾3字节")));
}

TEST(ChipCatalogueNames, GbkNamesAreShownAsUtf8) {
  ChipCatalogue catalogue =
      ParseChipCatalogue(Record("\xD0\xBE\xC6\xAC" "ATmega8") + Record("A\xFF" "B") + Record("C\xD0"));
  ASSERT_EQ(catalogue.recordCount, 3u);
  EXPECT_EQ(RawChipName(catalogue.records[0]), "\xD0\xBE\xC6\xAC" "ATmega8");
  EXPECT_EQ(DisplayChipName(catalogue.records[0]), "芯片ATmega8");
  EXPECT_EQ(DisplayChipName(catalogue.records[1]), "A\uFFFDB");
  EXPECT_EQ(DisplayChipName(catalogue.records[2]), "C\uFFFD");
}

TEST(ChipCatalogueNames, RawNameStopsAtTheSlotEvenWithoutAZero) {
  ChipRecord record{};
  std::memset(&record, 'Z', sizeof record);
  EXPECT_EQ(RawChipName(record), std::string(15, 'Z'));
  EXPECT_EQ(DisplayChipName(record), std::string(15, 'Z'));
}

}  // namespace
}  // namespace kestrel::chips
