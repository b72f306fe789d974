// kestrel-cli as a script runs it: the built program against its simulated programmer.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>

#include "CliProcess.h"

namespace kestrel::cli::testing {
namespace {

const std::string kHex = KESTREL_TEST_DATA "/hex/program.hex";  // avr-gcc + avr-objcopy
const std::string kBin = KESTREL_TEST_DATA "/hex/program.bin";
const std::string kEep = KESTREL_TEST_DATA "/hex/program.eep";
const std::string kEepBin = KESTREL_TEST_DATA "/hex/program-eeprom.bin";

const std::regex kStamped("^〖[0-9]{2}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}〗 .+");

bool Stamped(const std::string& line, const std::string& text) {
  return std::regex_match(line, kStamped) && line.size() > text.size() &&
         line.compare(line.size() - text.size(), text.size(), text) == 0;
}

TEST(CliStartUp, TheFirstLineIsTheReadyLineAndFieldsFollowTheirReads) {
  const CliRun run =
      RunCli(Simulated328P({"--sim-signature", "1e9587", "signature", "calibration", "read-fuses", "unlock"}));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  ASSERT_EQ(run.lines.size(), 8u) << run.out;
  EXPECT_TRUE(Stamped(run.lines[0], "编程器:就绪.")) << run.lines[0];
  EXPECT_EQ(run.lines[1], "signature 1E：95：87");
  EXPECT_TRUE(Stamped(run.lines[2], "ID读取OK"));
  EXPECT_EQ(run.lines[3], "calibration A0：B1：9F：C2");
  EXPECT_TRUE(Stamped(run.lines[4], "标定字节读取OK"));
  EXPECT_EQ(run.lines[5], "fuse-lock 62：D9：FF：FF");
  EXPECT_TRUE(Stamped(run.lines[6], "熔丝与锁定位读取OK"));
  EXPECT_TRUE(Stamped(run.lines[7], "解锁OK"));
}

TEST(CliStartUp, NoProgrammerShowsTheMessageOnStderrAndStops) {
  const CliRun run = RunCli(Simulated328P({"--sim-absent", "signature"}));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("\t请插入编程器!\n"), std::string::npos) << run.err;
}

TEST(CliStartUp, AMissingCatalogueReportsWhereItLookedAndFails) {
  const std::string missing = TempPath("no-such-chip.txt");
  for (const auto& chip : {std::vector<std::string>{}, std::vector<std::string>{"--chip", "ATmega328P"}}) {
    std::vector<std::string> arguments = {"--simulate", "--catalogue", missing};
    arguments.insert(arguments.end(), chip.begin(), chip.end());
    arguments.push_back("signature");
    const CliRun run = RunCli(arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(missing), std::string::npos) << run.err;
  }
}

TEST(CliStartUp, TheChipNameIsComparedCaseBlindWithoutSurroundingBlanks) {
  // ATtiny24 has 64 FLASH pages, the start-up geometry 32: only with the chip picked does the
  // read reach request 65, its closing Ready.
  const std::vector<std::string> base = {"--simulate", "--catalogue", KESTREL_SOURCE_DIR "/data/chip.txt",
                                         "--sim-fail-at", "65", "read-flash"};
  std::vector<std::string> picked = base;
  picked.insert(picked.begin(), {"--chip", "  attiny24\t"});
  const CliRun run = RunCli(picked);
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_TRUE(run.HasLineContaining("结束传送")) << run.out;

  const CliRun unpicked = RunCli(base);
  EXPECT_EQ(unpicked.status, 0) << unpicked.out;
}

TEST(CliRoundTrip, FlashAndEepromWrittenReadVerifiedAndSavedMatchTheToolsBinaries) {
  const std::string flash = TempPath("flash.bin");
  const std::string eeprom = TempPath("eeprom.bin");
  const CliRun run = RunCli(Simulated328P({"open-flash", kHex, "write-flash", "read-flash", "verify-flash",
                                           "save-flash", flash, "open-eeprom", kEep, "write-eeprom",
                                           "read-eeprom", "verify-eeprom", "save-eeprom", eeprom}));
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.err, "") << "no progress bar when stderr is not a terminal";
  // Saved as far as the last byte that is not erased, which is where the tool's binary ends.
  EXPECT_EQ(ReadFileBytes(flash), ReadFileBytes(kBin));
  EXPECT_EQ(ReadFileBytes(eeprom), ReadFileBytes(kEepBin));
  EXPECT_EQ(run.CountLinesContaining("共发现     0个单元不对!"), 2);
  EXPECT_TRUE(run.HasLineContaining("FLASH编程OK"));
  EXPECT_TRUE(run.HasLineContaining("EEPROM读取OK"));
}

