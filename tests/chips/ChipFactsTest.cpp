// The chip facts file, the shipped catalogue and facts against each other, and the fuse and
// lock fields read and written through the facts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <tuple>

#include "chips/ChipBooks.h"
#include "chips/ChipCatalogue.h"
#include "chips/FuseFields.h"

namespace kestrel::chips {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kData = KESTREL_SOURCE_DIR "/data/";

const ChipFactsTable& Table() {
  static ChipFactsTable table;
  static const bool loaded = LoadChipFacts({kData + kChipFactsFileName}, table).loaded;
  EXPECT_TRUE(loaded);
  return table;
}

const ChipFacts& Chip(const char* name) {
  const ChipFacts* chip = Table().Find(name);
  return chip != nullptr ? *chip : throw std::invalid_argument(name);
}

// Both files are read from the first readable path: a missing file and a folder (which opens,
// but cannot be read as a file) are passed over. Every chip of the catalogue has facts with
// its sizes, and a geometry that the buffers and the EEPROM page transfer can serve.
TEST(ShippedCatalogueAndFacts, LoadFromTheFirstReadablePathAndAgreeOnEveryChip) {
  const std::string missing = kData + "none/x", folder = kData;
  const auto paths = [&](const std::string& name) {
    return std::vector{missing, folder, kData + name, missing};
  };
  ChipCatalogue catalogue;
  const CatalogueLoad load = LoadChipCatalogue(paths("chip.txt"), catalogue);
  EXPECT_THAT(load.searched, ElementsAre(missing, folder, kData + "chip.txt"));
  EXPECT_EQ(load.path, kData + "chip.txt");
  EXPECT_EQ(catalogue.cuts, CatalogueCuts{});
  const std::uint32_t count = catalogue.recordCount;
  EXPECT_FALSE(LoadChipCatalogue({missing, folder}, catalogue).loaded);
  EXPECT_EQ(catalogue.recordCount, count) << "a failed load keeps the table";

  ChipFactsTable table;
  const ChipFactsLoad facts = LoadChipFacts(paths(kChipFactsFileName), table);
  EXPECT_THAT(facts.searched, ElementsAre(missing, folder, kData + kChipFactsFileName));
  EXPECT_EQ(facts.path, kData + kChipFactsFileName);
  EXPECT_THAT(ChipFactsSearchPaths({"chip.txt", "/k/../data/chip.txt"}),
              ElementsAre("chip-facts.tsv", "/k/../data/chip-facts.tsv"));
  EXPECT_THAT(table.problems, IsEmpty());
  ASSERT_EQ(table.chips.size(), count);
  std::set<std::string> names;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::string name = catalogue.chips[i].rawName;
    SCOPED_TRACE(name);
    EXPECT_TRUE(names.insert(name).second) << "listed twice";
    ChipGeometry geometry;
    ASSERT_TRUE(SelectChip(catalogue, static_cast<int>(i), geometry));
    EXPECT_EQ(geometry.eepromPageBytes, 4);
    EXPECT_EQ(FlashGeometryProblem(geometry), GeometryProblem::None);
    EXPECT_EQ(EepromGeometryProblem(geometry), GeometryProblem::None);
    const ChipFacts* chip = table.Find(name);
    ASSERT_NE(chip, nullptr);
    EXPECT_EQ((std::array<std::int64_t, 3>{chip->flashBytes, chip->flashPageBytes, chip->eepromBytes}),
              (std::array{geometry.FlashSize(), geometry.FlashPageBytes(), geometry.EepromSize()}));
    EXPECT_TRUE(chip->modes & kIsp);
    EXPECT_EQ((chip->modes & kHvsp) != 0, (chip->modes & kHvpp) == 0);  // one high-voltage mode
    // The factory values have meanings and leave ISP working.
    for (const DecodedField& field : DecodeFuses(*chip, chip->factory))
      EXPECT_TRUE(field.listed) << field.name;
    EXPECT_THAT(IspLockouts(*chip, chip->factory), IsEmpty());
    // Every field and value has an English text without Chinese: nothing from U+3000 on, whose
    // UTF-8 form is the only one with a byte from E3 up.
    const auto english = [](std::string_view text) {
      return !text.empty() && std::all_of(text.begin(), text.end(),
                                          [](char c) { return static_cast<unsigned char>(c) < 0xE3; });
    };
    for (const FuseField& field : chip->Fields()) {
      EXPECT_TRUE(english(field.aboutEnglish)) << field.name;
      for (const FieldValue& value : field.values) EXPECT_TRUE(english(value.meaningEnglish)) << field.name;
    }
  }
}

