#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <string>

#include "chips/FuseFields.h"

namespace kestrel::chips {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const ChipFactsTable& Table() {
  static ChipFactsTable table;
  static const bool loaded = LoadChipFacts({KESTREL_SOURCE_DIR "/data/chip-facts.tsv"}, table).loaded;
  EXPECT_TRUE(loaded);
  return table;
}

const ChipFacts& Chip(const char* name) {
  const ChipFacts* chip = Table().Find(name);
  if (chip == nullptr) throw std::invalid_argument(name);
  return *chip;
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
    for (const DecodedField& field : DecodeFuses(chip, chip.factory)) {
      EXPECT_TRUE(field.listed) << chip.name << " " << field.name;  // factory values have meanings
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
    EXPECT_EQ(field->value, c.value) << c.chip;
    EXPECT_EQ(field->listed, c.listed) << c.chip;
    EXPECT_EQ(field->meaning.empty(), !c.listed) << c.chip;
  }
  EXPECT_EQ(DecodeFuses(Chip("ATtiny13"), {{0x6A, 0xFB, 0, 0xFF}}).at(7).meaning,
            "掉电检测 2.7 V brown-out at 2.7 V");
}

TEST(FuseFields, SetFieldChangesOnlyAFieldThatFits) {
  const ChipFacts& chip = Chip("ATtiny13");
  FuseSet fuses = chip.factory;
  EXPECT_EQ(SetField(chip, "BODLEVEL", 4, fuses), EncodeStatus::kValueTooWide);
  EXPECT_EQ(SetField(chip, "BOOTSZ", 0, fuses), EncodeStatus::kUnknownField);
  EXPECT_EQ(fuses, chip.factory);
  EXPECT_EQ(SetField(chip, "BODLEVEL", 2, fuses), EncodeStatus::kDone);
  EXPECT_EQ(fuses, (FuseSet{{0x6A, 0xFD, 0xFF, 0xFF}}));
}

TEST(FuseFields, ComparesOnlyUsedBitsOfTheChipsBytes) {
  const ChipFacts& tiny13 = Chip("ATtiny13");
  EXPECT_THAT(DifferingBytes(tiny13, {{0x6A, 0xFF, 0x00, 0xFF}}, {{0x6A, 0x1F, 0xFF, 0x03}}), IsEmpty());
  EXPECT_THAT(DifferingBytes(tiny13, {{0x6A, 0xFF, 0xFF, 0xFF}}, {{0x6B, 0xEF, 0xFF, 0xFE}}),
              ElementsAre(FuseByte::kLow, FuseByte::kHigh, FuseByte::kLock));
}

TEST(FuseFields, IspLockoutsComeFromEachChipsOwnBitPositions) {
  const auto lost0 = [](FuseByte byte, int bit, const char* field) {
    return IspLockout{byte, bit, field, FieldDanger::kIspLostIfProgrammed};
  };
  const auto lost1 = [](FuseByte byte, int bit, const char* field) {
    return IspLockout{byte, bit, field, FieldDanger::kIspLostIfUnprogrammed};
  };
  constexpr FuseByte kLow = FuseByte::kLow, kHigh = FuseByte::kHigh;
  const struct {
    const char* chip;
    FuseSet fuses;
    std::vector<IspLockout> lockouts;
  } cases[] = {
      {"ATtiny13", FuseSet{}, {lost1(kLow, 7, "SPIEN")}},
      {"ATtiny13", {{0, 0, 0, 0}}, {lost0(kHigh, 3, "DWEN"), lost0(kHigh, 0, "RSTDISBL")}},
      {"ATtiny2313", {{0x64, 0xDE, 0xFF, 0xFF}}, {lost0(kHigh, 0, "RSTDISBL")}},
      {"ATmega328P",
       {{0xFF, 0x3F, 0xFF, 0xFF}},
       {lost0(kHigh, 7, "RSTDISBL"), lost0(kHigh, 6, "DWEN"), lost1(kHigh, 5, "SPIEN")}},
      {"ATmega16", {{0, 0, 0, 0}}, {}},  // no RSTDISBL, no DWEN
      {"ATmega16", FuseSet{}, {lost1(kHigh, 5, "SPIEN")}},
  };
  for (const auto& c : cases) EXPECT_EQ(IspLockouts(Chip(c.chip), c.fuses), c.lockouts) << c.chip;
  for (const ChipFacts& chip : Table().chips) EXPECT_THAT(IspLockouts(chip, chip.factory), IsEmpty());
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
  };
  for (const auto& c : cases) EXPECT_EQ(FuseWarnings(Chip(c.chip), c.fuses), c.warnings) << c.chip;
}

}  // namespace
}  // namespace kestrel::chips
