#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/FileRead.h"

namespace kestrel::chips {

// Where a fuse field lives; also the index into FuseSet.
enum class FuseByte : std::uint8_t { kLow, kHigh, kExtended, kLock };
inline constexpr std::size_t kFuseByteCount = 4;
// "low", "high", "ext", "lock": how the facts file, the command line and the settings name them.
const char* FuseByteName(FuseByte byte);

// Why a field deserves care before it is written.
enum class FieldDanger : std::uint8_t {
  kNone,
  kIspLostIfProgrammed,    // RSTDISBL, DWEN: 0 takes the reset pin away from ISP
  kIspLostIfUnprogrammed,  // SPIEN: 1 switches ISP off
  kClock,                  // clock source and start-up time
  kSlowClockIfProgrammed,  // CKDIV8
  kBrownOut,               // brown-out detection
};

// What choosing a value implies (bits of FieldValue::flags).
enum ValueFlag : std::uint8_t {
  kNeedsExternalClock = 1 << 0,  // the chip, and ISP with it, runs only with a clock or crystal
  kVerySlowClock = 1 << 1,       // ISP needs a very low programming clock
  kBrownOutOn = 1 << 2,
  kProgrammingLocked = 1 << 3,  // flash and EEPROM cannot be written until a chip erase
  kReadBackLocked = 1 << 4,     // flash and EEPROM cannot be read back until a chip erase
};

// The texts of a value and of a field are views into the facts file's text, which each chip of
// the table keeps alive through its layout: hold a field by the chip, not by a copy of its own.
struct FieldValue {
  std::uint8_t value = 0;           // as shifted down, see FuseField
  std::uint8_t flags = 0;           // ValueFlag bits
  std::string_view meaning;         // Chinese, a space, then English
  std::string_view meaningEnglish;  // the same in English alone
};

// A group of bits of one byte. Its value is its bits moved down so that the lowest bit of the
// mask lands on bit 0 (masks with gaps keep their gaps).
struct FuseField {
  FuseByte byte = FuseByte::kLow;
  std::string name;  // as the maker names it: SUT_CKSEL, SPIEN, BOOTSZ, LB, ...
  std::uint8_t mask = 0;
  FieldDanger danger = FieldDanger::kNone;
  std::string_view about;          // what the field is for, Chinese then English
  std::string_view aboutEnglish;   // the same in English alone
  std::vector<FieldValue> values;  // the values the maker lists; any other value is reserved

  int Shift() const;
  std::uint8_t ValueIn(std::uint8_t byteValue) const;
  const FieldValue* Find(std::uint8_t value) const;
};

// The three fuse bytes and the lock byte, all unprogrammed (ones) unless set.
struct FuseSet {
  std::array<std::uint8_t, kFuseByteCount> bytes{0xFF, 0xFF, 0xFF, 0xFF};

  std::uint8_t& operator[](FuseByte byte) { return bytes[static_cast<std::size_t>(byte)]; }
  std::uint8_t operator[](FuseByte byte) const { return bytes[static_cast<std::size_t>(byte)]; }
  bool operator==(const FuseSet&) const = default;
};

// The programming modes a chip supports, as a set of bits.
enum ModeSet : std::uint8_t { kIsp = 1 << 0, kHvpp = 1 << 1, kHvsp = 1 << 2 };

using Signature = std::array<std::uint8_t, 3>;

struct ChipFacts {
  std::string name;
  Signature signature{};
  std::uint32_t flashBytes = 0;
  std::uint32_t flashPageBytes = 0;
  std::uint32_t eepromBytes = 0;
  std::uint32_t eepromPageBytes = 0;
  int fuseBytes = 0;  // 2 (low, high) or 3 (and extended)
  FuseSet factory;    // the extended byte stays 0xFF on chips with two fuse bytes
  // The bits that mean something; the lock entry is the lock-bit mask, the extended entry is 0
  // on chips with two fuse bytes. Other bits may read back as 0 or 1.
  FuseSet usedBits;
  ModeSet modes{};
  // Shared by every chip of the same fuse layout; most chips share theirs with others.
  std::shared_ptr<const std::vector<FuseField>> layout;

  const std::vector<FuseField>& Fields() const;
  const FuseField* Field(std::string_view fieldName) const;
};

// Why a line of the data file was left out.
enum class FactsProblemKind : std::uint8_t {
  kUnknownRecord,     // the first column names no record kind
  kColumnCount,       // too many or too few columns for its kind
  kBadNumber,         // a size, hex byte, mask or signature that does not parse
  kBadName,           // an unknown byte, danger, flag or mode name, or an empty text
  kDuplicate,         // a chip, field or value given twice
  kUnknownReference,  // a value or chip naming a field or layout not given above it
  kOutsideMask,       // a value that does not fit its field, or a field outside the used bits
};

struct FactsProblem {
  int line = 0;  // 1-based
  FactsProblemKind kind = FactsProblemKind::kUnknownRecord;
  bool operator==(const FactsProblem&) const = default;
};

struct ChipFactsTable {
  std::vector<ChipFacts> chips;        // in file order
  std::vector<FactsProblem> problems;  // in line order; the other lines still count

  const ChipFacts* Find(std::string_view chipName) const;  // names compared as SameChipName does
  std::vector<const ChipFacts*> WithSignature(const Signature& signature) const;
};

// Parses the text of the chip facts file (format: the comment at the top of the file).
// The table keeps `text`, which its texts view.
ChipFactsTable ParseChipFacts(FileBytes text);
ChipFactsTable ParseChipFacts(std::string text);

inline constexpr char kChipFactsFileName[] = "chip-facts.tsv";

// The facts file beside each catalogue path, so that both are found in the same search order.
std::vector<std::string> ChipFactsSearchPaths(const std::vector<std::string>& cataloguePaths);

using ChipFactsLoad = FileLoad;

// Parses the first readable file of `paths` into `table`; leaves `table` alone when none is.
ChipFactsLoad LoadChipFacts(const std::vector<std::string>& paths, ChipFactsTable& table);

}  // namespace kestrel::chips
