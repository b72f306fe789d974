#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chips/ChipFacts.h"

namespace kestrel::chips {

// One field of a chip as read from its fuse and lock bytes.
struct DecodedField {
  FuseByte byte = FuseByte::kLow;
  std::string name;
  std::uint8_t value = 0;      // shifted down to bit 0
  bool listed = false;         // false: a value the maker reserves
  std::string meaning;         // of a listed value; empty otherwise
  std::string meaningEnglish;  // the same in English alone
  std::uint8_t flags = 0;      // ValueFlag bits of a listed value
  FieldDanger danger = FieldDanger::kNone;
};

// The fact text to show of a bilingual one and its English one (a meaning, a field's about):
// the bilingual text in the program's own language, the English one in any other.
std::string ShownText(std::string_view bilingual, std::string_view english);

// Every field of the chip, in the order of its facts. Bytes the chip lacks are not looked at.
std::vector<DecodedField> DecodeFuses(const ChipFacts& chip, const FuseSet& fuses);

enum class EncodeStatus : std::uint8_t { kDone, kUnknownField, kValueTooWide };

// Writes one field's value (shifted down to bit 0) into its byte; all other bits stay.
EncodeStatus SetField(const ChipFacts& chip, std::string_view field, std::uint8_t value, FuseSet& fuses);

// Writes every field back into `base`; the bits outside the fields keep their values there.
// Empty when a field does not belong to the chip or its value does not fit.
std::optional<FuseSet> EncodeFuses(const ChipFacts& chip, const std::vector<DecodedField>& fields,
                                   FuseSet base);

// The bytes whose used bits differ; bits without a meaning and bytes the chip lacks are ignored.
std::vector<FuseByte> DifferingBytes(const ChipFacts& chip, const FuseSet& a, const FuseSet& b);

// A bit that, as set, makes ISP stop working: RSTDISBL or DWEN programmed, SPIEN unprogrammed.
// Only a high-voltage mode brings the chip back.
struct IspLockout {
  FuseByte byte = FuseByte::kLow;
  int bit = 0;
  std::string field;
  FieldDanger danger = FieldDanger::kNone;
  bool operator==(const IspLockout&) const = default;
};

std::vector<IspLockout> IspLockouts(const ChipFacts& chip, const FuseSet& fuses);

enum class FuseWarningKind : std::uint8_t {
  kExternalClock,      // the selected clock source needs an external clock or crystal
  kClockDividedBy8,    // CKDIV8 programmed
  kVerySlowClock,      // the selected clock is too slow for the usual ISP clock
  kBrownOutOn,         // brown-out detection resets the chip below a supply level
  kProgrammingLocked,  // the lock bits block writing until a chip erase
  kReadBackLocked,     // the lock bits block reading back and verifying until a chip erase
};

struct FuseWarning {
  FuseWarningKind kind = FuseWarningKind::kExternalClock;
  std::string field;
  bool operator==(const FuseWarning&) const = default;
};

// What the fuses and lock bits imply, in field order; a field may give more than one warning.
std::vector<FuseWarning> FuseWarnings(const ChipFacts& chip, const FuseSet& fuses);

}  // namespace kestrel::chips
