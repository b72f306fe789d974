// The catalogue parser on hand-made "chip.txt" bytes. Loading and the shipped
// file are in ChipFactsTest.cpp, beside the facts they must agree with.
#include <gtest/gtest.h>

#include <string>

#include "chips/ChipCatalogue.h"

namespace kestrel::chips {
namespace {

ChipGeometry Picked(ChipCatalogue& catalogue, int index) {
  ChipGeometry geometry;
  EXPECT_TRUE(SelectChip(catalogue, index, geometry));
  return geometry;
}

std::string Record(const std::string& name, const std::string& fields = "1:2|3:4") {
  return name + "|" + fields + "<";
}

TEST(ChipCatalogueFormat, FieldsEndAtTheirOwnTerminatorKeepEveryByteAndConvertAsAtoi) {
  // Octal escapes, which end after three digits: GBK 芯片, and a byte that starts no GBK character.
  ChipCatalogue catalogue =
      ParseChipCatalogue(" a:b<c |\t12 :64|256:4<" + Record("\n\320\276\306\254ATmega8", ":|:") +
                         Record("A\377B", "x1:abc| 7x:-") + Record("long", "10000:1280|99999:256") +
                         Record("signs", "-5:+32|+0:-1") + Record("space", " \t12: 8|\v1:\f2"));
  ASSERT_EQ(catalogue.recordCount, 6u);
  EXPECT_EQ(catalogue.cuts, CatalogueCuts{});
  EXPECT_EQ(RawChipName(catalogue.records[0]), " a:b<c ");
  // A line break starts the next name; GBK names are shown as UTF-8.
  EXPECT_EQ(DisplayChipName(catalogue.records[1]), "\n芯片ATmega8");
  EXPECT_EQ(DisplayChipName(catalogue.records[2]), "A\uFFFDB");
  // Five digits keep four, four keep three; a page size of 256 keeps its low 8 bits.
  const ChipGeometry expected[] = {{64, 4, 12, 256},     {0, 0, 0, 0},     {0, 0, 0, 7},
                                   {128, 0, 1000, 9999}, {32, 255, -5, 0}, {8, 2, 12, 1}};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(Picked(catalogue, i), expected[i]) << i;
}

TEST(ChipCatalogueLimits, LongFieldsAreCutAndRecordsPastTheCapacityOrUnfinishedDropped) {
  std::string bytes = Record("ATmega328PB-AUR", "256:64|256:4") +
                      Record("ABCDEFGHIJKLMN", "123456:64|9:12345") + Record("ok", "1:12345|1234567:4");
  for (int i = 3; i < 205; ++i) bytes += Record("C" + std::to_string(i));
  ChipCatalogue catalogue = ParseChipCatalogue(bytes + "B|1:2|3");
  EXPECT_EQ(catalogue.recordCount, 200u);
  EXPECT_EQ(RawChipName(catalogue.records[0]), "ATmega328PB-AU");
  EXPECT_EQ(RawChipName(catalogue.records[1]), "ABCDEFGHIJKLMN");  // exactly 14: kept whole
  EXPECT_EQ(std::string(catalogue.records[1].flashPageCountText, 5), "12345");
  EXPECT_EQ(Picked(catalogue, 2), (ChipGeometry{123, 4, 1, 1234}));
  EXPECT_EQ(RawChipName(catalogue.records[199]), "C199");
  EXPECT_EQ(catalogue.cuts, (CatalogueCuts{1, 4, 5, 7}));
}

}  // namespace
}  // namespace kestrel::chips
