#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Texts.h"
#include "control/Operations.h"

namespace kestrel::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

enum class CommandKind {
  Signature,
  Calibration,
  ReadFuses,
  WriteFuses,
  WriteLock,
  Erase,
  Unlock,
  OpenFlash,
  OpenEeprom,
  SaveFlash,
  SaveEeprom,
  WriteFlash,
  ReadFlash,
  VerifyFlash,
  WriteEeprom,
  ReadEeprom,
  VerifyEeprom,
  Auto,
  Burn,
};

struct Command {
  CommandKind kind = CommandKind::Signature;
  std::string path;                // the FILE of the open and save commands
  control::AutoSelection boxes;    // the LIST of auto
};

// The simulated programmer as the --sim-* options describe it; unset values keep the
// simulator's own defaults.
struct SimulatorChoice {
  bool absent = false;
  std::optional<std::array<std::uint8_t, 3>> signature;
  std::optional<std::array<std::uint8_t, 4>> calibration;
  std::uint32_t latencyMs = 0;
  std::optional<std::uint32_t> failAt;    // vendor requests counted from 1
  std::optional<std::uint32_t> unplugAt;
};

struct Options {
  bool simulate = false;
  std::optional<std::string> chip;
  std::uint8_t mode = 0;  // a ProgrammingMode value; PP_20
  std::optional<std::string> catalogue;
  std::string fuses = texts::kStartFuseText;
  std::string lock = texts::kStartLockText;
  bool keepGoing = false;
  SimulatorChoice simulator;
  bool help = false;
  bool version = false;
  std::vector<Command> commands;
};

struct ParseResult {
  Options options;
  std::string error;  // empty when the command line is usable
};

// Reads the arguments after the program name. Options may stand anywhere, as "--name value"
// or "--name=value"; a command's own argument is taken verbatim. -h/--help and --version end
// the parse at once. Any unknown name, missing argument or bad number gives an error text.
ParseResult ParseCommandLine(const std::vector<std::string>& arguments);

// The Auto boxes named by a comma-separated LIST, or "none"; nothing on an unknown or empty
// name, which is then stored in `badItem` when given.
std::optional<control::AutoSelection> ParseAutoList(const std::string& list,
                                                    std::string* badItem = nullptr);

// ASCII letters compared without regard to case; other bytes as they are.
bool SameIgnoringCase(std::string_view a, std::string_view b);

}  // namespace kestrel::cli
