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
  EXPECT_EQ(catalogue.chips[0].rawName, " a:b<c ");
  // A line break starts the next name; GBK names are shown as UTF-8.
  EXPECT_EQ(catalogue.chips[1].displayName, "\n芯片ATmega8");
  EXPECT_EQ(catalogue.chips[2].displayName, "A\uFFFDB");
  // Five digits keep four, four keep three; a page size of 256 keeps its low 8 bits.
  const ChipGeometry expected[] = {{64, 4, 12, 256},     {0, 0, 0, 0},     {0, 0, 0, 7},
                                   {128, 0, 1000, 9999}, {32, 255, -5, 0}, {8, 2, 12, 1}};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(Picked(catalogue, i), expected[i]) << i;
}

// The command line's --chip, the window's typed name and the chip facts all find chips so:
// without surrounding white space, ASCII letters in either case, by the shown or the stored
// name, the first entry of the same name winning; nothing else is ignored.
TEST(ChipNames, FindChipTakesEitherNameCaseBlindWithoutSurroundingSpace) {
  const ChipCatalogue catalogue = ParseChipCatalogue(Record("ATmega8") + Record(" ATtiny13\t") +
                                                     Record("\320\276\306\254 X") + Record("ATMEGA8"));
  const std::pair<std::string_view, int> cases[] = {
      {"ATmega8", 0},  {"ATMEGA8", 0},   {" \tatMega8\r\n", 0},
      {"attiny13", 1}, {"芯片 x", 2},    {"\320\276\306\254 x", 2},
      {"ATmega", -1},  {"ATmega88", -1}, {"AT mega8", -1},
      {"芯片x", -1},   {"", -1}};
  for (const auto& [name, index] : cases) EXPECT_EQ(FindChip(catalogue, name), index) << name;
}

TEST(ChipCatalogueLimits, LongFieldsAreCutAndRecordsPastTheCapacityOrUnfinishedDropped) {
  std::string bytes = Record("ATmega328PB-AUR", "256:64|256:4") +
                      Record("ABCDEFGHIJKLMN", "123456:64|9:12345") + Record("ok", "1:12345|1234567:4");
  for (int i = 3; i < 205; ++i) bytes += Record("C" + std::to_string(i));
  ChipCatalogue catalogue = ParseChipCatalogue(bytes + "B|1:2|3");
  EXPECT_EQ(catalogue.recordCount, 200u);
  EXPECT_EQ(catalogue.chips[0].rawName, "ATmega328PB-AU");
  EXPECT_EQ(catalogue.chips[1].rawName, "ABCDEFGHIJKLMN");  // exactly 14: kept whole
  EXPECT_EQ(std::string(catalogue.records[1].flashPageCountText, 5), "12345");
  EXPECT_EQ(Picked(catalogue, 2), (ChipGeometry{123, 4, 1, 1234}));
  EXPECT_EQ(catalogue.chips.at(199).rawName, "C199");
  EXPECT_EQ(catalogue.cuts, (CatalogueCuts{1, 4, 5, 7}));
}

}  // namespace
}  // namespace kestrel::chips
