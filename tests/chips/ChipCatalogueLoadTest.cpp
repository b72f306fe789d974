#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "chips/ChipCatalogue.h"

namespace kestrel::chips {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

class ChipCatalogueLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "kestrel-chips-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& bytes) {
    const fs::path path = dir_ / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }

  fs::path dir_;
};

TEST_F(ChipCatalogueLoad, SearchesWorkingDirectoryThenDataFolderThenBesideTheProgram) {
  EXPECT_THAT(CatalogueSearchPaths("/opt/kestrel/bin/"),
              ElementsAre("chip.txt", AllOf(StartsWith("/"), EndsWith("/share/kestrel/chip.txt")),
                          "/opt/kestrel/bin/chip.txt", "/opt/kestrel/bin/../share/kestrel/chip.txt",
                          "/opt/kestrel/bin/../data/chip.txt", "/opt/kestrel/bin/../../data/chip.txt"));
  EXPECT_EQ(CatalogueSearchPaths("").size(), 2u);
}

TEST_F(ChipCatalogueLoad, ReadsTheFirstReadableFileAndSkipsTheRest) {
  fs::create_directories(dir_ / "folder" / "chip.txt");  // exists, but cannot be read as a file
  const std::string first = Write("a/chip.txt", "First|32:16|16:4<");
  const std::string second = Write("b/chip.txt", "Second|32:16|16:4<");
  const std::string missing = (dir_ / "none" / "chip.txt").string();
  const std::string folder = (dir_ / "folder" / "chip.txt").string();

  ChipCatalogue catalogue;
  const CatalogueLoad load = LoadChipCatalogue({missing, folder, first, second}, catalogue);
  EXPECT_TRUE(load.loaded);
  EXPECT_EQ(load.path, first);
  EXPECT_THAT(load.searched, ElementsAre(missing, folder, first));
  EXPECT_THAT(load.error, IsEmpty());
  ASSERT_EQ(catalogue.recordCount, 1u);
  EXPECT_EQ(RawChipName(catalogue.records[0]), "First");
}

TEST_F(ChipCatalogueLoad, MissingCatalogueNamesEveryPathAndKeepsTheTable) {
  ChipCatalogue catalogue = ParseChipCatalogue("Kept|32:16|16:4<");
  const std::string a = (dir_ / "x" / "chip.txt").string();
  const std::string b = (dir_ / "y" / "chip.txt").string();
  const CatalogueLoad load = LoadChipCatalogue({a, b}, catalogue);
  EXPECT_FALSE(load.loaded);
  EXPECT_THAT(load.searched, ElementsAre(a, b));
  EXPECT_EQ(load.error, "找不到器件列表 chip.txt，已查找：" + a + "、" + b);
  EXPECT_EQ(catalogue.recordCount, 1u);
  EXPECT_EQ(RawChipName(catalogue.records[0]), "Kept");
}

TEST_F(ChipCatalogueLoad, EmptyFileLoadsAnEmptyCatalogue) {
  ChipCatalogue catalogue;
  EXPECT_TRUE(LoadChipCatalogue({Write("chip.txt", "")}, catalogue).loaded);
  EXPECT_EQ(catalogue.recordCount, 0u);
  EXPECT_THAT(catalogue.warnings, IsEmpty());
}

// The shipped catalogue: clean names, datasheet geometry that the buffers and the
// programmer's EEPROM page transfer can serve.
TEST(ShippedChipCatalogue, ParsesCleanlyWithSaneGeometry) {
  ChipCatalogue catalogue;
  const CatalogueLoad load =
      LoadChipCatalogue({std::string(KESTREL_SOURCE_DIR) + "/data/chip.txt"}, catalogue);
  ASSERT_TRUE(load.loaded) << load.error;
  EXPECT_THAT(catalogue.warnings, IsEmpty());
  EXPECT_GE(catalogue.recordCount, 60u);

  std::set<std::string> names;
  for (std::uint32_t i = 0; i < catalogue.recordCount; ++i) {
    const std::string name = RawChipName(catalogue.records[i]);
    SCOPED_TRACE(name);
    EXPECT_TRUE(name.starts_with("ATmega") || name.starts_with("ATtiny"));
    EXPECT_EQ(name.find_first_of(" \t\r\n"), std::string::npos);
    EXPECT_TRUE(names.insert(name).second) << "listed twice";
    ChipGeometry geometry;
    ASSERT_TRUE(SelectChip(catalogue, static_cast<int>(i), geometry));
    EXPECT_THAT((std::set<int>{16, 32, 64, 128}), ::testing::Contains(geometry.flashPageWords));
    EXPECT_EQ(geometry.eepromPageBytes, 4);
    EXPECT_GT(geometry.flashPageCount, 0);
    EXPECT_GT(geometry.eepromPageCount, 0);
    EXPECT_LE(geometry.FlashSize(), kFlashBufferBytes);
    EXPECT_LE(geometry.EepromSize(), kEepromBufferBytes);
    if (name == "ATmega2560") {
      EXPECT_EQ(geometry, (ChipGeometry{128, 4, 1024, 1024})) << "fills the buffer";
    }
  }
  for (const char* required : {"ATmega328P", "ATmega2560", "ATtiny85", "ATtiny13A", "ATtiny2313"}) {
    EXPECT_TRUE(names.contains(required)) << required;
  }
}

}  // namespace
}  // namespace kestrel::chips