TEST(ChipFacts, ASignatureNarrowsToItsGroup) {
  const std::pair<Signature, std::vector<std::string>> cases[] = {
      {{0x1E, 0x93, 0x07}, {"ATmega8", "ATmega8A"}},
      {{0x1E, 0x95, 0x0F}, {"ATmega328P"}},
      {{0x1E, 0x00, 0x00}, {}},
  };
  for (const auto& [signature, group] : cases) {
    std::vector<std::string> names;
    for (const ChipFacts* chip : Table().WithSignature(signature)) names.push_back(chip->name);
    EXPECT_EQ(names, group);
  }
}

// A layout, two chips using it, and one bad line of each kind between them.
constexpr char kSmallFile[] =
    "# comment\n"
    "about\tCKDIV8\t时钟8分频 clock divided by 8\tclock divided by 8\n"
    "meaning\t0\t8分频 divided\tdivided\n"
    "meaning\t1\t外部时钟 external clock\texternal clock\n"
    "field\tT\tlow\tCKDIV8\t80\tSLOW_CLOCK_IF_0\n"
    "value\tT\tCKDIV8\t00\t-\t0\r\n"
    "field\tT\tlow\tCKSEL\t0F\tCLOCK\n"
    "value\tT\tCKSEL\t00\tE\t1\n"
    "meaning\t2\tslow\tslow\n"
    "chip\tOne\t1E9007\t1024\t32\t64\t4\t2\t6A\tFF\t-\tFF\t03\tISP,HVSP\tFF\t1F\t-\tT\n"
    "bogus\tline\n"                   // 11
    "value\tT\tCKSEL\t01\tE\t1\tx\n"  // 12: a text column the format no longer has
    "value\tT\tCKSEL\t1G\t-\t1\n"     // 13
    "value\tT\tCKSEL\t01\tEX\t1\n"    // 14
    "value\tT\tCKDIV8\t00\t-\t0\n"    // 15
    "value\tT\tCKSEL\t01\t-\t7\n"     // 16: no meaning 7
    "value\tT\tCKDIV8\t02\t-\t0\n"    // 17
    "meaning\t1\tx\tx\n"              // 18: its number again
    "value\tT\tCKSEL\t02\t-\t2\n"     // 19: for Two, not One
    "chip\tTwo\t1E9007\t1024\t32\t64\t4\t2\t6A\tFF\t-\tFF\t03\tISP,HVSP\tFF\t1F\t-\tT\n"
    "chip\tthree\t1E9007\t1024\t32\t64\t4\t3\t6A\tFF\tFF\tFF\t03\tISP\tFF\t1F\t00\tNONE\n"  // 21
    "chip\tFour\t1E9007\t1024\t32\t64\t4\t2\t6A\tFF\t-\tFF\t03\tISP\t7F\t1F\t-\tT\n"        // 22
    "chip\tone\t1E9007\t1024\t32\t64\t4\t2\t6A\tFF\t-\tFF\t03\tISP\tFF\t1F\t-\tT\n"         // 23
    "about\tCKSEL\t时钟源 clock source\n";  // 24: no English column

// A chip keeps its texts after its table is gone, and a line below a chip does not change it.
TEST(ChipFacts, BadLinesAreReportedAndTheRestLoads) {
  ChipFactsTable table = ParseChipFacts(kSmallFile);
  const ChipFacts one = *table.Find("One");
  table = ParseChipFacts(kSmallFile);
  EXPECT_EQ(one.Field("CKSEL")->values.size(), 1u);
  EXPECT_EQ(one.Field("CKSEL")->values.at(0).meaningEnglish, "external clock");
  EXPECT_EQ(table.Find("Two")->Field("CKSEL")->values.at(1).meaning, "slow");
  using K = FactsProblemKind;
  EXPECT_THAT(table.problems,
              ElementsAre(FactsProblem{11, K::kUnknownRecord}, FactsProblem{12, K::kColumnCount},
                          FactsProblem{13, K::kBadNumber}, FactsProblem{14, K::kBadName},
                          FactsProblem{15, K::kDuplicate}, FactsProblem{16, K::kUnknownReference},
                          FactsProblem{17, K::kOutsideMask}, FactsProblem{18, K::kDuplicate},
                          FactsProblem{21, K::kUnknownReference}, FactsProblem{22, K::kOutsideMask},
                          FactsProblem{23, K::kDuplicate}, FactsProblem{24, K::kColumnCount}));
  ASSERT_EQ(table.chips.size(), 2u);
  const ChipFacts* two = table.Find("TWO");
  ASSERT_NE(two, nullptr);
  EXPECT_THAT(table.WithSignature(two->signature), ElementsAre(table.Find("One"), two));
  EXPECT_EQ(two->factory, (FuseSet{{0x6A, 0xFF, 0xFF, 0xFF}}));
  EXPECT_EQ(two->usedBits, (FuseSet{{0xFF, 0x1F, 0x00, 0x03}}));
  const FuseField& divider = two->Fields().at(0);
  EXPECT_EQ(std::tuple(divider.about, divider.aboutEnglish, divider.values.at(0).meaningEnglish),
            std::tuple("时钟8分频 clock divided by 8", "clock divided by 8", "divided"));
}

