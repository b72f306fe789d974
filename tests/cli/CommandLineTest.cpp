#include <gtest/gtest.h>

#include <fstream>
#include <iomanip>
#include <iterator>
#include <sstream>

#include "cli/CommandLine.h"

namespace kestrel::cli {
namespace {

// Every field of the parse of `line` (split at blanks) in one text, defaults as "-".
std::string Parsed(const std::string& line) {
  std::istringstream words(line);
  const ParseResult r = ParseCommandLine({std::istream_iterator<std::string>(words), {}});
  const Options& o = r.options;
  const SimulatorChoice& s = o.simulator;
  std::ostringstream text;
  text << r.error << '|' << o.simulate << o.keepGoing << s.absent << o.help << o.version << ' '
       << o.chip.value_or("-") << ' ' << static_cast<int>(o.mode) << ' ' << o.catalogue.value_or("-") << ' '
       << o.fuses.value_or("-") << ' ' << o.lock.value_or("-") << ' ' << s.latencyMs << ' '
       << s.failAt.value_or(0) << ' ' << s.unplugAt.value_or(0) << std::hex;
  for (int b : s.signature.value_or(std::array<std::uint8_t, 3>{})) text << ' ' << b;
  for (int b : s.calibration.value_or(std::array<std::uint8_t, 4>{})) text << ' ' << b;
  for (const Command& c : o.commands) {
    const control::AutoSelection& b = c.boxes;
    text << ' ' << c.description->name << '(' << c.path;
    if (c.description->argument == ArgumentKind::AutoList)
      text << b.eraseChip << b.writeFlash << b.readFlash << b.verifyFlash << b.writeEeprom << b.readEeprom
           << b.verifyEeprom << b.writeFuses << b.writeLock;
    text << ')';
  }
  return text.str();
}

// Each line gives these fields, or an error text that begins so.
TEST(CommandLine, EachLineGivesItsFieldsOrNamesWhatIsWrong) {
  const std::pair<std::string, std::string> cases[] = {
      {"--simulate --keep-going --sim-absent --chip=atmega328p --mode Hvsp --catalogue c --fuses 62D9FF "
       "--lock=3C --sim-latency-ms 60000 --sim-fail-at 1 --sim-unplug-at 4294967295 --sim-signature 1e950f "
       "--sim-calibration=A0B19FC2 erase",
       "|11100 atmega328p 2 c 62D9FF 3C 60000 1 4294967295 1e 95 f a0 b1 9f c2 erase()"},
      {"open f open-flash --simulate save-eeprom - auto read-flash,fuses auto none burn",
       "|00000 - 0 - - - 0 0 0 0 0 0 0 0 0 0 open(f) open-flash(--simulate) save-eeprom(-) auto(001000010) "
       "auto(000000000) burn()"},
      {"--mode PP_2313 unlock --help --bogus", "|00010 - 3 - - - 0 0 0 0 0 0 0 0 0 0 unlock()"},
      {"--version=1 frob", "|00001 - 0 - - - 0 0 0 0 0 0 0 0 0 0"},
      {"--fuses 62D9FF auto erase,lock", "auto with lock needs --lock (no default"},
      {"write-fuses", "write-fuses needs --fuses (no default: a wrong fuse text can lock a chip out)|"},
      {"--fuses 62D9FF explain-fuses", "explain-fuses needs --chip|"},
      {"", "no command given|"},
      {"sign", "unknown command sign|"},
      {"--frobnicate signature", "unknown option --frobnicate|"},
      {"--simulate=yes signature", "unknown option --simulate=yes|"},
      {"signature --chip", "--chip needs an argument|"},
      {"open-flash", "open-flash needs an argument|"},
      {"--mode PP20 signature", "unknown mode PP20 (PP_20, PP_2313, ISP or HVSP)|"},
      {"auto erase,frob",
       "unknown Auto box \"frob\" (erase, write-flash, read-flash, verify-flash, write-eeprom, read-eeprom, "
       "verify-eeprom, fuses, lock, or none alone)|"},
      {"auto none,erase", "unknown Auto box \"none\" ("},
      {"--simulate --sim-fail-at 0 signature", "--sim-fail-at: \"0\" is not a whole number from 1 to 42"},
      {"--simulate --sim-unplug-at=4294967296 signature", "--sim-unplug-at: \"4294967296\" is not a whole"},
      {"--simulate --sim-signature 1E950 signature", "--sim-signature: \"1E950\" is not 6 hex digits|"},
      {"--simulate --sim-calibration A0B19FCG signature", "--sim-calibration: \"A0B19FCG\" is not 8 hex"},
      {"--sim-fail-at=3 --sim-absent signature", "--sim-fail-at needs --simulate|"},
  };
  for (const auto& [line, expected] : cases) EXPECT_EQ(Parsed(line).substr(0, expected.size()), expected);
}

// Name and argument of each ".B name", ".BI name \" ARG\"" or ".BR name \", \" name" heading.
std::vector<std::string> ManPageEntries(const std::string& section) {
  std::ifstream page(KESTREL_SOURCE_DIR "/packaging/kestrel-cli.1.in");
  std::vector<std::string> entries;
  bool inside = false, heading = false;
  for (std::string line; std::getline(page, line); heading = inside && line == ".TP") {
    for (std::size_t at; (at = line.find("\\-")) != std::string::npos;) line.erase(at, 1);
    if (line.starts_with(".SH ")) inside = line == ".SH " + section;
    std::istringstream words(heading ? line : "");
    std::string macro, part;
    std::vector<std::string> parts;
    for (words >> macro; words >> std::quoted(part);) parts.push_back(part);
    for (std::size_t i = 0; i < parts.size(); i += 2)
      entries.push_back(parts[i] + (macro == ".BI" && i + 1 < parts.size() ? parts[i + 1] : ""));
  }
  return entries;
}

TEST(CommandLine, HelpAndManPageDescribeExactlyTheOptionsAndCommandsOfTheTables) {
  std::vector<std::string> options, commands;
  for (const OptionDescription& o : OptionTable()) {
    if (o.alias) options.push_back(o.alias);
    options.push_back(o.name + (o.argument ? " " + std::string(o.argument) : ""));
  }
  for (const CommandDescription& c : CommandTable())
    commands.push_back(c.name + std::string(ArgumentName(c.argument)));
  EXPECT_EQ(ManPageEntries("OPTIONS"), options);
  EXPECT_EQ(ManPageEntries("COMMANDS"), commands);
  const std::string lines = "no default\n  --lock TEXT           lock";
  EXPECT_NE(HelpText().find(lines), std::string::npos) << "help texts line up";
}

}  // namespace
}  // namespace kestrel::cli
