// The built kestrel-cli as a script runs it, against its simulated programmer.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <tuple>

#include "cli/CommandLine.h"

namespace kestrel::cli {
namespace {

struct CliRun {
  int status = -1;       // -1 when the program did not exit normally
  std::string out, err;  // time stamps in `out` emptied: 〖〗
  bool Says(const std::string& lines) const { return out.find(lines) != std::string::npos; }
};

std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// `arguments` as a shell reads them, the program run by `runner` when given.
CliRun RunCli(const std::string& arguments, const std::string& runner = "") {
  const std::string stem = ::testing::TempDir() + "kestrel-cli-" + std::to_string(getpid());
  const std::string redirections = " </dev/null >'" + stem + ".out' 2>'" + stem + ".err'";
  const int status = std::system((runner + "'" KESTREL_CLI_PROGRAM "' " + arguments + redirections).c_str());
  const std::regex stamp("〖[0-9]{2}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}〗");
  CliRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1,
             std::regex_replace(ReadAll(stem + ".out"), stamp, "〖〗"), ReadAll(stem + ".err")};
  for (const char* end : {".out", ".err"}) std::remove((stem + end).c_str());
  return run;
}

const std::string kSimulated = "--simulate --catalogue '" KESTREL_SOURCE_DIR "/data/chip.txt' ";
const std::string kDemonstration =
    kSimulated +
    "--sim-empty-replies --chip ATmega328P open-flash '" KESTREL_SOURCE_DIR
    "/data/examples/blink/blink.hex' " +
    "open-eeprom '" KESTREL_SOURCE_DIR "/data/examples/blink/blink.eep' " +
    "auto erase,write-flash,read-flash,verify-flash,write-eeprom,read-eeprom,verify-eeprom,fuses,lock";

TEST(CliRun, TheDemonstrationRunsEveryAutoBoxAndSucceeds) {
  const CliRun run = RunCli(kDemonstration);
  EXPECT_EQ(run.status, kExitSuccess);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, R"(〖〗 编程器:就绪.
读入文件 blink.hex 到FLASH窗口页【   324字节】.
读入文件 blink.eep 到EEPROM窗口页【    18字节】.
〖〗 擦除OK
〖〗 FLASH编程开始
〖〗 FLASH编程OK
〖〗 FLASH读取开始
〖〗 FLASH读取OK，显示在FLASH窗口页
-------------------FLASH效验开始------------------
共发现     0个单元不对!
-------------------FLASH效验结束------------------
〖〗 EEPROM编程开始
〖〗 EEPROM编程OK
〖〗 EEPROM读取开始
〖〗 EEPROM读取OK，显示在EEPROM窗口页
-------------------EEPROM效验开始------------------
共发现     0个单元不对!
-------------------EEPROM效验结束------------------
〖〗 熔丝位编程OK
〖〗 锁定位编程OK
fuse-lock E1：99：FF：FF
〖〗 熔丝与锁定位读取OK
)");
}

TEST(CliRun, AFailedRequestFailsTheRun) {
  const CliRun run = RunCli("--sim-fail-at 3 " + kDemonstration);
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_TRUE(run.Says("〖〗 编程器接收数据超时.\n〖〗 通讯出错.\n〖〗 其它原因\n通讯失败：写FLASH 第 1 页"));
}

TEST(CliRun, KeepGoingRunsTheCommandsAfterAFailedOneWhereTheDefaultStops) {
  for (const std::string keepGoing : {"", "--keep-going "}) {
    const CliRun run = RunCli(keepGoing + kSimulated + "--sim-fail-at 2 signature calibration read-fuses");
    EXPECT_EQ(run.status, kExitFailure) << run.out;
    EXPECT_TRUE(run.Says("signature 1E：95：0F\n〖〗 ID读取OK\n〖〗 编程器接收数据超时.\n")) << run.out;
    EXPECT_EQ(run.Says("fuse-lock 62：D9：FF：FF\n〖〗 熔丝与锁定位读取OK\n"), !keepGoing.empty()) << run.out;
  }
}