TEST(FuseFields, EncodingTheDecodedFieldsKeepsTheBitsOutsideThem) {
  std::mt19937 random(7);
  const auto randomSet = [&] {
    FuseSet set;
    for (std::uint8_t& byte : set.bytes) byte = static_cast<std::uint8_t>(random());
    return set;
  };
  for (const ChipFacts& chip : Table().chips) {
    for (const FuseSet& fuses :
         {chip.factory, FuseSet{{0, 0, 0, 0}}, FuseSet{}, randomSet(), randomSet(), randomSet()}) {
      const FuseSet base = randomSet();
      const std::optional<FuseSet> encoded = EncodeFuses(chip, DecodeFuses(chip, fuses), base);
      ASSERT_TRUE(encoded.has_value()) << chip.name;
      for (std::size_t i = 0; i < kFuseByteCount; ++i) {
        const std::uint8_t used = chip.usedBits.bytes[i];
        EXPECT_EQ(encoded->bytes[i], (fuses.bytes[i] & used) | (base.bytes[i] & ~used)) << chip.name << i;
      }
      EXPECT_THAT(DifferingBytes(chip, *encoded, fuses), IsEmpty()) << chip.name;
    }
  }
}

TEST(FuseFields, DecodesShiftedGappedAndReservedValues) {
  const struct {
    const char* chip;
    FuseSet fuses;
    const char* field;
    std::uint8_t value;
    bool listed;
  } cases[] = {
      {"ATtiny13", {{0x6A, 0xFB, 0, 0xFF}}, "BODLEVEL", 1, true},            // mask 06
      {"ATtiny26", {{0xE1, 0xF7, 0, 0xFF}}, "PLLCK_SUT_CKSEL", 0xA1, true},  // mask BF
      {"ATtiny24", {{0x62, 0xD8, 0xFF, 0xFF}}, "BODLEVEL", 0, false},        // a reserved level
      {"ATmega328P", {{0x62, 0xD9, 0xFF, 0xCF}}, "BLB1", 0, true},           // lock byte, mask 30
  };
  for (const auto& c : cases) {
    const std::vector<DecodedField> fields = DecodeFuses(Chip(c.chip), c.fuses);
    const auto field = std::find_if(fields.begin(), fields.end(), [&](auto& f) { return f.name == c.field; });
    ASSERT_NE(field, fields.end()) << c.chip;
    EXPECT_EQ(std::tuple(field->value, field->listed, field->meaning.empty(), field->meaningEnglish.empty()),
              std::tuple(c.value, c.listed, !c.listed, !c.listed))
        << c.chip;
  }
}

TEST(FuseFields, SetsAndComparesOnlyTheChipsFieldsAndUsedBits) {
  const ChipFacts& tiny13 = Chip("ATtiny13");
  FuseSet fuses = tiny13.factory;
  EXPECT_EQ(SetField(tiny13, "BODLEVEL", 4, fuses), EncodeStatus::kValueTooWide);
  EXPECT_EQ(SetField(tiny13, "BOOTSZ", 0, fuses), EncodeStatus::kUnknownField);
  EXPECT_EQ(fuses, tiny13.factory);
  EXPECT_EQ(SetField(tiny13, "BODLEVEL", 2, fuses), EncodeStatus::kDone);
  EXPECT_EQ(fuses, (FuseSet{{0x6A, 0xFD, 0xFF, 0xFF}}));
  EXPECT_THAT(DifferingBytes(tiny13, {{0x6A, 0xFF, 0x00, 0xFF}}, {{0x6A, 0x1F, 0xFF, 0x03}}), IsEmpty());
  EXPECT_THAT(DifferingBytes(tiny13, {{0x6A, 0xFF, 0xFF, 0xFF}}, {{0x6B, 0xEF, 0xFF, 0xFE}}),
              ElementsAre(FuseByte::kLow, FuseByte::kHigh, FuseByte::kLock));
}

