#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "chips/ChipCatalogue.h"

namespace kestrel::chips {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

ChipGeometry Picked(ChipCatalogue& catalogue, int index) {
  ChipGeometry geometry;
  EXPECT_TRUE(SelectChip(catalogue, index, geometry));
  return geometry;
}

std::string Record(const std::string& name, const std::string& fields = "1:2|3:4") {
  return name + "|" + fields + "<";
}

TEST(ChipCatalogueFormat, FieldsEndAtTheirOwnTerminatorAndKeepEveryByte) {
  ChipCatalogue catalogue = ParseChipCatalogue(" a:b<c |\t12 :64|256:4<\nATmega8|128:32|128:4<");
  ASSERT_EQ(catalogue.recordCount, 2u);
  EXPECT_EQ(RawChipName(catalogue.records[0]), " a:b<c ");
  EXPECT_EQ(RawChipName(catalogue.records[1]), "\nATmega8");  // a line break starts the next name
  EXPECT_EQ(catalogue.cuts, CatalogueCuts{});
  EXPECT_EQ(Picked(catalogue, 0), (ChipGeometry{64, 4, 12, 256}));
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
}

TEST(ChipCatalogueFormat, AnIndexOutsideChangesNothing) {
  ChipCatalogue catalogue = ParseChipCatalogue(Record("A", "10000:1280|4096:4"));
  ChipGeometry geometry = Picked(catalogue, 0);
  for (int index : {-1, 1, 200}) EXPECT_FALSE(SelectChip(catalogue, index, geometry));
  EXPECT_EQ(geometry, (ChipGeometry{128, 4, 1000, 4096}));
}

TEST(ChipCatalogueLimits, LongFieldsAreCutToTheirSlotsAndCounted) {
  ChipCatalogue catalogue = ParseChipCatalogue(
      Record("ATmega328PB-AUR", "256:64|256:4") + Record("ABCDEFGHIJKLMN", "123456:64|9:12345") +
      Record("ok", "1:12345|1234567:4"));
  ASSERT_EQ(catalogue.recordCount, 3u);
  EXPECT_EQ(RawChipName(catalogue.records[0]), "ATmega328PB-AU");
  EXPECT_EQ(RawChipName(catalogue.records[1]), "ABCDEFGHIJKLMN");  // exactly 14: kept whole
  EXPECT_EQ(std::string(catalogue.records[1].flashPageCountText, 5), "12345");
  EXPECT_EQ(Picked(catalogue, 2), (ChipGeometry{123, 4, 1, 1234}));
  EXPECT_EQ(catalogue.cuts, (CatalogueCuts{1, 4, 0, 0}));
}

TEST(ChipCatalogueLimits, RecordsPastTheCapacityAndATrailingPartialRecordAreDropped) {
  std::string bytes;
  for (int i = 0; i < 205; ++i) bytes += Record("C" + std::to_string(i));
  ChipCatalogue catalogue = ParseChipCatalogue(bytes + "B|1:2|3");
  EXPECT_EQ(catalogue.recordCount, 200u);
  EXPECT_EQ(RawChipName(catalogue.records[199]), "C199");
  EXPECT_EQ(catalogue.cuts, (CatalogueCuts{0, 0, 5, 7}));
}

TEST(ChipCatalogueNames, GbkNamesAreShownAsUtf8) {
  ChipCatalogue catalogue = ParseChipCatalogue(Record("\xD0\xBE\xC6\xAC" "ATmega8") + Record("A\xFF" "B"));
  ASSERT_EQ(catalogue.recordCount, 2u);
  EXPECT_EQ(DisplayChipName(catalogue.records[0]), "芯片ATmega8");
  EXPECT_EQ(DisplayChipName(catalogue.records[1]), "A\uFFFDB");
}

TEST(ChipCatalogueLoad, ReadsTheFirstReadableFileOfTheSearchOrder) {
  const fs::path dir = fs::temp_directory_path() / ("kestrel-chips-" + std::to_string(getpid()));
  fs::create_directories(dir / "folder" / "chip.txt");  // exists, but cannot be read as a file
  std::ofstream(dir / "chip.txt") << "First|32:16|16:4<";
  const std::string missing = (dir / "none" / "chip.txt").string();
  const std::string folder = (dir / "folder" / "chip.txt").string();
  const std::string first = (dir / "chip.txt").string();

  ChipCatalogue catalogue;
  const CatalogueLoad load = LoadChipCatalogue({missing, folder, first}, catalogue);
  EXPECT_TRUE(load.loaded);
  EXPECT_EQ(load.path, first);
  EXPECT_EQ(RawChipName(catalogue.records[0]), "First");
  EXPECT_FALSE(LoadChipCatalogue({missing, folder}, catalogue).loaded);
  EXPECT_EQ(catalogue.recordCount, 1u) << "a failed load keeps the table";
  fs::remove_all(dir);

  EXPECT_THAT(CatalogueSearchPaths("/opt/k/bin"),
              ElementsAre("chip.txt", std::string(KESTREL_DATA_DIR) + "/chip.txt", "/opt/k/bin/chip.txt",
                          "/opt/k/bin/../share/kestrel/chip.txt", "/opt/k/bin/../data/chip.txt",
                          "/opt/k/bin/../../data/chip.txt"));
}

// The shipped catalogue: clean names, geometry that the buffers and the programmer's EEPROM
// page transfer can serve.
TEST(ShippedChipCatalogue, ParsesCleanlyWithSaneGeometry) {
  ChipCatalogue catalogue;
  ASSERT_TRUE(LoadChipCatalogue({std::string(KESTREL_SOURCE_DIR) + "/data/chip.txt"}, catalogue).loaded);
  EXPECT_EQ(catalogue.cuts, CatalogueCuts{});
  std::set<std::string> names;
  for (std::uint32_t i = 0; i < catalogue.recordCount; ++i) {
    const std::string name = RawChipName(catalogue.records[i]);
    SCOPED_TRACE(name);
    EXPECT_TRUE(names.insert(name).second) << "listed twice";
    const ChipGeometry geometry = Picked(catalogue, static_cast<int>(i));
    EXPECT_EQ(geometry.eepromPageBytes, 4);
    EXPECT_EQ(FlashGeometryProblem(geometry), GeometryProblem::None);
    EXPECT_EQ(EepromGeometryProblem(geometry), GeometryProblem::None);
  }
  EXPECT_EQ(names.size(), 89u);
}

}  // namespace
}  // namespace kestrel::chips
