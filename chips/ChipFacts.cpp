#include "chips/ChipFacts.h"

#include <algorithm>
#include <charconv>
#include <deque>
#include <map>
#include <optional>
#include <tuple>
#include <utility>

#include "chips/ChipCatalogue.h"

namespace kestrel::chips {
namespace {

// The widest record has 18 columns; one more slot tells a longer line apart.
struct Columns {
  std::array<std::string_view, 19> items;
  std::size_t count = 0;
  std::size_t size() const { return count; }
  std::string_view operator[](std::size_t i) const { return items[i]; }
};

constexpr std::array<std::string_view, kFuseByteCount> kByteNames{"low", "high", "ext", "lock"};
constexpr std::array<std::string_view, 6> kDangerNames{"-",     "ISP_LOST_IF_0",   "ISP_LOST_IF_1",
                                                       "CLOCK", "SLOW_CLOCK_IF_0", "BOD"};
constexpr std::string_view kFlagLetters = "ESBWR";  // in ValueFlag bit order
constexpr std::array<std::string_view, 3> kModeNames{"ISP", "HVPP", "HVSP"};

Columns SplitTabs(std::string_view line) {
  Columns columns;
  std::size_t start = 0;
  for (std::size_t tab; (tab = line.find('\t', start)) != std::string_view::npos; start = tab + 1) {
    if (columns.count == columns.items.size()) return columns;
    columns.items[columns.count++] = line.substr(start, tab - start);
  }
  if (columns.count < columns.items.size()) columns.items[columns.count++] = line.substr(start);
  return columns;
}

FuseField* FindField(std::vector<FuseField>& fields, std::string_view name) {
  const auto found =
      std::find_if(fields.begin(), fields.end(), [&](const FuseField& f) { return f.name == name; });
  return found == fields.end() ? nullptr : &*found;
}

// What the chips' layouts point into: the text of the file, which their texts view, and every
// version of every layout. A chip's layout pointer shares the ownership of all of it.
struct FactsStore {
  FileBytes text;
  std::deque<std::vector<FuseField>> layouts;  // a deque: its elements never move
};

// Reads one line at a time. The first problem of a line is kept and the line's record is
// dropped; the converters return a harmless value after a problem so that parsing can go on.
class Parser {
 public:
  explicit Parser(std::shared_ptr<FactsStore> store) : store_(std::move(store)) {}

  void Line(int number, std::string_view line) {
    problem_.reset();
    const Columns c = SplitTabs(line);
    if (c[0] == "about" && Expect(c, 4)) {
      About(c);
    } else if (c[0] == "meaning" && Expect(c, 4)) {
      Meaning(c);
    } else if (c[0] == "field" && Expect(c, 6)) {
      Field(c);
    } else if (c[0] == "value" && Expect(c, 6)) {
      Value(c);
    } else if (c[0] == "chip" && Expect(c, 18)) {
      Chip(c);
    } else if (!problem_) {
      Fail(FactsProblemKind::kUnknownRecord);
    }
    if (problem_) table.problems.push_back({number, *problem_});
  }

  ChipFactsTable table;

 private:
  void Fail(FactsProblemKind kind) {
    if (!problem_) problem_ = kind;
  }

  bool Expect(const Columns& columns, std::size_t count) {
    if (columns.size() != count) Fail(FactsProblemKind::kColumnCount);
    return !problem_;
  }

  std::uint32_t Number(std::string_view text, int base, std::size_t digits = 0) {
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || text[0] == '+' || text[0] == '-' || stop != end || error != std::errc{} ||
        (digits != 0 && text.size() != digits)) {
      Fail(FactsProblemKind::kBadNumber);
    }
    return value;
  }

  std::uint8_t HexByte(std::string_view text) { return static_cast<std::uint8_t>(Number(text, 16, 2)); }

  template <std::size_t N>
  std::size_t NameIndex(std::string_view text, const std::array<std::string_view, N>& names) {
    const auto found = std::find(names.begin(), names.end(), text);
    if (found != names.end()) return static_cast<std::size_t>(found - names.begin());
    Fail(FactsProblemKind::kBadName);
    return 0;
  }

  std::string_view Text(std::string_view text) {
    if (text.empty()) Fail(FactsProblemKind::kBadName);
    return text;
  }

  std::uint8_t Flags(std::string_view text) {
    std::uint8_t flags = 0;
    for (const char letter : text == "-" ? std::string_view() : text) {
      const std::size_t bit = kFlagLetters.find(letter);
      if (bit == std::string_view::npos) Fail(FactsProblemKind::kBadName);
      flags |= static_cast<std::uint8_t>(bit < 8 ? 1u << bit : 0u);
    }
    return flags;
  }