TEST(FuseFields, IspLockoutsComeFromEachChipsOwnBitPositions) {
  constexpr FuseByte kLow = FuseByte::kLow, kHigh = FuseByte::kHigh;
  constexpr FieldDanger kIf0 = FieldDanger::kIspLostIfProgrammed, kIf1 = FieldDanger::kIspLostIfUnprogrammed;
  const struct {
    const char* chip;
    FuseSet fuses;
    std::vector<IspLockout> lockouts;
  } cases[] = {
      {"ATtiny13", FuseSet{}, {{kLow, 7, "SPIEN", kIf1}}},
      {"ATtiny13", {{0, 0, 0, 0}}, {{kHigh, 3, "DWEN", kIf0}, {kHigh, 0, "RSTDISBL", kIf0}}},
      {"ATtiny2313", {{0x64, 0xDE, 0xFF, 0xFF}}, {{kHigh, 0, "RSTDISBL", kIf0}}},
      {"ATmega328P",
       {{0xFF, 0x3F, 0xFF, 0xFF}},
       {{kHigh, 7, "RSTDISBL", kIf0}, {kHigh, 6, "DWEN", kIf0}, {kHigh, 5, "SPIEN", kIf1}}},
      {"ATmega16", {{0, 0, 0, 0}}, {}},  // no RSTDISBL, no DWEN
  };
  for (const auto& c : cases) EXPECT_EQ(IspLockouts(Chip(c.chip), c.fuses), c.lockouts) << c.chip;
}

TEST(FuseFields, WarningsNameTheFieldThatCausesThem) {
  using W = FuseWarningKind;
  const struct {
    const char* chip;
    FuseSet fuses;
    std::vector<FuseWarning> warnings;
  } cases[] = {
      {"ATmega328P", {{0x62, 0xD9, 0xFF, 0xFF}}, {{W::kClockDividedBy8, "CKDIV8"}}},
      {"ATmega328P",
       {{0xFF, 0xD9, 0xFD, 0xFC}},
       {{W::kExternalClock, "SUT_CKSEL"},
        {W::kBrownOutOn, "BODLEVEL"},
        {W::kProgrammingLocked, "LB"},
        {W::kReadBackLocked, "LB"}}},
      {"ATmega328P", {{0xE2, 0xD9, 0xFF, 0xFE}}, {{W::kProgrammingLocked, "LB"}}},
      {"ATtiny13",
       {{0x6B, 0xFF, 0, 0xFF}},
       {{W::kClockDividedBy8, "CKDIV8"}, {W::kVerySlowClock, "SUT_CKSEL"}}},
      {"ATmega8", {{0xA1, 0xD9, 0, 0xFF}}, {{W::kBrownOutOn, "BODEN"}}},  // BODLEVEL alone is no warning
      {"ATmega8", {{0x61, 0xD9, 0, 0xFF}}, {}},
      // The PLL of the ATtiny85 runs from the internal RC oscillator; the ATmega32M1's may take
      // an external clock as its input.
      {"ATtiny85", {{0xF1, 0xDF, 0xFF, 0xFF}}, {}},
      {"ATmega32M1", {{0xE3, 0xD9, 0xFF, 0xFF}}, {}},
      {"ATmega32M1", {{0xE1, 0xD9, 0xFF, 0xFF}}, {{W::kExternalClock, "SUT_CKSEL"}}},
  };
  for (const auto& c : cases) EXPECT_EQ(FuseWarnings(Chip(c.chip), c.fuses), c.warnings) << c.chip;
}

}  // namespace
}  // namespace kestrel::chips

namespace kestrel::chips {
namespace {

// The facts are looked for beside the catalogue, then where they are installed, then beside
// the program; a file the user names is the only one.
TEST(ChipBooks, FactsAreFoundBesideTheCatalogueThenInstalledThenBesideTheProgram) {
  const std::vector<std::string> paths = FactsSearchPaths("/mine/chips.txt", {"", "/opt/k/bin"});
  ASSERT_GE(paths.size(), 3u);
  EXPECT_EQ(paths[0], "/mine/chip-facts.tsv");
  EXPECT_EQ(paths[1], KESTREL_DATA_DIR "/chip-facts.tsv");
  EXPECT_EQ(paths[2], "/opt/k/bin/chip-facts.tsv");
  EXPECT_EQ(FactsSearchPaths("/mine/chips.txt", {"/mine/facts.tsv", "/opt/k/bin"}),
            std::vector<std::string>{"/mine/facts.tsv"});

  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("kestrel-books-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(KESTREL_SOURCE_DIR "/data/chip.txt", folder / "my-chips.txt");
  const ChipBooks books =
      LoadChipBooks({(folder / "my-chips.txt").string()}, {"", KESTREL_SOURCE_DIR "/app"});
  EXPECT_TRUE(books.factsLoad.loaded);
  EXPECT_NE(books.FactsOf(FindChip(books.catalogue, "ATmega328P")), nullptr);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace kestrel::chips
