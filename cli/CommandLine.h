#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "base/Texts.h"
#include "control/FrontEndPorts.h"
#include "control/Operations.h"
#include "device/VendorProtocol.h"

// The command line is described by tables (cli/CommandTables.cpp): its commands, its
// options, the Auto box names and the modes. The parser, the session, --help and the shell
// completion all read them, so a new command or option is one entry there (and a paragraph of
// the man page, which a test holds to the tables).
namespace kestrel::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

enum class ArgumentKind { None, File, AutoList };

// A command that presses no button: it runs alone, in place of the start-up and the probe
// (produce after them: it presses its own).
enum class SessionCommand { ListProgrammers, ExplainFuses, Report, Produce };

// How --help and the man page show the argument: " FILE", " LIST" or nothing.
const char* ArgumentName(ArgumentKind kind);

struct CommandDescription {
  const char* name;
  ArgumentKind argument = ArgumentKind::None;
  // A button of the window, or an operation that no button queues on its own.
  std::variant<control::OperationButton, control::Operation, SessionCommand> press;
  // The file chooser the press opens, answered with the command's FILE.
  std::optional<control::FileDialogKind> dialog = std::nullopt;
  // Runs on whatever chip answers: it needs neither the chip's geometry nor its facts, so
  // without --chip the chip is not identified before it.
  bool anyChip = false;
  // Writes the fuse or lock text, which must then be given: a default fuse text in a script
  // is how chips get locked out. A command that sets the texts from a file provides both.
  bool writesFuses = false;
  bool writesLock = false;
  bool setsTexts = false;
  // Prints the fuse and lock bytes it read, field by field.
  bool describesFuses = false;
  // Shown on a --help line of its own; {boxes} stands for the Auto box names. Commands
  // without it share a line, which the one with endsHelpLine closes.
  const char* help = nullptr;
  bool endsHelpLine = false;
};

struct Options;
// An option's value as its action gets it: the text, the option's name for an error text, and
// where the error text goes when the value is unusable.
struct OptionValue {
  const char* option;
  const std::string& text;
  std::string& error;
};
using OptionAction = void (*)(Options& options, const OptionValue& value);

struct OptionDescription {
  const char* name;                // "--chip"
  const char* alias = nullptr;     // "-h"
  const char* argument = nullptr;  // shown in --help; without it the option is a flag
  // Lines after the first are indented to the help column. Without help the option shares
  // its --help line with the next one, after `joinNext`.
  const char* help = nullptr;
  const char* joinNext = nullptr;
  const char* fallback = nullptr;  // the value when the option is not given, shown in --help
  bool needsSimulate = false;
  bool endsParse = false;  // help and version: nothing after them is read, not even "=value"
  OptionAction take = nullptr;
};

struct AutoBoxDescription {
  const char* name;
  bool control::AutoSelection::*box;
};

// A --mode value as written, compared case-blind.
struct ModeName {
  const char* name;
  device::ProgrammingMode mode;
};

std::span<const CommandDescription> CommandTable();
std::span<const OptionDescription> OptionTable();
std::span<const AutoBoxDescription> AutoBoxTable();
std::span<const ModeName> ModeTable();
std::span<const char* const> OutputFormatTable();  // the values of --output

struct Command {
  const CommandDescription* description = nullptr;
  std::string path;              // the FILE of the open and save commands
  control::AutoSelection boxes;  // the LIST of auto
};

// The simulated programmer as the --sim-* options describe it; unset values keep the
// simulator's own defaults.
struct SimulatorChoice {
  bool absent = false;
  std::optional<std::array<std::uint8_t, 3>> signature;
  std::optional<std::array<std::uint8_t, 4>> calibration;
  std::uint32_t latencyMs = 0;
  std::optional<std::uint32_t> failAt;  // vendor requests counted from 1
  std::optional<std::uint32_t> unplugAt;
  std::uint32_t programmers = 1;
  bool emptyReplies = false;
  std::optional<std::array<std::uint8_t, 3>> fuses;  // low, high, extended
  std::optional<std::array<std::uint8_t, 1>> lock;
  bool stats = false;  // the requests, their bytes and the modelled link time, at exit
  // The socket plans, read once the chip facts are known: the one for every programmer, and
  // those of single programmers (numbered from 1) that take its place.
  std::optional<std::string> socket;
  std::vector<std::pair<std::uint32_t, std::string>> socketOf;
  std::string socketDump;  // the folder of the socket chips' dumps
  std::uint32_t lastArrivesAfterMs = 0;
};

struct Options {
  bool simulate = false;
  std::optional<std::string> chip;
  device::ProgrammingMode mode = device::ProgrammingMode::PP_20;
  std::optional<std::string> usb;  // the programmer's address, "BBB:DDD"
  // produce on several programmers at once: --usb all (every one found, and every one that
  // arrives), or --usb with a comma-separated list of addresses.
  bool usbAll = false;
  std::vector<std::string> usbList;
  std::optional<std::string> logDir;  // produce: each programmer's whole log in DIR/BBB-DDD.log
  std::optional<std::string> catalogue;
  std::optional<std::string> facts;  // the chip facts file; unset: looked for
  std::optional<std::string> fuses;  // no default: see CommandDescription::writesFuses
  std::optional<std::string> lock;
  bool signatureCheck = true;
  bool allowLockout = false;  // a fuse text that locks ISP out is written in ISP mode
  bool keepGoing = false;
  bool fastVerify = false;              // see ProgrammerController::SetFastVerify
  std::optional<std::string> language;  // --lang: overrides the environment's choice
  bool jsonOutput = false;              // --output json: events on standard output (docs/JSON-EVENTS.md)
  // Production: the job file (for report, the job's name), the database, this station's name,
  // and the report's start date and CSV file.
  std::optional<std::string> job;
  std::optional<std::string> database;
  std::optional<std::string> station;
  std::optional<std::string> since;
  std::optional<std::string> csv;
  std::uint32_t count = 0;  // produce: chips to program; 0: until stopped
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
std::optional<control::AutoSelection> ParseAutoList(const std::string& list, std::string* badItem = nullptr);

// The --help text, laid out from the tables.
std::string HelpText();

// ASCII letters compared without regard to case; other bytes as they are.
bool SameIgnoringCase(std::string_view a, std::string_view b);

}  // namespace kestrel::cli
