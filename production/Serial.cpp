#include "production/Serial.h"

#include <sys/random.h>

#include <algorithm>
#include <cerrno>
#include <map>

#include "base/Format.h"
#include "production/ProductionTexts.h"

namespace kestrel::production {

int SerialFormat::Width() const {
  switch (kind) {
    case Kind::U16Le:
    case Kind::U16Be:
      return 2;
    case Kind::U32Le:
    case Kind::U32Be:
      return 4;
    case Kind::Ascii:
      break;
  }
  return digits;
}

std::uint64_t SerialFormat::Largest() const {
  if (kind == Kind::Ascii) {
    std::uint64_t largest = 0;
    for (int i = 0; i < digits; ++i) largest = largest * 10 + 9;
    return largest;
  }
  return Width() == 2 ? 0xFFFF : 0xFFFFFFFF;
}

std::optional<SerialFormat> ParseSerialFormat(const std::string& text) {
  using enum SerialFormat::Kind;
  for (const auto& [name, kind] : {std::pair("u16le", U16Le), std::pair("u16be", U16Be),
                                   std::pair("u32le", U32Le), std::pair("u32be", U32Be)}) {
    if (text == name) return SerialFormat{kind, 0};
  }
  // "ascii:N": at most 18 digits, so that every number fits the database's signed 64 bits.
  if (text.size() < 7 || text.size() > 8 || text.compare(0, 6, "ascii:") != 0) return std::nullopt;
  int digits = 0;
  for (char c : text.substr(6)) {
    if (c < '0' || c > '9') return std::nullopt;
    digits = digits * 10 + (c - '0');
  }
  if (digits < 1 || digits > 18) return std::nullopt;
  return SerialFormat{Ascii, digits};
}

std::uint32_t SerialPlan::Width() const {
  switch (source) {
    case SerialSource::Sequence:
      return static_cast<std::uint32_t>(format.Width());
    case SerialSource::List:
      break;
    case SerialSource::Random:
      return static_cast<std::uint32_t>(randomBytes);
  }
  std::size_t widest = 0;
  for (const SerialValue& value : list) widest = std::max(widest, value.bytes.size());
  return static_cast<std::uint32_t>(widest);
}

std::uint64_t SerialPlan::LastNumber() const {
  return std::min(last.value_or(format.Largest()), format.Largest());
}

std::optional<SerialValue> SequenceValue(const SerialFormat& format, std::uint64_t number) {
  if (number > format.Largest()) return std::nullopt;
  SerialValue value{std::to_string(number), {}, number};
  const int width = format.Width();
  using enum SerialFormat::Kind;
  if (format.kind == Ascii) {
    const std::string digits = Printf("%0*llu", width, static_cast<unsigned long long>(number));
    value.bytes.assign(digits.begin(), digits.end());
    return value;
  }
  const bool little = format.kind == U16Le || format.kind == U32Le;
  for (int i = 0; i < width; ++i) {
    const int shift = 8 * (little ? i : width - 1 - i);
    value.bytes.push_back(static_cast<std::uint8_t>(number >> shift));
  }
  return value;
}

std::string HexText(std::span<const std::uint8_t> bytes) {
  std::string text;
  for (std::uint8_t byte : bytes) text += Printf("%02X", byte);
  return text;
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Hex digit pairs, each pair optionally followed by one separator.
std::optional<std::vector<std::uint8_t>> HexLine(const std::string& line) {
  std::vector<std::uint8_t> bytes;
  std::size_t i = 0;
  while (i < line.size()) {
    if (i + 1 >= line.size()) return std::nullopt;
    const int high = HexDigit(line[i]);
    const int low = HexDigit(line[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    i += 2;
    if (i < line.size() && (line[i] == ':' || line[i] == '-' || line[i] == ' ')) ++i;
  }
  if (bytes.empty()) return std::nullopt;
  return bytes;
}

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

std::optional<std::vector<SerialValue>> ParseSerialList(const std::string& name, const std::string& text,
                                                        std::string& error) {
  std::vector<SerialValue> values;
  std::map<std::string, int> seen;  // value text -> its line
  int number = 0;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string line = Trimmed(text.substr(start, end - start));
    start = end + 1;
    ++number;
    if (line.empty() || line[0] == '#') continue;
    const auto bytes = HexLine(line);
    if (!bytes) {
      error = Printf(texts::kListLineBadPattern, name.c_str(), number, line.c_str());
      return std::nullopt;
    }
    SerialValue value{HexText(*bytes), *bytes, std::nullopt};
    if (const auto [at, fresh] = seen.emplace(value.text, number); !fresh) {
      error = Printf(texts::kListLineRepeatsPattern, name.c_str(), number, at->second);
      return std::nullopt;
    }
    values.push_back(std::move(value));
  }
  if (values.empty()) {
    error = Printf(texts::kListEmptyPattern, name.c_str());
    return std::nullopt;
  }
  return values;
}

std::optional<SerialValue> RandomValue(int count) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::max(count, 0)));
  std::size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = getrandom(bytes.data() + got, bytes.size() - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::nullopt;
    got += static_cast<std::size_t>(n);
  }
  return SerialValue{HexText(bytes), bytes, std::nullopt};
}

std::vector<std::uint8_t> PlaceSerial(std::span<const std::uint8_t> memory, std::uint32_t address,
                                      const SerialValue& value) {
  std::vector<std::uint8_t> copy(memory.begin(), memory.end());
  for (std::size_t i = 0; i < value.bytes.size() && address + i < copy.size(); ++i)
    copy[address + i] = value.bytes[i];
  return copy;
}

}  // namespace kestrel::production
