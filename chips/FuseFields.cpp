#include "chips/FuseFields.h"

#include <array>
#include <utility>

#include "base/Language.h"

namespace kestrel::chips {

std::string ShownText(std::string_view bilingual, std::string_view english) {
  return std::string(ChosenLanguage().empty() ? bilingual : english);
}

std::vector<DecodedField> DecodeFuses(const ChipFacts& chip, const FuseSet& fuses) {
  std::vector<DecodedField> decoded;
  decoded.reserve(chip.Fields().size());
  for (const FuseField& field : chip.Fields()) {
    DecodedField& out = decoded.emplace_back();
    out.byte = field.byte;
    out.name = field.name;
    out.value = field.ValueIn(fuses[field.byte]);
    out.danger = field.danger;
    if (const FieldValue* listed = field.Find(out.value)) {
      out.listed = true;
      out.meaning = listed->meaning;
      out.meaningEnglish = listed->meaningEnglish;
      out.flags = listed->flags;
    }
  }
  return decoded;
}

EncodeStatus SetField(const ChipFacts& chip, std::string_view fieldName, std::uint8_t value, FuseSet& fuses) {
  const FuseField* field = chip.Field(fieldName);
  if (field == nullptr) return EncodeStatus::kUnknownField;
  const unsigned bits = unsigned{value} << field->Shift();
  if ((bits & ~unsigned{field->mask}) != 0) return EncodeStatus::kValueTooWide;
  std::uint8_t& byte = fuses[field->byte];
  byte = static_cast<std::uint8_t>((byte & ~field->mask) | bits);
  return EncodeStatus::kDone;
}

std::optional<FuseSet> EncodeFuses(const ChipFacts& chip, const std::vector<DecodedField>& fields,
                                   FuseSet base) {
  for (const DecodedField& field : fields) {
    const FuseField* known = chip.Field(field.name);
    if (known == nullptr || known->byte != field.byte ||
        SetField(chip, field.name, field.value, base) != EncodeStatus::kDone) {
      return std::nullopt;
    }
  }
  return base;
}

std::vector<FuseByte> DifferingBytes(const ChipFacts& chip, const FuseSet& a, const FuseSet& b) {
  std::vector<FuseByte> differing;
  for (const FuseByte byte : {FuseByte::kLow, FuseByte::kHigh, FuseByte::kExtended, FuseByte::kLock}) {
    if (((a[byte] ^ b[byte]) & chip.usedBits[byte]) != 0) differing.push_back(byte);
  }
  return differing;
}

std::vector<IspLockout> IspLockouts(const ChipFacts& chip, const FuseSet& fuses) {
  std::vector<IspLockout> lockouts;
  for (const FuseField& field : chip.Fields()) {
    const std::uint8_t bits = fuses[field.byte] & field.mask;
    const bool lost = (field.danger == FieldDanger::kIspLostIfProgrammed && bits == 0) ||
                      (field.danger == FieldDanger::kIspLostIfUnprogrammed && bits == field.mask);
    if (lost) lockouts.push_back({field.byte, field.Shift(), field.name, field.danger});
  }
  return lockouts;
}

std::vector<FuseWarning> FuseWarnings(const ChipFacts& chip, const FuseSet& fuses) {
  static constexpr std::array<std::pair<ValueFlag, FuseWarningKind>, 5> kFlagWarnings{{
      {kNeedsExternalClock, FuseWarningKind::kExternalClock},
      {kVerySlowClock, FuseWarningKind::kVerySlowClock},
      {kBrownOutOn, FuseWarningKind::kBrownOutOn},
      {kProgrammingLocked, FuseWarningKind::kProgrammingLocked},
      {kReadBackLocked, FuseWarningKind::kReadBackLocked},
  }};
  std::vector<FuseWarning> warnings;
  for (const DecodedField& field : DecodeFuses(chip, fuses)) {
    if (field.danger == FieldDanger::kSlowClockIfProgrammed && field.value == 0) {
      warnings.push_back({FuseWarningKind::kClockDividedBy8, field.name});
    }
    for (const auto& [flag, kind] : kFlagWarnings) {
      if ((field.flags & flag) != 0) warnings.push_back({kind, field.name});
    }
  }
  return warnings;
}

}  // namespace kestrel::chips
