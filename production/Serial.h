#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/ChipMemories.h"

// Serial numbers: where a job puts them, where they come from, and their bytes. Which value is
// next is the production database's to decide (production/ProductionDatabase.h), inside the
// transaction that reserves it; this part only makes and places values.
namespace kestrel::production {

enum class SerialSource { Sequence, List, Random };

// How a sequence number becomes bytes: little or big endian of 2 or 4 bytes, or decimal ASCII
// digits, zero-padded to `digits` characters.
struct SerialFormat {
  enum class Kind { U16Le, U16Be, U32Le, U32Be, Ascii } kind = Kind::U32Le;
  int digits = 0;  // Ascii only, 1..18

  int Width() const;              // bytes in the memory
  std::uint64_t Largest() const;  // the largest number the format holds
};
// "u16le", "u16be", "u32le", "u32be", "ascii:N"; nothing for anything else.
std::optional<SerialFormat> ParseSerialFormat(const std::string& text);

// One serial as it is recorded and as it is written.
struct SerialValue {
  std::string text;                     // sequence: the decimal number; list and random: hex bytes "001A2B"
  std::vector<std::uint8_t> bytes;      // as placed into the memory
  std::optional<std::uint64_t> number;  // the sequence number
  bool operator==(const SerialValue&) const = default;
};

// The [serial] table of a job, checked.
struct SerialPlan {
  device::MemoryKind memory = device::MemoryKind::Eeprom;
  std::uint32_t address = 0;
  SerialSource source = SerialSource::Sequence;
  SerialFormat format;                // Sequence
  std::uint64_t start = 0;            // Sequence
  std::uint64_t step = 1;             // Sequence, at least 1
  std::optional<std::uint64_t> last;  // Sequence: production stops after it
  std::vector<SerialValue> list;      // List: in file order, each used once
  std::string listFile;               // List: the path, for the lines
  int randomBytes = 0;                // Random: 1..32

  // The most bytes a value takes from `address` on.
  std::uint32_t Width() const;
  // The last sequence number that may be given: `last`, or the format's largest.
  std::uint64_t LastNumber() const;
};

// The sequence number `number` in `format`; nothing when the format cannot hold it.
std::optional<SerialValue> SequenceValue(const SerialFormat& format, std::uint64_t number);

// The values of a list file: one a line, as hex bytes, optionally separated by ':', '-' or
// spaces (MAC addresses); blank lines and lines from '#' are skipped. On a bad or repeated
// value, nothing, and `error` says which line.
std::optional<std::vector<SerialValue>> ParseSerialList(const std::string& name, const std::string& text,
                                                        std::string& error);

// `count` bytes from getrandom(); nothing when the kernel gives none (it blocks until its pool
// is seeded, then never fails short for up to 256 bytes).
std::optional<SerialValue> RandomValue(int count);

// A copy of a memory's bytes with `value` placed at `address`. The job checked that every value
// fits and lies over no file data.
std::vector<std::uint8_t> PlaceSerial(std::span<const std::uint8_t> memory, std::uint32_t address,
                                      const SerialValue& value);

// "001A2B": bytes as the list and random values are recorded.
std::string HexText(std::span<const std::uint8_t> bytes);

}  // namespace kestrel::production
