// The commands, options and Auto box names of kestrel-cli, in the order --help lists them.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "base/Bytes.h"
#include "base/Format.h"
#include "base/Language.h"
#include "cli/CliTexts.h"
#include "cli/CommandLine.h"
#include "device/UsbBus.h"
#include "device/VendorProtocol.h"

namespace kestrel::cli {
namespace {

using enum ArgumentKind;
using enum control::FileDialogKind;
using enum control::OperationButton;
using V = OptionValue;

constexpr CommandDescription kCommands[] = {
    {.name = "signature", .press = ReadSignature, .anyChip = true},
    {.name = "calibration", .press = ReadCalibration, .anyChip = true},
    {.name = "read-fuses", .press = ReadFuseLock, .anyChip = true},
    {.name = "write-fuses", .press = WriteFuses, .writesFuses = true},
    {.name = "write-lock", .press = WriteLock, .writesLock = true},
    {.name = "erase", .press = Erase},
    // No button of the window queues the unlock; it goes through the same guard and queue.
    {.name = "unlock", .press = control::Operation::Unlock, .endsHelpLine = true},
    {.name = "open-flash", .argument = File, .press = OpenFlashFile, .dialog = OpenFlash},
    {.name = "open-eeprom", .argument = File, .press = OpenEepromFile, .dialog = OpenEeprom},
    {.name = "save-flash", .argument = File, .press = SaveFlashFile, .dialog = SaveFlash},
    {.name = "save-eeprom",
     .argument = File,
     .press = SaveEepromFile,
     .dialog = SaveEeprom,
     .endsHelpLine = true},
    {.name = "write-flash", .press = WriteFlash},
    {.name = "read-flash", .press = ReadFlash},
    {.name = "verify-flash", .press = VerifyFlash},
    {.name = "write-eeprom", .press = WriteEeprom},
    {.name = "read-eeprom", .press = ReadEeprom},
    {.name = "verify-eeprom", .press = VerifyEeprom, .endsHelpLine = true},
    {.name = "open",
     .argument = File,
     .press = OpenWholeChipFile,
     .dialog = OpenWholeChip,
     .setsTexts = true,
     .help = "a whole-chip .hex or .elf file into every memory it holds (FLASH, EEPROM, fuses, lock)"},
    {.name = "backup",
     .argument = File,
     .press = Backup,
     .dialog = SaveBackup,
     .help = "read signature, fuses, lock, FLASH and EEPROM into one whole-chip HEX file"},
    {.name = "restore",
     .argument = File,
     .press = Restore,
     .dialog = OpenWholeChip,
     .setsTexts = true,
     .help = "write a whole-chip file to a chip of its signature: erase, FLASH, EEPROM, fuses, lock, each "
             "verified"},
    {.name = "auto",
     .argument = AutoList,
     .press = Auto,
     .help = "LIST: comma-separated Auto check boxes, from {boxes}; or \"none\""},
    {.name = "burn", .press = Burn, .writesFuses = true, .writesLock = true},
    {.name = "identify",
     .press = Identify,
     .anyChip = true,
     .help = "name the chip (or its group) by its signature: \"chip NAME[,NAME...]\"; without --chip it also "
             "selects the chip for the rest of the run"},
    {.name = "describe-fuses",
     .press = ReadFuseLock,
     .describesFuses = true,
     .help = "read the fuse and lock bytes and print each field: \"fuse BYTE FIELD=VALUE  meaning\""},
    {.name = "explain-fuses",
     .press = SessionCommand::ExplainFuses,
     .anyChip = true,
     .help = "the same for the --fuses and --lock texts of --chip, without a programmer; runs alone"},
    {.name = "factory-reset",
     .press = FactoryReset,
     .help = "erase, write the chip's factory fuses, read them back and compare; in HVSP or PP_20 mode it "
             "brings back a chip locked out of ISP"},
    {.name = "blank-check",
     .press = BlankCheck,
     .help = "read FLASH and EEPROM; each passes only when every byte is FF, else its first address "
             "that is not and how many are not are named"},
    {.name = "list",
     .press = SessionCommand::ListProgrammers,
     .help = "one line per programmer found: \"programmer BBB:DDD\" and its name; runs alone, without chip "
             "catalogue or probe"},
    {.name = "report",
     .press = SessionCommand::Report,
     .anyChip = true,
     .help = "the chips of the production database, oldest first, filtered by --job NAME and --since; "
             "with --csv, written to that file; runs alone"},
    {.name = "produce",
     .press = SessionCommand::Produce,
     .anyChip = true,
     .help = "program chip after chip as --job says, each with its serial, recorded in --db: one line a "
             "chip (\"chip N PASS serial S CHIP T s\" or \"chip N FAIL STEP CAUSE\"), a summary at the end; "
             "Ctrl+C stops after the chip in the socket, twice after the current page; runs alone"},
};

constexpr AutoBoxDescription kAutoBoxes[] = {
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

constexpr ModeName kModes[] = {
    {"PP_20", device::ProgrammingMode::PP_20},
    {"PP_2313", device::ProgrammingMode::PP_2313},
    {"ISP", device::ProgrammingMode::ISP},
    {"HVSP", device::ProgrammingMode::HVSP},
};

void TakeMode(Options& o, const V& v) {
  for (const ModeName& m : kModes) {
    if (SameIgnoringCase(v.text, m.name)) {
      o.mode = m.mode;
      return;
    }
  }
  v.error = Printf(messages::kCliUnknownMode, v.text.c_str());
}

// Decimal digits only, within [low, high].
std::optional<std::uint32_t> Number(const V& v, std::uint32_t low, std::uint32_t high) {
  std::uint64_t value = 0;
  bool digits = !v.text.empty() && v.text.size() <= 10;
  for (char c : v.text) {
    digits = digits && c >= '0' && c <= '9';
    if (digits) value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (digits && value >= low && value <= high) return static_cast<std::uint32_t>(value);
  v.error = Printf(messages::kCliBadNumber, v.option, v.text.c_str(), low, high);
  return std::nullopt;
}

// "2026-12-07", optionally followed by a time as the database writes it ("T08:00:00Z").
void TakeSince(Options& o, const V& v) {
  const std::string& t = v.text;
  bool date = t.size() >= 10 && t[4] == '-' && t[7] == '-' && (t.size() == 10 || t[10] == 'T');
  for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) date = date && i < t.size() && t[i] >= '0' && t[i] <= '9';
  if (date)
    o.since = t;
  else
    v.error = Printf(messages::kCliBadDate, v.option, t.c_str());
}

// One address as today; "all", or a list of addresses, for a gang.
void TakeUsb(Options& o, const V& v) {
  if (device::IsDeviceAddress(v.text)) {
    o.usb = v.text;
    return;
  }
  if (v.text == "all") {
    o.usbAll = true;
    return;
  }
  std::vector<std::string> list;
  for (std::size_t start = 0; start <= v.text.size();) {
    const std::size_t comma = std::min(v.text.find(',', start), v.text.size());
    list.push_back(v.text.substr(start, comma - start));
    if (!device::IsDeviceAddress(list.back())) {
      v.error = Printf(messages::kCliBadUsbAddress, v.option, list.back().c_str());
      return;
    }
    start = comma + 1;
  }
  o.usbList = std::move(list);
}

void TakeLanguage(Options& o, const V& v) {
  if (IsLanguageName(v.text)) {
    o.language = v.text;
  } else {
    v.error = Printf(messages::kCliBadLanguage, v.option, v.text.c_str());
  }
}

constexpr const char* kOutputFormats[] = {"text", "json"};

void TakeOutput(Options& o, const V& v) {
  if (std::ranges::find(kOutputFormats, v.text) == std::end(kOutputFormats)) {
    v.error = Printf(messages::kCliBadOutput, v.option, v.text.c_str());
    return;
  }
  o.jsonOutput = v.text == "json";
}

// "PLAN" for every programmer, or "P=PLAN" for the P-th: a chip name never starts with a digit.
void TakeSocketPlan(SimulatorChoice& simulator, const V& v) {
  const std::size_t equals = v.text.find('=');
  if (v.text.empty() || v.text[0] < '0' || v.text[0] > '9' || equals == std::string::npos) {
    simulator.socket = v.text;
    return;
  }
  const std::string number = v.text.substr(0, equals);
  if (const auto programmer = Number(V{v.option, number, v.error}, 1, 99))
    simulator.socketOf.emplace_back(*programmer, v.text.substr(equals + 1));
}

template <std::size_t N>
std::optional<std::array<std::uint8_t, N>> HexBytes(const V& v) {
  std::array<std::uint8_t, N> bytes{};
  if (v.text.size() == N * 2 && ParseHexText(v.text, static_cast<int>(N), bytes.data())) return bytes;
  v.error = Printf(messages::kCliBadHexBytes, v.option, v.text.c_str(), static_cast<int>(N * 2));
  return std::nullopt;
}

constexpr OptionDescription kOptions[] = {
    {.name = "--simulate",
     .help = "the built-in simulated programmer instead of the USB bus",
     .take = [](Options& o, const V&) { o.simulate = true; }},
    {.name = "--chip",
     .argument = "NAME",
     .help = "pick this catalogue entry as if chosen in the chip list (name compared\n"
             "case-blind, without surrounding white space); without it the chip is identified\n"
             "by its signature before the first command that needs it",
     .take = [](Options& o, const V& v) { o.chip = v.text; }},
    {.name = "--mode", .argument = "MODE", .help = "PP_20 (default), PP_2313, ISP or HVSP", .take = TakeMode},
    {.name = "--usb",
     .argument = "BBB:DDD",
     .help = "the programmer at this bus and device number, as list shows them;\nwithout it the first found. "
             "For produce also \"all\" (every programmer, and each one\nplugged in while it runs) or "
             "a list BBB:DDD,BBB:DDD: one station each",
     .take = TakeUsb},
    {.name = "--catalogue",
     .argument = "FILE",
     .help = "read this chip.txt instead of the search order",
     .take = [](Options& o, const V& v) { o.catalogue = v.text; }},
    {.name = "--facts",
     .argument = "FILE",
     .help = "read the chip facts (signatures, fuse fields) from this file instead of looking\n"
             "beside the catalogue, in the installed data folder and beside the program",
     .take = [](Options& o, const V& v) { o.facts = v.text; }},
    {.name = "--fuses",
     .argument = "TEXT",
     .help = "fuse text for write-fuses, auto's fuses box, burn and explain-fuses: six hex\n"
             "digits, low, high, extended; no default",
     .take = [](Options& o, const V& v) { o.fuses = v.text; }},
    {.name = "--lock",
     .argument = "TEXT",
     .help = "lock text for write-lock, auto's lock box, burn and explain-fuses: two hex digits;\n"
             "no default",
     .take = [](Options& o, const V& v) { o.lock = v.text; }},
    {.name = "--no-signature-check",
     .help = "change the chip without first comparing its signature with --chip's",
     .take = [](Options& o, const V&) { o.signatureCheck = false; }},
    {.name = "--allow-lockout",
     .help = "in ISP mode, write fuses that lock ISP out (RSTDISBL, DWEN programmed, SPIEN not)",
     .take = [](Options& o, const V&) { o.allowLockout = true; }},
    {.name = "--keep-going",
     .help = "go on after a command that failed",
     .take = [](Options& o, const V&) { o.keepGoing = true; }},
    {.name = "--fast-verify",
     .help = "in an auto run whose erase succeeded, read back before the verify only the FLASH\n"
             "pages written; the rest is compared as erased (0xFF)",
     .take = [](Options& o, const V&) { o.fastVerify = true; }},
    {.name = "--lang",
     .argument = "LANG",
     .help = "zh or en: the language of the lines shown (default: from LANGUAGE, LC_ALL,\n"
             "LC_MESSAGES or LANG; Chinese under zh, C or POSIX, else English); never changes\n"
             "what is sent to the chip",
     .take = TakeLanguage},
    {.name = "--output",
     .argument = "FORMAT",
     .help = "text: the lines as always; json: one JSON object a line on standard output for\n"
             "each event (log line, field, progress, operation, run, chip, summary), every\n"
             "other line on standard error (docs/JSON-EVENTS.md)",
     .fallback = "text",
     .take = TakeOutput},
    {.name = "--job",
     .argument = "FILE",
     .help = "the production job (TOML) to run; alone, it is read and checked and its plan\n"
             "printed; for report, a job's name",
     .take = [](Options& o, const V& v) { o.job = v.text; }},
    {.name = "--db",
     .argument = "FILE|URI",
     .help = "the production database: a SQLite file, or PostgreSQL as postgresql://... or a\n"
             "libpq string \"host=... dbname=...\" (default: $KESTREL_DB, else\n"
             "$XDG_DATA_HOME/kestrel/production.sqlite)",
     .take = [](Options& o, const V& v) { o.database = v.text; }},
    {.name = "--log-dir",
     .argument = "DIR",
     .help = "(produce on several programmers) also write each programmer's whole log to\nDIR/BBB-DDD.log",
     .take = [](Options& o, const V& v) { o.logDir = v.text; }},
    {.name = "--station",
     .argument = "NAME",
     .help = "this station's name in the production database (default: the host name)",
     .take = [](Options& o, const V& v) { o.station = v.text; }},
    {.name = "--since",
     .argument = "DATE",
     .help = "(report) only chips started on or after DATE (2026-12-07, UTC)",
     .take = TakeSince},
    {.name = "--csv",
     .argument = "FILE",
     .help = "(report) write the chips to FILE as CSV instead of listing them",
     .take = [](Options& o, const V& v) { o.csv = v.text; }},
    {.name = "--count",
     .argument = "N",
     .help = "(produce) stop after N chips programmed, passed or failed; on several\nprogrammers N each",
     .take =
         [](Options& o, const V& v) {
           if (const auto n = Number(v, 1, 1000000)) o.count = *n;
         }},
    {.name = "--sim-absent",
     .help = "(with --simulate) no programmer on the bus",
     .needsSimulate = true,
     .take = [](Options& o, const V&) { o.simulator.absent = true; }},
    {.name = "--sim-fuses",
     .argument = "HEX6",
     .joinNext = ", ",
     .needsSimulate = true,
     .take = [](Options& o, const V& v) { o.simulator.fuses = HexBytes<3>(v); }},
    {.name = "--sim-lock",
     .argument = "HEX2",
     .help = "(with --simulate) the simulated chip's starting fuses and lock",
     .needsSimulate = true,
     .take = [](Options& o, const V& v) { o.simulator.lock = HexBytes<1>(v); }},
    {.name = "--sim-signature",
     .argument = "HEX6",
     .joinNext = ", ",
     .needsSimulate = true,
     .take = [](Options& o, const V& v) { o.simulator.signature = HexBytes<3>(v); }},
    {.name = "--sim-calibration",
     .argument = "HEX8",
     .joinNext = ", ",
     .needsSimulate = true,
     .take = [](Options& o, const V& v) { o.simulator.calibration = HexBytes<4>(v); }},
    {.name = "--sim-latency-ms",
     .argument = "N",
     .help = "(with --simulate) the simulated chip's signature and calibration bytes, and each\n"
             "request's delay in ms (default 0)",
     .needsSimulate = true,
     .take = [](Options& o, const V& v) { o.simulator.latencyMs = Number(v, 0, 60000).value_or(0); }},
    {.name = "--sim-fail-at",
     .argument = "N",
     .help = "(with --simulate) the N-th vendor request fails at once with -ETIMEDOUT",
     .needsSimulate = true,
     .take = [](Options& o, const V& v) { o.simulator.failAt = Number(v, 1, UINT32_MAX); }},
    {.name = "--sim-unplug-at",
     .argument = "N",
     .help = "(with --simulate) the programmer is gone (-ENODEV) from the N-th vendor request on",
     .needsSimulate = true,
     .take = [](Options& o, const V& v) { o.simulator.unplugAt = Number(v, 1, UINT32_MAX); }},
    {.name = "--sim-programmers",
     .argument = "N",
     .help = "(with --simulate) N programmers on the bus, each with its own chip",
     .fallback = "1",
     .needsSimulate = true,
     .take = [](Options& o, const V& v) { o.simulator.programmers = Number(v, 1, 99).value_or(1); }},
    {.name = "--sim-empty-replies",
     .help = "(with --simulate) requests whose reply is not used are answered with no data",
     .needsSimulate = true,
     .take = [](Options& o, const V&) { o.simulator.emptyReplies = true; }},
    {.name = "--sim-arrive-after-ms",
     .argument = "N",
     .help = "(with --simulate) the last programmer is plugged in N ms after the start",
     .needsSimulate = true,
     .take = [](Options& o,
                const V& v) { o.simulator.lastArrivesAfterMs = Number(v, 0, 3600000).value_or(0); }},
    {.name = "--sim-socket",
     .argument = "[P=]PLAN",
     .help = "(with --simulate) a socket on every programmer (on the P-th only, with P=) that the\n"
             "chips of PLAN pass through one after the other, each after a few empty polls and\n"
             "taken out after its run: comma-separated\n"
             "NAME[!fail-at=N][!unplug-at=N][!bits-stuck][*COUNT], as ATmega328P*5,ATtiny85",
     .needsSimulate = true,
     .take = [](Options& o, const V& v) { TakeSocketPlan(o.simulator, v); }},
    {.name = "--sim-socket-dump",
     .argument = "DIR",
     .help = "(with --simulate) write each socket chip's memories to DIR/chip-NNNN.txt; with\n"
             "several programmers, to DIR/BBB-DDD/chip-NNNN.txt",
     .needsSimulate = true,
     .take = [](Options& o, const V& v) { o.simulator.socketDump = v.text; }},
    {.name = "--sim-stats",
     .help = "(with --simulate) at exit, print the vendor requests, their bytes and the modelled\n"
             "link time on stderr",
     .needsSimulate = true,
     .take = [](Options& o, const V&) { o.simulator.stats = true; }},
    {.name = "--help",
     .alias = "-h",
     .joinNext = "; ",
     .endsParse = true,
     .take = [](Options& o, const V&) { o.help = true; }},
    {.name = "--version", .endsParse = true, .take = [](Options& o, const V&) { o.version = true; }},
};

}  // namespace

std::span<const CommandDescription> CommandTable() {
  return kCommands;
}
std::span<const OptionDescription> OptionTable() {
  return kOptions;
}
std::span<const AutoBoxDescription> AutoBoxTable() {
  return kAutoBoxes;
}
std::span<const ModeName> ModeTable() {
  return kModes;
}
std::span<const char* const> OutputFormatTable() {
  return kOutputFormats;
}

}  // namespace kestrel::cli
