#include "cli/CommandLine.h"

#include <cctype>
#include <cstddef>
#include <string_view>

#include "base/Texts.h"
#include "base/Bytes.h"
#include "cli/CliTexts.h"
#include "device/VendorProtocol.h"

namespace kestrel::cli {
namespace {

struct CommandName {
  const char* name;
  CommandKind kind;
  bool takesArgument;
};

constexpr CommandName kCommands[] = {
    {"signature", CommandKind::Signature, false},
    {"calibration", CommandKind::Calibration, false},
    {"read-fuses", CommandKind::ReadFuses, false},
    {"write-fuses", CommandKind::WriteFuses, false},
    {"write-lock", CommandKind::WriteLock, false},
    {"erase", CommandKind::Erase, false},
    {"unlock", CommandKind::Unlock, false},
    {"open-flash", CommandKind::OpenFlash, true},
    {"open-eeprom", CommandKind::OpenEeprom, true},
    {"save-flash", CommandKind::SaveFlash, true},
    {"save-eeprom", CommandKind::SaveEeprom, true},
    {"write-flash", CommandKind::WriteFlash, false},
    {"read-flash", CommandKind::ReadFlash, false},
    {"verify-flash", CommandKind::VerifyFlash, false},
    {"write-eeprom", CommandKind::WriteEeprom, false},
    {"read-eeprom", CommandKind::ReadEeprom, false},
    {"verify-eeprom", CommandKind::VerifyEeprom, false},
    {"auto", CommandKind::Auto, true},
    {"burn", CommandKind::Burn, false},
};

struct ModeName {
  const char* name;
  device::ProgrammingMode mode;
};

constexpr ModeName kModes[] = {
    {"PP_20", device::ProgrammingMode::PP_20},
    {"PP_2313", device::ProgrammingMode::PP_2313},
    {"ISP", device::ProgrammingMode::ISP},
    {"HVSP", device::ProgrammingMode::HVSP},
};

// Decimal digits only, within [low, high].
std::optional<std::uint32_t> ParseWholeNumber(const std::string& text, std::uint32_t low,
                                              std::uint32_t high) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (value < low || value > high) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

template <std::size_t N>
std::optional<std::array<std::uint8_t, N>> ParseHexBytes(const std::string& text) {
  std::array<std::uint8_t, N> bytes{};
  if (text.size() != N * 2 || !ParseHexText(text, static_cast<int>(N), bytes.data()))
    return std::nullopt;
  return bytes;
}

class Parser {
 public:
  explicit Parser(const std::vector<std::string>& arguments) : arguments_(arguments) {}

  ParseResult Run() {
    while (next_ < arguments_.size() && error_.empty()) {
      const std::string& word = arguments_[next_++];
      if (word.size() > 1 && word[0] == '-') {
        if (!TakeOption(word)) break;  // help or version: nothing more to read
      } else {
        TakeCommand(word);
      }
    }
    if (error_.empty() && !result_.help && !result_.version) CheckWhole();
    return ParseResult{result_, error_};
  }

 private:
  // False once the parse should stop without an error.
  bool TakeOption(const std::string& word) {
    std::string name = word;
    std::optional<std::string> inlineValue;
    if (const std::size_t equals = word.find('='); word.rfind("--", 0) == 0 && equals != std::string::npos) {
      name = word.substr(0, equals);
      inlineValue = word.substr(equals + 1);
    }
    auto value = [&]() -> std::optional<std::string> {
      if (inlineValue) return inlineValue;
      if (next_ < arguments_.size()) return arguments_[next_++];
      error_ = Printf(messages::kCliMissingArgument, name.c_str());
      return std::nullopt;
    };
    auto flag = [&](bool& target) {
      if (inlineValue) {
        error_ = Printf(messages::kCliUnknownOption, word.c_str());
        return;
      }
      target = true;
    };
    Options& o = result_;
    SimulatorChoice& sim = o.simulator;

    if (name == "-h" || name == "--help") {
      o.help = true;
      return false;
    }
    if (name == "--version") {
      o.version = true;
      return false;
    }
    if (name == "--simulate") {
      flag(o.simulate);
    } else if (name == "--keep-going") {
      flag(o.keepGoing);
    } else if (name == "--sim-absent") {
      flag(sim.absent);
    } else if (name == "--chip") {
      if (auto v = value()) o.chip = *v;
    } else if (name == "--mode") {
      if (auto v = value()) TakeMode(*v);
    } else if (name == "--catalogue") {
      if (auto v = value()) o.catalogue = *v;
    } else if (name == "--fuses") {
      if (auto v = value()) o.fuses = *v;
    } else if (name == "--lock") {
      if (auto v = value()) o.lock = *v;
    } else if (name == "--sim-signature") {
      if (auto v = value()) sim.signature = HexOrError<3>(name, *v);
    } else if (name == "--sim-calibration") {
      if (auto v = value()) sim.calibration = HexOrError<4>(name, *v);
    } else if (name == "--sim-latency-ms") {
      if (auto v = value()) sim.latencyMs = NumberOrError(name, *v, 0, 60000).value_or(0);
    } else if (name == "--sim-fail-at") {
      if (auto v = value()) sim.failAt = NumberOrError(name, *v, 1, UINT32_MAX);
    } else if (name == "--sim-unplug-at") {
      if (auto v = value()) sim.unplugAt = NumberOrError(name, *v, 1, UINT32_MAX);
    } else {
      error_ = Printf(messages::kCliUnknownOption, word.c_str());
    }
    if (name.rfind("--sim-", 0) == 0 && simOptionSeen_.empty()) simOptionSeen_ = name;
    return true;
  }

