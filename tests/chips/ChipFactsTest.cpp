#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "chips/ChipCatalogue.h"
#include "chips/ChipFacts.h"

namespace kestrel::chips {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string ReadSource(const std::string& relative) {
  std::ifstream file(std::string(KESTREL_SOURCE_DIR) + "/" + relative, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

TEST(ChipFacts, EveryCatalogueChipHasFactsWithItsSizes) {
  const ChipFactsTable table = ParseChipFacts(ReadSource("data/chip-facts.tsv"));
  ChipCatalogue catalogue = ParseChipCatalogue(ReadSource("data/chip.txt"));
  EXPECT_THAT(table.problems, IsEmpty());
  ASSERT_EQ(table.chips.size(), catalogue.recordCount);
  int hvspChips = 0;
  for (int i = 0; i < static_cast<int>(catalogue.recordCount); ++i) {
    ChipGeometry geometry;
    ASSERT_TRUE(SelectChip(catalogue, i, geometry));
    const std::string name = RawChipName(catalogue.records[static_cast<std::size_t>(i)]);
    const ChipFacts* chip = table.Find(name);
    ASSERT_NE(chip, nullptr) << name;
    EXPECT_EQ(chip->flashBytes, geometry.FlashSize()) << name;
    EXPECT_EQ(chip->flashPageBytes, geometry.FlashPageBytes()) << name;
    EXPECT_EQ(chip->eepromBytes, geometry.EepromSize()) << name;
    EXPECT_TRUE(chip->modes & kIsp) << name;
    EXPECT_EQ((chip->modes & kHvsp) != 0, (chip->modes & kHvpp) == 0) << name;  // one high-voltage mode
    hvspChips += (chip->modes & kHvsp) != 0;
  }
  EXPECT_EQ(hvspChips, 11);
  EXPECT_EQ(table.Find("attiny13")->fuseBytes, 2);
}

TEST(ChipFacts, ASignatureNarrowsToItsGroup) {
  const ChipFactsTable table = ParseChipFacts(ReadSource("data/chip-facts.tsv"));
  const struct {
    Signature signature;
    std::vector<std::string> names;
  } cases[] = {
      {{0x1E, 0x93, 0x07}, {"ATmega8", "ATmega8A"}},
      {{0x1E, 0x90, 0x07}, {"ATtiny13", "ATtiny13A"}},
      {{0x1E, 0x95, 0x0F}, {"ATmega328P"}},
      {{0x1E, 0x00, 0x00}, {}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> names;
    for (const ChipFacts* chip : table.WithSignature(c.signature)) {
      names.push_back(chip->name);
      EXPECT_EQ(chip->sameSignature, c.names);
    }
    EXPECT_EQ(names, c.names);
  }
}

// A layout, two chips using it, and one bad line of each kind between them.
constexpr char kSmallFile[] =
    "# comment\n"
    "about\tCKDIV8\t时钟8分频 clock divided by 8\n"
    "field\tT\tlow\tCKDIV8\t80\tSLOW_CLOCK_IF_0\n"
    "value\tT\tCKDIV8\t00\t-\t8分频 divided\r\n"
    "field\tT\tlow\tCKSEL\t0F\tCLOCK\n"
    "value\tT\tCKSEL\t00\tE\t外部时钟 external clock\n"
    "\n"
    "chip\tOne\t1E9007\t1024\t32\t64\t4\t2\t6A\tFF\t-\tFF\t03\tISP,HVSP\tFF\t1F\t-\tT\n"
    "bogus\tline\n"                     // 9
    "value\tT\tCKSEL\t01\tE\n"          // 10
    "value\tT\tCKSEL\t1G\t-\tx\n"       // 11
    "value\tT\tCKSEL\t01\tEX\tx\n"      // 12
    "value\tT\tCKDIV8\t00\t-\tagain\n"  // 13
    "value\tT\tNONE\t00\t-\tx\n"        // 14
    "value\tT\tCKDIV8\t02\t-\tx\n"      // 15
    "chip\tTwo\t1E9007\t1024\t32\t64\t4\t2\t6A\tFF\t-\tFF\t03\tISP,HVSP\tFF\t1F\t-\tT\n"
    "chip\tthree\t1E9007\t1024\t32\t64\t4\t3\t6A\tFF\tFF\tFF\t03\tISP\tFF\t1F\t00\tNONE\n"  // 17
    "chip\tFour\t1E9007\t1024\t32\t64\t4\t2\t6A\tFF\t-\tFF\t03\tISP\t7F\t1F\t-\tT\n"        // 18
    "chip\tone\t1E9007\t1024\t32\t64\t4\t2\t6A\tFF\t-\tFF\t03\tISP\tFF\t1F\t-\tT\n";        // 19

TEST(ChipFacts, BadLinesAreReportedAndTheRestLoads) {
  const ChipFactsTable table = ParseChipFacts(kSmallFile);
  using K = FactsProblemKind;
  EXPECT_THAT(table.problems,
              ElementsAre(FactsProblem{9, K::kUnknownRecord}, FactsProblem{10, K::kColumnCount},
                          FactsProblem{11, K::kBadNumber}, FactsProblem{12, K::kBadName},
                          FactsProblem{13, K::kDuplicate}, FactsProblem{14, K::kUnknownReference},
                          FactsProblem{15, K::kOutsideMask}, FactsProblem{17, K::kUnknownReference},
                          FactsProblem{18, K::kOutsideMask}, FactsProblem{19, K::kDuplicate}));
  ASSERT_EQ(table.chips.size(), 2u);
  const ChipFacts* two = table.Find("TWO");
  ASSERT_NE(two, nullptr);
  EXPECT_EQ(two->sameSignature, (std::vector<std::string>{"One", "Two"}));
  EXPECT_EQ(two->factory, (FuseSet{{0x6A, 0xFF, 0xFF, 0xFF}}));
  EXPECT_EQ(two->usedBits, (FuseSet{{0xFF, 0x1F, 0x00, 0x03}}));
  EXPECT_EQ(two->fields.at(0).about, "时钟8分频 clock divided by 8");
}

TEST(ChipFacts, FactsFileIsFoundBesideEachCatalogueCandidate) {
  EXPECT_THAT(ChipFactsSearchPaths({"chip.txt", "/opt/k/bin/../data/chip.txt"}),
              ElementsAre("chip-facts.tsv", "/opt/k/bin/../data/chip-facts.tsv"));
  const std::string folder = KESTREL_SOURCE_DIR "/data";  // opens, but cannot be read as a file
  const std::string missing = folder + "/none/" + kChipFactsFileName;
  const std::string shipped = folder + "/" + kChipFactsFileName;
  ChipFactsTable table;
  const ChipFactsLoad load = LoadChipFacts({missing, folder, shipped, missing}, table);
  EXPECT_TRUE(load.loaded);
  EXPECT_EQ(load.path, shipped);
  EXPECT_THAT(load.searched, ElementsAre(missing, folder, shipped));
  EXPECT_NE(table.Find("ATmega328P"), nullptr);
}

}  // namespace
}  // namespace kestrel::chips