TEST(CliVerify, WritingOverUnerasedFlashIsReportedByteByByte) {
  // A second image written without an erase can only clear bits: the chip ends up with the
  // AND of both, which differs from the second image wherever the first held a zero bit. The
  // second image ends with the program's last byte, so that both have the same data total.
  const std::string second = TempPath("second.hex");
  std::ofstream(second) << ":0400000055555555A8\n:01014D00CFE2\n:00000001FF\n";
  const CliRun run = RunCli(Simulated328P({"open-flash", kHex, "write-flash", "open-flash", second, "write-flash",
                                           "read-flash", "verify-flash", "signature"}));
  EXPECT_EQ(run.status, 1);
  const int begin = run.IndexOfLineContaining("FLASH效验开始");
  ASSERT_GE(begin, 0) << run.out;
  // program.bin begins 0C 94 34 00: 0x0C & 0x55 = 0x04.
  EXPECT_EQ(run.lines[static_cast<std::size_t>(begin) + 1], "〖000001〗地址：【00000】写：55  读：04");
  EXPECT_GT(run.CountLinesContaining("地址：【"), 100);
  EXPECT_FALSE(run.HasLineContaining("地址：【0014d】"));
  EXPECT_TRUE(run.HasLineContaining("FLASH效验结束"));
  EXPECT_FALSE(run.HasLineContaining("ID读取OK")) << "stops after the failed command";
}

TEST(CliFailures, ATimeOutInTheMiddleOfATransferGivesTheThreeLinesAndTheKeptFailure) {
  const std::vector<std::string> arguments = {"--sim-fail-at", "2", "open-flash", kHex, "write-flash", "signature"};
  const CliRun run = RunCli(Simulated328P(arguments));
  EXPECT_EQ(run.status, 1);
  const int timeout = run.IndexOfLineContaining("编程器接收数据超时.");
  ASSERT_GE(timeout, 0) << run.out;
  const auto at = [&](int i) { return run.lines[static_cast<std::size_t>(i)]; };
  EXPECT_TRUE(Stamped(at(timeout - 1), "FLASH编程开始"));
  EXPECT_TRUE(Stamped(at(timeout + 1), "通讯出错."));
  // The engine's own account of the failure: which page, which libusb error.
  const int other = run.IndexOfLineContaining("其它原因");
  ASSERT_GT(other, timeout + 1);
  EXPECT_NE(run.out.find("第 1 页"), std::string::npos) << run.out;
  EXPECT_EQ(at(timeout).substr(0, at(timeout).find("〗")), at(other).substr(0, at(other).find("〗")))
      << "one dispatch, one time stamp";
  EXPECT_FALSE(run.HasLineContaining("FLASH编程OK"));
  EXPECT_FALSE(run.HasLineContaining("ID读取OK")) << "stops after the failed command";

  std::vector<std::string> keepGoing = arguments;
  keepGoing.insert(keepGoing.begin(), "--keep-going");
  const CliRun going = RunCli(Simulated328P(keepGoing));
  EXPECT_EQ(going.status, 1);
  EXPECT_TRUE(going.HasLine("signature 1E：95：0F"));
}

TEST(CliFailures, AProgrammerGoneFailsEveryCommandFromThenOn) {
  const CliRun run = RunCli(
      Simulated328P({"--keep-going", "--sim-unplug-at", "2", "open-flash", kHex, "write-flash", "signature"}));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.CountLinesContaining("通讯出错."), 2) << run.out;
  EXPECT_FALSE(run.HasLineContaining("FLASH编程OK"));
  EXPECT_FALSE(run.HasLineContaining("ID读取OK"));
}