// Each command leaves the lines of its own button, in turn; the files hold what was read.
TEST(CliRun, EachCommandPressesItsOwnButton) {
  const std::string in = KESTREL_TEST_DATA "/hex/program";  // with the tools' binaries of it
  const std::string out = ::testing::TempDir() + "kestrel-cli-saved-" + std::to_string(getpid());
  const CliRun run =
      RunCli(kSimulated + "--chip ' atmega328P' signature calibration read-fuses write-fuses " +
             "write-lock open-flash '" + in + ".hex' write-flash read-flash verify-flash save-flash '" + out +
             ".bin' open-eeprom '" + in + ".eep' write-eeprom read-eeprom verify-eeprom save-eeprom '" + out +
             ".eep' erase unlock burn");
  EXPECT_EQ(run.status, kExitSuccess) << run.err;
  std::size_t at = 0;
  for (const char* line :
       {"signature 1E：95：0F\n", "标定字节读取OK", "fuse-lock 62：D9：FF：FF",
        "熔丝位编程OK\nfuse-lock E1：99", "锁定位编程OK", "读入文件 program.hex", "FLASH编程OK",
        "FLASH读取OK", "FLASH效验结束", "FLASH窗口中数据保存", "读入文件 program.eep", "EEPROM编程OK",
        "EEPROM读取OK", "EEPROM效验结束", "EEPROM窗口中数据保存", "擦除OK", "解锁OK",
        "ID读取OK\ncalibration A0：B1：9F：C2\n〖〗 标定字节读取OK\n〖〗 擦除OK\n〖〗 FLASH编程开始"})
    ASSERT_NE(at = run.out.find(line, at), std::string::npos) << line << " missing or out of turn\n"
                                                              << run.out;
  EXPECT_EQ(ReadAll(out + ".bin"), ReadAll(in + ".bin"));
  EXPECT_EQ(ReadAll(out + ".eep"), ReadAll(in + "-eeprom.bin"));
  for (const char* end : {".bin", ".eep"}) std::remove((out + end).c_str());
}

// An unknown chip is a usage error too, though the session finds it, not the parser.
TEST(CliRun, RunsThatEndBeforeTheFirstCommandExitAtOnce) {
  const std::string usage = "\nTry 'kestrel-cli --help'.\n";
  const std::tuple<std::string, int, std::string, std::string> cases[] = {
      {"--help", kExitSuccess, HelpText(), ""},
      {"--version", kExitSuccess, "kestrel-cli " KESTREL_VERSION "\n", ""},
      {"frobnicate", kExitUsage, "", "kestrel-cli: unknown command frobnicate" + usage},
      {"--sim-fail-at 3 signature", kExitUsage, "", "kestrel-cli: --sim-fail-at needs --simulate" + usage},
      {kSimulated + "--chip ATmega999 signature", kExitUsage, "",
       "kestrel-cli: no chip named \"ATmega999\" in " KESTREL_SOURCE_DIR "/data/chip.txt" + usage},
      {kSimulated + "--sim-absent signature", kExitFailure, "",
       "\t请插入编程器!\n作者：Quintavel 工作室  联系：support@quintavel.example\n"},
      {kSimulated + "--usb 001:009 signature", kExitFailure, "", "找不到编程器 001:009\n"},
      {"--simulate --sim-programmers 2 list", kExitSuccess,
       "programmer 001:002 Quintavel Vorne PGR\nprogrammer 001:003 Quintavel Vorne PGR\n", ""},
      {"--simulate --sim-programmers 3 --usb=001:004 list", kExitSuccess,
       "programmer 001:004 Quintavel Vorne PGR\n", ""},
  };
  for (const auto& [arguments, status, out, err] : cases) {
    const CliRun run = RunCli(arguments);
    EXPECT_EQ(run.status, status) << arguments;
    EXPECT_EQ(run.out, out);
    EXPECT_EQ(run.err, err);
  }
}

// Of several programmers a run opens the first and says how to choose.
TEST(CliRun, ARunSaysWhichOfSeveralProgrammersItOpened) {
  const std::string lines = "〖〗 编程器:就绪.\n找到2个编程器，已打开 001:002；用 --usb 总线:设备 选择\n";
  EXPECT_TRUE(RunCli(kSimulated + "--sim-programmers 2 signature").Says(lines));
}

// A save past the file-size limit fails as any failed save does, and leaves no file behind.
TEST(CliRun, ASaveBeyondTheFileSizeLimitFailsAndLeavesNothingBehind) {
  const std::string dir = ::testing::TempDir() + "kestrel-fsize-" + std::to_string(getpid());
  ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
  const std::string flash = "open-flash '" KESTREL_TEST_DATA "/hex/rand32k.bin' write-flash read-flash ";
  const CliRun run = RunCli(kSimulated + "--chip ATmega328P " + flash + "save-flash '" + dir + "/keep.bin'",
                            "prlimit --fsize=4096 ");
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_TRUE(run.Says("保存文件 " + dir + "/keep.bin 失败：")) << run.out;
  EXPECT_EQ(rmdir(dir.c_str()), 0) << "a file is left in " << dir;
}

}  // namespace
}  // namespace kestrel::cli