  ModeSet Modes(std::string_view text) {
    std::uint8_t modes = 0;
    for (std::string_view rest = text;;) {
      const std::size_t comma = rest.find(',');
      modes |= static_cast<std::uint8_t>(1u << NameIndex(rest.substr(0, comma), kModeNames));
      if (comma == std::string_view::npos) return static_cast<ModeSet>(modes);
      rest.remove_prefix(comma + 1);
    }
  }

  void About(const Columns& c) {
    const std::pair<std::string_view, std::string_view> texts{Text(c[2]), Text(c[3])};
    if (problem_) return;
    if (!about_.emplace(c[1], texts).second) Fail(FactsProblemKind::kDuplicate);
  }

  // A value finds its text by number; a bad meaning line costs only the values that name it.
  void Meaning(const Columns& c) {
    const std::uint32_t number = Number(c[1], 10);
    const std::pair<std::string_view, std::string_view> texts{Text(c[2]), Text(c[3])};
    if (!problem_ && number >= kMeaningLimit) Fail(FactsProblemKind::kBadNumber);
    if (!problem_ && number < meanings_.size() && meanings_[number]) Fail(FactsProblemKind::kDuplicate);
    if (problem_) return;
    if (number >= meanings_.size()) meanings_.resize(number + 1);
    meanings_[number] = texts;
  }

  void Field(const Columns& c) {
    FuseField field;
    const std::string_view layoutName = Text(c[1]);
    field.byte = static_cast<FuseByte>(NameIndex(c[2], kByteNames));
    field.name = std::string(Text(c[3]));
    field.mask = HexByte(c[4]);
    field.danger = static_cast<FieldDanger>(NameIndex(c[5], kDangerNames));
    if (field.mask == 0) Fail(FactsProblemKind::kBadNumber);
    if (problem_) return;
    if (const auto about = about_.find(field.name); about != about_.end()) {
      std::tie(field.about, field.aboutEnglish) = about->second;
    }
    lastField_ = nullptr;  // the push below may move the fields
    std::vector<FuseField>& layout = Writable(layouts_[layoutName]);
    if (FindField(layout, field.name) != nullptr) return Fail(FactsProblemKind::kDuplicate);
    layout.push_back(std::move(field));
  }

  // The values of one field follow each other, so the field of the line before is tried first.
  FuseField* ValueField(std::string_view layoutName, std::string_view fieldName) {
    if (lastField_ != nullptr && layoutName == lastLayoutName_ && fieldName == lastField_->name)
      return lastField_;
    const auto layout = layouts_.find(layoutName);
    lastField_ = layout == layouts_.end() ? nullptr : FindField(Writable(layout->second), fieldName);
    lastLayoutName_ = layoutName;
    return lastField_;
  }

  void Value(const Columns& c) {
    FuseField* field = ValueField(c[1], c[2]);
    FieldValue value;
    value.value = HexByte(c[3]);
    value.flags = Flags(c[4]);
    const std::uint32_t meaning = Number(c[5], 10);
    if (field == nullptr || meaning >= meanings_.size() || !meanings_[meaning])
      Fail(FactsProblemKind::kUnknownReference);
    if (problem_) return;
    std::tie(value.meaning, value.meaningEnglish) = *meanings_[meaning];
    if (((unsigned{value.value} << field->Shift()) & ~unsigned{field->mask}) != 0) {
      return Fail(FactsProblemKind::kOutsideMask);
    }
    const auto place = std::lower_bound(field->values.begin(), field->values.end(), value.value,
                                        [](const FieldValue& v, std::uint8_t x) { return v.value < x; });
    if (place != field->values.end() && place->value == value.value)
      return Fail(FactsProblemKind::kDuplicate);
    field->values.insert(place, std::move(value));
  }

