#include "cli/CommandLine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace kestrel::cli {
namespace {

ParseResult Parse(std::vector<std::string> arguments) { return ParseCommandLine(arguments); }

// The end-to-end tests run every other command name.
TEST(CommandLine, ACommandsFileIsTakenVerbatimEvenWhenItLooksLikeAnOption) {
  const ParseResult r = Parse({"open-flash", "--simulate", "write-lock", "save-eeprom", "-", "burn"});
  ASSERT_EQ(r.error, "");
  ASSERT_EQ(r.options.commands.size(), 4u);
  EXPECT_EQ(r.options.commands[0].path, "--simulate");
  EXPECT_EQ(r.options.commands[1].kind, CommandKind::WriteLock);
  EXPECT_EQ(r.options.commands[2].kind, CommandKind::SaveEeprom);
  EXPECT_EQ(r.options.commands[2].path, "-");
  EXPECT_EQ(r.options.commands[3].kind, CommandKind::Burn);
  EXPECT_FALSE(r.options.simulate);
}

TEST(CommandLine, OptionsStandAnywhereInBothForms) {
  const ParseResult r = Parse({"signature", "--simulate", "--chip=  atmega328p ", "erase", "--fuses", "62D9FF",
                               "--lock=3C", "--keep-going", "--sim-signature", "1e950f",
                               "--sim-calibration=A0B19FC2", "--sim-unplug-at=4294967295"});
  ASSERT_EQ(r.error, "");
  const Options& o = r.options;
  EXPECT_TRUE(o.simulate && o.keepGoing);
  EXPECT_EQ(o.chip, "  atmega328p ");
  EXPECT_EQ(o.fuses, "62D9FF");
  EXPECT_EQ(o.lock, "3C");
  EXPECT_EQ(o.simulator.signature, (std::array<std::uint8_t, 3>{0x1E, 0x95, 0x0F}));
  EXPECT_EQ(o.simulator.calibration, (std::array<std::uint8_t, 4>{0xA0, 0xB1, 0x9F, 0xC2}));
  EXPECT_EQ(o.simulator.unplugAt, 4294967295u);
  EXPECT_EQ(o.commands.size(), 2u);
}

TEST(CommandLine, ModesGiveTheirWireValuesCaseBlind) {
  const std::pair<const char*, int> modes[] = {{"PP_20", 0}, {"isp", 1}, {"Hvsp", 2}, {"PP_2313", 3}};
  for (const auto& [name, value] : modes) {
    const ParseResult r = Parse({"--mode", name, "signature"});
    ASSERT_EQ(r.error, "") << name;
    EXPECT_EQ(r.options.mode, value) << name;
  }
}

TEST(CommandLine, AutoListSetsExactlyTheNamedBoxes) {
  const auto some = ParseAutoList("read-flash,fuses");
  ASSERT_TRUE(some);
  control::AutoSelection expected;
  expected.readFlash = true;
  expected.writeFuses = true;
  EXPECT_EQ(std::memcmp(&*some, &expected, sizeof expected), 0);
  const auto none = ParseAutoList("none");
  ASSERT_TRUE(none);
  const control::AutoSelection empty;
  EXPECT_EQ(std::memcmp(&*none, &empty, sizeof empty), 0);

  std::string bad;
  EXPECT_FALSE(ParseAutoList("erase,,lock", &bad));
  EXPECT_EQ(bad, "");
  EXPECT_FALSE(ParseAutoList("erase,none", &bad));
  EXPECT_EQ(bad, "none");
  for (const char* list : {"Erase", "", "erase,"}) EXPECT_FALSE(ParseAutoList(list, &bad)) << list;
}

TEST(CommandLine, UsageErrorsNameWhatIsWrong) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, "no command given"},
      {{"sign"}, "unknown command sign"},
      {{"--frobnicate", "signature"}, "unknown option --frobnicate"},
      {{"--simulate=yes", "signature"}, "unknown option --simulate=yes"},
      {{"signature", "--chip"}, "--chip needs an argument"},
      {{"open-flash"}, "open-flash needs an argument"},
      {{"--mode", "PP20", "signature"}, "unknown mode PP20"},
      {{"auto", "erase,frob"}, "unknown Auto box \"frob\""},
      {{"--simulate", "--sim-fail-at", "0", "signature"}, "--sim-fail-at: \"0\""},
      {{"--simulate", "--sim-unplug-at", "4294967296", "signature"}, "--sim-unplug-at: \"4294967296\""},
      {{"--simulate", "--sim-signature", "1E950", "signature"}, "--sim-signature: \"1E950\" is not 6"},
      {{"--simulate", "--sim-calibration", "A0B19FCG", "signature"}, "--sim-calibration: \"A0B19FCG\" is not 8"},
      {{"--sim-fail-at", "3", "signature"}, "--sim-fail-at needs --simulate"},
  };
  for (const auto& [arguments, message] : cases) {
    const ParseResult r = Parse(arguments);
    EXPECT_NE(r.error.find(message), std::string::npos)
        << "arguments starting " << (arguments.empty() ? "" : arguments.front()) << ": got \"" << r.error << "\"";
  }
}

}  // namespace
}  // namespace kestrel::cli