  void TakeMode(const std::string& text) {
    for (const ModeName& m : kModes) {
      if (SameIgnoringCase(text, m.name)) {
        result_.mode = static_cast<std::uint8_t>(m.mode);
        return;
      }
    }
    error_ = Printf(messages::kCliUnknownMode, text.c_str());
  }

  std::optional<std::uint32_t> NumberOrError(const std::string& name, const std::string& text,
                                             std::uint32_t low, std::uint32_t high) {
    auto number = ParseWholeNumber(text, low, high);
    if (!number) error_ = Printf(messages::kCliBadNumber, name.c_str(), text.c_str(), low, high);
    return number;
  }

  template <std::size_t N>
  std::optional<std::array<std::uint8_t, N>> HexOrError(const std::string& name, const std::string& text) {
    auto bytes = ParseHexBytes<N>(text);
    if (!bytes)
      error_ = Printf(messages::kCliBadHexBytes, name.c_str(), text.c_str(), static_cast<int>(N * 2));
    return bytes;
  }

  void TakeCommand(const std::string& word) {
    for (const CommandName& c : kCommands) {
      if (word != c.name) continue;
      Command command;
      command.kind = c.kind;
      if (c.takesArgument) {
        if (next_ >= arguments_.size()) {
          error_ = Printf(messages::kCliMissingArgument, word.c_str());
          return;
        }
        command.path = arguments_[next_++];
        if (c.kind == CommandKind::Auto) {
          std::string badItem;
          auto boxes = ParseAutoList(command.path, &badItem);
          if (!boxes) {
            error_ = Printf(messages::kCliUnknownAutoBox, badItem.c_str());
            return;
          }
          command.boxes = *boxes;
          command.path.clear();
        }
      }
      result_.commands.push_back(std::move(command));
      return;
    }
    error_ = Printf(messages::kCliUnknownCommand, word.c_str());
  }

  void CheckWhole() {
    if (!simOptionSeen_.empty() && !result_.simulate)
      error_ = Printf(messages::kCliNeedsSimulate, simOptionSeen_.c_str());
    else if (result_.commands.empty())
      error_ = messages::kCliNoCommand;
  }

  const std::vector<std::string>& arguments_;
  std::size_t next_ = 0;
  Options result_;
  std::string error_;
  std::string simOptionSeen_;  // the first --sim-* option, for the error without --simulate
};

}  // namespace

std::optional<control::AutoSelection> ParseAutoList(const std::string& list, std::string* badItem) {
  control::AutoSelection boxes;
  if (list == "none") return boxes;
  struct BoxName {
    const char* name;
    bool control::AutoSelection::*box;
  };
  static constexpr BoxName kBoxes[] = {
      {"erase", &control::AutoSelection::eraseChip},
      {"write-flash", &control::AutoSelection::writeFlash},
      {"read-flash", &control::AutoSelection::readFlash},
      {"verify-flash", &control::AutoSelection::verifyFlash},
      {"write-eeprom", &control::AutoSelection::writeEeprom},
      {"read-eeprom", &control::AutoSelection::readEeprom},
      {"verify-eeprom", &control::AutoSelection::verifyEeprom},
      {"fuses", &control::AutoSelection::writeFuses},
      {"lock", &control::AutoSelection::writeLock},
  };
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = list.find(',', start);
    const std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    bool known = false;
    for (const BoxName& b : kBoxes) {
      if (item == b.name) {
        boxes.*(b.box) = true;
        known = true;
      }
    }
    if (!known) {
      if (badItem) *badItem = item;
      return std::nullopt;
    }
    if (comma == std::string::npos) return boxes;
    start = comma + 1;
  }
}

ParseResult ParseCommandLine(const std::vector<std::string>& arguments) { return Parser(arguments).Run(); }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

}  // namespace kestrel::cli