  void Chip(const Columns& c) {
    ChipFacts chip;
    chip.name = std::string(Text(c[1]));
    const std::uint32_t signature = Number(c[2], 16, 6);
    chip.signature = {static_cast<std::uint8_t>(signature >> 16), static_cast<std::uint8_t>(signature >> 8),
                      static_cast<std::uint8_t>(signature)};
    chip.flashBytes = Number(c[3], 10);
    chip.flashPageBytes = Number(c[4], 10);
    chip.eepromBytes = Number(c[5], 10);
    chip.eepromPageBytes = Number(c[6], 10);
    chip.fuseBytes = static_cast<int>(Number(c[7], 10));
    if (chip.fuseBytes != 2 && chip.fuseBytes != 3) Fail(FactsProblemKind::kBadNumber);
    // The extended byte's columns hold "-" exactly on chips with two fuse bytes.
    const auto extendedColumn = [&](std::string_view column, std::uint8_t absent) {
      if (chip.fuseBytes == 3) return HexByte(column);
      if (column != "-") Fail(FactsProblemKind::kBadNumber);
      return absent;
    };
    chip.factory.bytes = {HexByte(c[8]), HexByte(c[9]), extendedColumn(c[10], 0xFF), HexByte(c[11])};
    chip.usedBits.bytes = {HexByte(c[14]), HexByte(c[15]), extendedColumn(c[16], 0), HexByte(c[12])};
    chip.modes = Modes(c[13]);
    const auto layout = layouts_.find(c[17]);
    if (layout == layouts_.end()) Fail(FactsProblemKind::kUnknownReference);
    if (problem_) return;
    for (const FuseField& field : *layout->second.fields) {
      if ((field.mask & ~chip.usedBits[field.byte]) != 0) return Fail(FactsProblemKind::kOutsideMask);
    }
    if (table.Find(chip.name) != nullptr) return Fail(FactsProblemKind::kDuplicate);
    layout->second.shared = true;
    lastField_ = nullptr;  // a value below would now change a copy
    chip.layout = std::shared_ptr<const std::vector<FuseField>>(store_, layout->second.fields);
    table.chips.push_back(std::move(chip));
  }

  // The current version of a layout; one already handed to a chip is copied before it changes,
  // so that a record below a chip never alters that chip.
  struct Layout {
    std::vector<FuseField>* fields = nullptr;
    bool shared = false;
  };

  std::vector<FuseField>& Writable(Layout& layout) {
    if (layout.fields == nullptr) {
      layout.fields = &store_->layouts.emplace_back();
    } else if (layout.shared) {
      layout.fields = &store_->layouts.emplace_back(*layout.fields);
      layout.shared = false;
    }
    return *layout.fields;
  }

  std::shared_ptr<FactsStore> store_;
  std::optional<FactsProblemKind> problem_;
  std::map<std::string_view, std::pair<std::string_view, std::string_view>> about_;  // bilingual, English
  static constexpr std::uint32_t kMeaningLimit = 65536;
  std::vector<std::optional<std::pair<std::string_view, std::string_view>>> meanings_;  // the same
  std::map<std::string_view, Layout> layouts_;
  FuseField* lastField_ = nullptr;
  std::string_view lastLayoutName_;
};

}  // namespace

const char* FuseByteName(FuseByte byte) {
  // The literals end in a zero byte, so their views may be handed out as C strings.
  return kByteNames[static_cast<std::size_t>(byte)].data();
}

int FuseField::Shift() const {
  int shift = 0;
  while (shift < 7 && ((mask >> shift) & 1) == 0) ++shift;
  return shift;
}

std::uint8_t FuseField::ValueIn(std::uint8_t byteValue) const {
  return static_cast<std::uint8_t>((byteValue & mask) >> Shift());
}

const FieldValue* FuseField::Find(std::uint8_t value) const {
  const auto found =
      std::find_if(values.begin(), values.end(), [&](const FieldValue& v) { return v.value == value; });
  return found == values.end() ? nullptr : &*found;
}

const std::vector<FuseField>& ChipFacts::Fields() const {
  static const std::vector<FuseField> none;
  return layout ? *layout : none;
}

const FuseField* ChipFacts::Field(std::string_view fieldName) const {
  const std::vector<FuseField>& fields = Fields();
  const auto found =
      std::find_if(fields.begin(), fields.end(), [&](const FuseField& f) { return f.name == fieldName; });
  return found == fields.end() ? nullptr : &*found;
}

const ChipFacts* ChipFactsTable::Find(std::string_view chipName) const {
  const auto found = std::find_if(chips.begin(), chips.end(),
                                  [&](const ChipFacts& c) { return SameChipName(c.name, chipName); });
  return found == chips.end() ? nullptr : &*found;
}

std::vector<const ChipFacts*> ChipFactsTable::WithSignature(const Signature& signature) const {
  std::vector<const ChipFacts*> group;
  for (const ChipFacts& chip : chips) {
    if (chip.signature == signature) group.push_back(&chip);
  }
  return group;
}

ChipFactsTable ParseChipFacts(std::string source) {
  return ParseChipFacts(FileBytes(std::move(source)));
}

ChipFactsTable ParseChipFacts(FileBytes source) {
  auto store = std::make_shared<FactsStore>();
  store->text = std::move(source);
  const std::string_view text = store->text;
  Parser parser(store);
  int number = 0;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;
    parser.Line(number, line);
  }
  return std::move(parser.table);
}

}  // namespace kestrel::chips
