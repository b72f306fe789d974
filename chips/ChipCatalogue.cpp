#include "chips/ChipCatalogue.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifndef KESTREL_DATA_DIR
#define KESTREL_DATA_DIR "/usr/local/share/kestrel"
#endif

namespace kestrel::chips {
namespace {

constexpr char kFieldTerminators[5] = {'|', ':', '|', ':', '<'};
constexpr char kReplacementCharacter[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// Splits the record that starts at `position` into its five fields and moves `position`
// behind its '<'. Leaves `position` alone and returns false when the data ends first.
bool NextRecord(std::string_view bytes, std::size_t& position, std::array<std::string_view, 5>& fields) {
  std::size_t cursor = position;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const std::size_t end = bytes.find(kFieldTerminators[i], cursor);
    if (end == std::string_view::npos) return false;
    fields[i] = bytes.substr(cursor, end - cursor);
    cursor = end + 1;
  }
  position = cursor;
  return true;
}

// Copies at most `room` bytes of `field` into `slot`; returns whether the field was cut.
bool CopyField(std::string_view field, char* slot, std::size_t room) {
  std::memcpy(slot, field.data(), std::min(field.size(), room));
  return field.size() > room;
}

// White space as the C locale's isspace has it, whatever the process locale.
bool IsBlank(char byte) {
  return byte == ' ' || (byte >= '\t' && byte <= '\r');
}

// The atoi rules on the bytes of a slot, independent of the process locale: leading white
// space, an optional sign, decimal digits up to the first other byte or the end; 0 without digits.
int SlotNumber(std::string_view slot) {
  std::size_t i = 0;
  while (i < slot.size() && IsBlank(slot[i])) ++i;
  bool negative = false;
  if (i < slot.size() && (slot[i] == '+' || slot[i] == '-')) negative = slot[i++] == '-';
  int value = 0;
  for (; i < slot.size() && slot[i] >= '0' && slot[i] <= '9'; ++i) value = value * 10 + (slot[i] - '0');
  return negative ? -value : value;
}

// A numeric slot without its last byte, which a pick has always treated as a terminator.
template <std::size_t N>
std::string_view NumberText(const char (&slot)[N]) {
  return std::string_view(slot, N - 1);
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char AsciiLower(char byte) {
  return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte - 'A' + 'a') : byte;
}

std::string JoinPath(const std::string& directory, const char* name) {
  if (!directory.empty() && directory.back() == '/') return directory + name;
  return directory + "/" + name;
}

std::string AsciiOnly(std::string_view bytes) {
  std::string text;
  for (const char byte : bytes) {
    if (static_cast<unsigned char>(byte) < 0x80) {
      text += byte;
    } else {
      text += kReplacementCharacter;
    }
  }
  return text;
}

// GBK to UTF-8; a byte that starts no valid GBK character becomes U+FFFD.
std::string GbkToUtf8(std::string_view bytes) {
  // GBK keeps ASCII as it is; most names are ASCII, and a converter costs a module load.
  if (std::all_of(bytes.begin(), bytes.end(),
                  [](char byte) { return static_cast<unsigned char>(byte) < 0x80; }))
    return std::string(bytes);
  const iconv_t converter = iconv_open("UTF-8", "GBK");
  if (converter == reinterpret_cast<iconv_t>(-1)) return AsciiOnly(bytes);
  std::string text;
  char* source = const_cast<char*>(bytes.data());
  std::size_t sourceLeft = bytes.size();
  while (sourceLeft > 0) {
    char chunk[64];
    char* target = chunk;
    std::size_t targetLeft = sizeof chunk;
    const std::size_t result = iconv(converter, &source, &sourceLeft, &target, &targetLeft);
    text.append(chunk, static_cast<std::size_t>(target - chunk));
    if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
      text += kReplacementCharacter;
      ++source;
      --sourceLeft;
      iconv(converter, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(converter);
  return text;
}

Chip Decoded(const ChipRecord& record) {
  Chip chip;
  chip.rawName.assign(record.name, strnlen(record.name, sizeof record.name));
  chip.displayName = GbkToUtf8(chip.rawName);
  chip.geometry.flashPageCount = SlotNumber(NumberText(record.flashPageCountText));
  chip.geometry.flashPageWords = static_cast<std::uint8_t>(SlotNumber(NumberText(record.flashPageWordsText)));
  chip.geometry.eepromPageCount = SlotNumber(NumberText(record.eepromPageCountText));
  chip.geometry.eepromPageBytes =
      static_cast<std::uint8_t>(SlotNumber(NumberText(record.eepromPageBytesText)));
  return chip;
}

}  // namespace

ChipCatalogue ParseChipCatalogue(std::string_view bytes) {
  ChipCatalogue catalogue;
  unsigned namesCut = 0;
  unsigned numbersCut = 0;
  unsigned recordsDropped = 0;
  std::size_t position = 0;
  std::array<std::string_view, 5> fields;
  while (position < bytes.size() && NextRecord(bytes, position, fields)) {
    if (catalogue.recordCount == kCatalogueCapacity) {
      ++recordsDropped;
      continue;
    }
    ChipRecord& record = catalogue.records[catalogue.recordCount++];
    // The name keeps its last byte zero so that it is always terminated within its slot.
    namesCut += CopyField(fields[0], record.name, sizeof record.name - 1);
    numbersCut += CopyField(fields[1], record.flashPageCountText, sizeof record.flashPageCountText);
    numbersCut += CopyField(fields[2], record.flashPageWordsText, sizeof record.flashPageWordsText);
    numbersCut += CopyField(fields[3], record.eepromPageCountText, sizeof record.eepromPageCountText);
    numbersCut += CopyField(fields[4], record.eepromPageBytesText, sizeof record.eepromPageBytesText);
    catalogue.chips.push_back(Decoded(record));
  }
  catalogue.cuts = {namesCut, numbersCut, recordsDropped, bytes.size() - position};
  return catalogue;
}

std::vector<std::string> CatalogueSearchPaths(const std::string& executableDir) {
  std::vector<std::string> paths{"chip.txt", JoinPath(KESTREL_DATA_DIR, "chip.txt")};
  if (!executableDir.empty()) {
    paths.push_back(JoinPath(executableDir, "chip.txt"));
    // An installed tree that was moved or staged away from its prefix.
    paths.push_back(JoinPath(executableDir, "../share/kestrel/chip.txt"));
    // A build tree keeps its copy in <build>/data, beside the folders of the programs.
    paths.push_back(JoinPath(executableDir, "../data/chip.txt"));
    paths.push_back(JoinPath(executableDir, "../../data/chip.txt"));
  }
  return paths;
}

CatalogueLoad LoadChipCatalogue(const std::vector<std::string>& paths, ChipCatalogue& catalogue) {
  FileBytes bytes;
  CatalogueLoad load = ReadFirstFile(paths, bytes);
  if (load.loaded) catalogue = ParseChipCatalogue(bytes);
  return load;
}

bool SelectChip(const ChipCatalogue& catalogue, int index, ChipGeometry& geometry) {
  if (index < 0 || static_cast<std::size_t>(index) >= catalogue.chips.size()) return false;
  geometry = catalogue.chips[static_cast<std::size_t>(index)].geometry;
  return true;
}

bool SameChipName(std::string_view a, std::string_view b) {
  a = Trimmed(a);
  b = Trimmed(b);
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

int FindChip(const ChipCatalogue& catalogue, std::string_view name) {
  for (std::size_t i = 0; i < catalogue.chips.size(); ++i) {
    const Chip& chip = catalogue.chips[i];
    if (SameChipName(chip.displayName, name) || SameChipName(chip.rawName, name)) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace kestrel::chips
