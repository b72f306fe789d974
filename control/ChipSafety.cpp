#include "control/ChipSafety.h"

#include <algorithm>

#include "base/Bytes.h"
#include "base/Texts.h"

namespace kestrel::control {
namespace {

const char* ByteName(chips::FuseByte byte) {
  switch (byte) {
    case chips::FuseByte::kLow:
      return texts::kLowFuseByte;
    case chips::FuseByte::kHigh:
      return texts::kHighFuseByte;
    case chips::FuseByte::kExtended:
      return texts::kExtendedFuseByte;
    case chips::FuseByte::kLock:
      break;
  }
  return texts::kLockByte;
}

std::string LockoutLine(const chips::IspLockout& lockout) {
  const char* what = lockout.danger == chips::FieldDanger::kIspLostIfUnprogrammed
                         ? texts::kSpienOffConsequence
                     : lockout.field == "DWEN" ? texts::kDwenOnConsequence
                                               : texts::kRstdisblOnConsequence;
  return Printf(texts::kIspLockoutPattern, ByteName(lockout.byte), lockout.field.c_str(), what);
}

std::string WarningLine(const chips::FuseWarning& warning) {
  const char* pattern = texts::kExternalClockWarning;
  switch (warning.kind) {
    case chips::FuseWarningKind::kExternalClock:
      pattern = texts::kExternalClockWarning;
      break;
    case chips::FuseWarningKind::kClockDividedBy8:
      pattern = texts::kClockDividedWarning;
      break;
    case chips::FuseWarningKind::kVerySlowClock:
      pattern = texts::kSlowClockWarning;
      break;
    case chips::FuseWarningKind::kBrownOutOn:
      pattern = texts::kBrownOutWarning;
      break;
    case chips::FuseWarningKind::kProgrammingLocked:
      pattern = texts::kProgrammingLockedWarning;
      break;
    case chips::FuseWarningKind::kReadBackLocked:
      pattern = texts::kReadBackLockedWarning;
      break;
  }
  return Printf(pattern, warning.field.c_str());
}

bool IsLockWarning(const chips::FuseWarning& warning) {
  return warning.kind == chips::FuseWarningKind::kProgrammingLocked ||
         warning.kind == chips::FuseWarningKind::kReadBackLocked;
}

}  // namespace

bool NoChipAnswered(const chips::Signature& signature) {
  return signature == chips::Signature{0, 0, 0} || signature == chips::Signature{0xFF, 0xFF, 0xFF};
}

std::vector<std::string> ChipsWithSignature(const chips::ChipFactsTable& facts,
                                            const chips::Signature& signature) {
  std::vector<std::string> names;
  for (const chips::ChipFacts* chip : facts.WithSignature(signature)) names.push_back(chip->name);
  return names;
}

bool ParseFuseText(const std::string& text, chips::FuseSet& fuses) {
  std::uint8_t bytes[3];
  if (text.size() != 6 || !ParseHexText(text, 3, bytes)) return false;
  fuses[chips::FuseByte::kLow] = bytes[0];
  fuses[chips::FuseByte::kHigh] = bytes[1];
  fuses[chips::FuseByte::kExtended] = bytes[2];
  return true;
}

bool ParseLockText(const std::string& text, chips::FuseSet& fuses) {
  std::uint8_t lock = 0;
  if (text.size() != 2 || !ParseHexText(text, 1, &lock)) return false;
  fuses[chips::FuseByte::kLock] = lock;
  return true;
}

std::string FuseTextOf(const chips::FuseSet& fuses) {
  return Printf("%02X%02X%02X", fuses[chips::FuseByte::kLow], fuses[chips::FuseByte::kHigh],
                fuses[chips::FuseByte::kExtended]);
}

std::string LockTextOf(const chips::FuseSet& fuses) {
  return Printf("%02X", fuses[chips::FuseByte::kLock]);
}

FuseWriteReview ReviewFuseWrite(const chips::ChipFacts& chip, const chips::FuseSet& fuses) {
  FuseWriteReview review;
  for (const chips::IspLockout& lockout : chips::IspLockouts(chip, fuses)) {
    if (lockout.byte != chips::FuseByte::kLock) review.lockouts.push_back(LockoutLine(lockout));
  }
  for (const chips::FuseWarning& warning : chips::FuseWarnings(chip, fuses)) {
    if (!IsLockWarning(warning)) review.warnings.push_back(WarningLine(warning));
  }
  return review;
}

std::vector<std::string> ReviewLockWrite(const chips::ChipFacts& chip, std::uint8_t lock) {
  chips::FuseSet fuses = chip.factory;
  fuses[chips::FuseByte::kLock] = lock;
  std::vector<std::string> lines;
  for (const chips::FuseWarning& warning : chips::FuseWarnings(chip, fuses)) {
    if (IsLockWarning(warning)) lines.push_back(WarningLine(warning));
  }
  return lines;
}

const char* HighVoltageModeName(const chips::ChipFacts& chip) {
  return (chip.modes & chips::kHvsp) != 0 ? "HVSP" : "PP_20";
}

}  // namespace kestrel::control