TEST(CliFailures, BadFuseTextIsRefusedWithoutSendingTheWrite) {
  // If the write went out it would be request 1 and the fuse read request 2, which fails.
  const CliRun refused = RunCli(Simulated328P({"--fuses", "ZZ", "--sim-fail-at", "2", "write-fuses"}));
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(refused.HasLineContaining("熔丝位文本“ZZ”无效")) << refused.out;
  EXPECT_FALSE(refused.HasLineContaining("熔丝位编程OK"));
  EXPECT_FALSE(refused.HasLineContaining("超时"));
  EXPECT_TRUE(refused.HasLine("fuse-lock 62：D9：FF：FF"));

  const CliRun written = RunCli(Simulated328P({"--fuses", "E199FF", "write-fuses"}));
  EXPECT_EQ(written.status, 0) << written.out;
  EXPECT_TRUE(written.HasLine("fuse-lock E1：99：FF：FF"));
}

TEST(CliFailures, AnUnreadableFileFailsTheCommand) {
  const CliRun run = RunCli(Simulated328P({"open-flash", TempPath("absent.hex"), "signature"}));
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_FALSE(run.HasLineContaining("ID读取OK"));
}

TEST(CliExitStatus, UsageErrorsExitWithTwoBeforeAnythingRuns) {
  const std::vector<std::string> cases[] = {
      {"--simulate", "frobnicate"},
      {"--simulate", "open-flash"},
      Simulated328P({"auto", "erase,flash"}),
      {"--simulate", "--catalogue", KESTREL_SOURCE_DIR "/data/chip.txt", "--chip", "ATmega999", "signature"},
  };
  for (const auto& arguments : cases) {
    const CliRun run = RunCli(arguments);
    EXPECT_EQ(run.status, 2) << arguments.back() << ": " << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("kestrel-cli: "), std::string::npos);
  }
}

TEST(CliExitStatus, HelpAndVersionSucceed) {
  EXPECT_EQ(RunCli({"--help"}).status, 0);
  const CliRun version = RunCli({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(std::regex_match(version.out, std::regex("kestrel-cli [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << version.out;
}

TEST(CliSequences, AutoWithEveryBoxRunsTheTenOperationsInOrder) {
  const CliRun run = RunCli(Simulated328P(
      {"--lock", "FF", "open-flash", kHex, "open-eeprom", kEep, "auto",
       "lock,fuses,verify-eeprom,read-eeprom,write-eeprom,verify-flash,read-flash,write-flash,erase"}));
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  // The queue's order itself is the control tests' business; here every box must take part.
  const char* order[] = {"擦除OK",       "FLASH编程OK",    "FLASH读取OK",  "FLASH效验结束",
                         "EEPROM编程OK", "EEPROM读取OK",   "EEPROM效验结束", "熔丝位编程OK",
                         "锁定位编程OK", "熔丝与锁定位读取OK"};
  int at = 0;
  for (const char* step : order) {
    at = run.IndexOfLineContaining(step, at);
    ASSERT_GE(at, 0) << step << " missing or out of order\n" << run.out;
  }
}

TEST(CliTimeStamp, KeepsItsFormUnderEveryLocaleOfTheEnvironment) {
  const std::vector<std::pair<std::string, std::string>> environments[] = {
      {{"LC_ALL", "C.UTF-8"}},
      {{"LC_ALL", "ja_JP.UTF-8"}},  // absent here: the program must not depend on it either
      {{"LC_ALL", ""}, {"LANG", "de_DE.UTF-8"}, {"LC_TIME", "en_US.UTF-8"}},
  };
  for (const auto& environment : environments) {
    const CliRun run = RunCli(Simulated328P({"signature", "erase"}), environment);
    ASSERT_EQ(run.status, 0) << environment.front().second << run.err;
    int stamped = 0;
    for (const std::string& line : run.lines) {
      if (line.rfind("〖", 0) != 0) continue;
      EXPECT_TRUE(std::regex_match(line, kStamped)) << environment.front().second << ": " << line;
      ++stamped;
    }
    EXPECT_EQ(stamped, 4) << run.out;  // ready, ID, erase, fuse and lock read
  }
}

}  // namespace
}  // namespace kestrel::cli::testing
