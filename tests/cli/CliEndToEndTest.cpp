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
#include <sstream>
#include <tuple>
#include <utility>

#include "cli/CommandLine.h"
#include "image/HexFileReader.h"

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

// `arguments` as a shell reads them, the program run by `runner` when given, in the C locale
// unless `locale` names other variables.
CliRun RunCli(const std::string& arguments, const std::string& runner = "",
              const std::string& locale = "LANG=C") {
  const std::string stem = ::testing::TempDir() + "kestrel-cli-" + std::to_string(getpid());
  const std::string redirections = " </dev/null >'" + stem + ".out' 2>'" + stem + ".err'";
  const std::string environment = "env -u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LANG " + locale + " ";
  const int status =
      std::system((environment + runner + "'" KESTREL_CLI_PROGRAM "' " + arguments + redirections).c_str());
  const std::regex stamp("〖[0-9]{2}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}〗");
  CliRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1,
             std::regex_replace(ReadAll(stem + ".out"), stamp, "〖〗"), ReadAll(stem + ".err")};
  for (const char* end : {".out", ".err"}) std::remove((stem + end).c_str());
  return run;
}

const std::string kSimulated = "--simulate --catalogue '" KESTREL_SOURCE_DIR "/data/chip.txt' ";
const std::string kDemonstration =
    kSimulated +
    "--sim-empty-replies --chip ATmega328P --fuses 62D9FF --lock FF open-flash '" KESTREL_SOURCE_DIR
    "/data/examples/blink/blink.hex' " +
    "open-eeprom '" KESTREL_SOURCE_DIR "/data/examples/blink/blink.eep' " +
    "auto erase,write-flash,read-flash,verify-flash,write-eeprom,read-eeprom,verify-eeprom,fuses,lock";

// The demonstration, a run with failures and a whole-chip file, and explain-fuses, as one text
// with their statuses.
std::string LanguageRuns(const std::string& locale, const std::string& options = "",
                         std::string* stats = nullptr) {
  const std::string runs[] = {
      options + "--sim-stats " + kDemonstration,
      options + kSimulated +
          "--chip ATmega328P --keep-going --sim-fail-at 4 --fuses 6259FF write-fuses open-flash "
          "/nonexistent.hex write-flash read-flash verify-flash calibration open '" KESTREL_TEST_DATA
          "/elf/program.elf'",
      options + kSimulated + "--chip ATtiny13 --fuses 7AEFFF --lock FC explain-fuses"};
  std::string text;
  for (const std::string& arguments : runs) {
    const CliRun run = RunCli(arguments, "", locale);
    text += run.out + (arguments == runs[0] ? "" : run.err) + "exit " + std::to_string(run.status) + "\n";
    if (stats != nullptr && arguments == runs[0]) *stats = run.err;
  }
  return text;
}

// A character of the CJK scripts or their punctuation, but for the brackets and colons that
// frame time stamps, field lines, addresses and counts, which keep their form in every language.
bool HasCjk(const std::string& utf8) {
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t point = length == 1 ? lead : lead & (0x7Fu >> length);
    for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) point = point << 6 | (utf8[i + k] & 0x3F);
    i += length;
    if (point == U'〖' || point == U'〗' || point == U'【' || point == U'】' || point == U'：') continue;
    if ((point >= 0x2E80 && point <= 0x9FFF) || (point >= 0xF900 && point <= 0xFAFF) ||
        (point >= 0xFF00 && point <= 0xFFEF))
      return true;
  }
  return false;
}

// The C locale keeps the program's own lines exactly. English changes only words: the time
// stamps, field lines, exit statuses and every request sent to the chip stay the same.
TEST(CliRun, TheLanguageChangesTheWordsOnly) {
  std::string ownStats, englishStats;
  const std::string own = LanguageRuns("LANG=C", "", &ownStats);
  EXPECT_EQ(own, ReadAll(KESTREL_TEST_DATA "/cli/own-lines.txt"));
  EXPECT_EQ(LanguageRuns("LANG=zh_CN.UTF-8"), own);
  EXPECT_EQ(LanguageRuns("LANG=en_US.UTF-8", "--lang zh "), own);
  const std::string english = LanguageRuns("LANG=en_US.UTF-8", "", &englishStats);
  EXPECT_EQ(LanguageRuns("LANGUAGE=en"), english);
  EXPECT_EQ(LanguageRuns("LANG=C", "--lang en "), english);
  EXPECT_EQ(englishStats, ownStats);
  std::istringstream ownLines(own), englishLines(english);
  for (std::string a, b; std::getline(ownLines, a) && std::getline(englishLines, b);) {
    EXPECT_FALSE(HasCjk(b)) << b;
    const std::regex fieldOrStatus(
        "^(signature|calibration|fuse-lock|fuse [a-z]+ [A-Z0-9_]+=[0-9A-F]+|exit|〖〗).*");
    std::smatch field;
    if (std::regex_match(a, field, fieldOrStatus)) {
      EXPECT_TRUE(b.starts_with(field[1].str())) << a << "\n" << b;
    }
  }
  EXPECT_EQ(std::count(english.begin(), english.end(), '\n'), std::count(own.begin(), own.end(), '\n'));
}

// --fast-verify adds one line and shortens the FLASH read; --sim-stats writes only to stderr.
TEST(CliRun, FastVerifyAndSimStatsChangeOnlyWhatTheySay) {
  const CliRun plain = RunCli(kDemonstration), fast = RunCli("--fast-verify --sim-stats " + kDemonstration);
  const std::regex fastLine("快速校验：只读取写入过的 [0-9]+ 页（共 256 页），其余按擦除后的 FF 比较\n");
  EXPECT_EQ(std::regex_replace(fast.out, fastLine, ""), plain.out);
  EXPECT_NE(fast.out, plain.out);
  EXPECT_TRUE(std::regex_match(fast.err, std::regex("requests [0-9]+, bytes out [0-9]+, bytes in [0-9]+\n"
                                                    "modelled link time [0-9.]+ s \\(.*\\)\n")))
      << fast.err;
}

TEST(CliRun, KeepGoingRunsTheCommandsAfterAFailedOneWhereTheDefaultStops) {
  for (const std::string keepGoing : {"", "--keep-going "}) {
    const CliRun run = RunCli(keepGoing + kSimulated +
                              "--sim-programmers 2 --sim-fail-at 2 signature calibration read-fuses");
    EXPECT_EQ(run.status, kExitFailure) << run.out;
    EXPECT_TRUE(run.Says(
        "〖〗 编程器:就绪.\n找到2个编程器，已打开 001:002；用 --usb 总线:设备 选择\nsignature 1E：95：0F\n"
        "〖〗 ID读取OK\n〖〗 编程器接收数据超时.\n"))
        << run.out;
    EXPECT_EQ(run.Says("fuse-lock 62：D9：FF：FF\n〖〗 熔丝与锁定位读取OK\n"), !keepGoing.empty()) << run.out;
  }
}

// A file command answers its dialog with its FILE, and the files hold what was read.
TEST(CliRun, EachCommandPressesItsOwnButton) {
  const std::string in = KESTREL_TEST_DATA "/hex/program";  // with the tools' binaries of it
  const std::string out = ::testing::TempDir() + "kestrel-cli-saved-" + std::to_string(getpid());
  const CliRun run = RunCli(
      kSimulated + "--chip ' atmega328P' --lock FF --fuses 62D9FF open-flash '" + in +
      ".hex' write-flash read-flash verify-flash save-flash '" + out + ".bin' open-eeprom '" + in +
      ".eep' write-eeprom read-eeprom verify-eeprom save-eeprom '" + out + ".eep' write-lock unlock burn");
  EXPECT_EQ(run.status, kExitSuccess) << run.err;
  EXPECT_EQ(ReadAll(out + ".bin"), ReadAll(in + ".bin"));
  // A .eep is written as the HEX text it is read as.
  const std::string eeprom = ReadAll(in + "-eeprom.bin");
  std::vector<std::uint8_t> saved(eeprom.size(), 0xFF);
  EXPECT_EQ(image::ReadHexImage(ReadAll(out + ".eep"), saved, 1024).code, image::HexSuccess);
  EXPECT_EQ(std::string(saved.begin(), saved.end()), eeprom);
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
      {kSimulated + "--fuses E199 write-fuses", kExitFailure,
       "熔丝位文本“E199”无效：需要6个十六进制数字（低 高 扩），未写入\n", ""},
      {kSimulated + "--sim-signature 1E0000 erase", kExitFailure,
       "〖〗 编程器:就绪.\nsignature 1E：00：00\n〖〗 ID读取OK\n签名 1E 00 00 "
       "不属于器件资料中的任何芯片\n〖〗 其它原因\n运行失败：芯片不符\n",
       "无法识别芯片，请用 --chip 指定器件\n"},
      {"--simulate --sim-programmers 2 list", kExitSuccess,
       "programmer 001:002 Quintavel Vorne PGR\nprogrammer 001:003 Quintavel Vorne PGR\n", ""},
      {"--simulate --sim-programmers 3 --usb=001:004 list", kExitSuccess,
       "programmer 001:004 Quintavel Vorne PGR\n", ""},
      {"--simulate --sim-programmers 2 --sim-socket ATtiny85 --sim-socket 3=ATtiny85 list", kExitUsage, "",
       "kestrel-cli: --sim-socket: programmer 3 is not on the bus (--sim-programmers 2)" + usage},
      {"--simulate --sim-programmers 2 --usb all --job '" KESTREL_SOURCE_DIR
       "/data/examples/blink/blink.toml' --db /dev/null/p.sqlite --log-dir /dev/null/logs produce --count 1",
       kExitFailure, "", "kestrel-cli: --log-dir /dev/null/logs: Not a directory\n"},
      {"--simulate --job '" KESTREL_SOURCE_DIR
       "/data/examples/blink/blink.toml' --db /dev/null/p.sqlite produce",
       kExitFailure, "", "生产数据库 /dev/null/p.sqlite：unable to open database file\n"},
  };
  for (const auto& [arguments, status, out, err] : cases) {
    const CliRun run = RunCli(arguments);
    EXPECT_EQ(run.status, status) << arguments;
    EXPECT_EQ(run.out, out);
    EXPECT_EQ(run.err, err);
  }
}

// An ATtiny85 with DWEN programmed (and locked) is refused in ISP, shown and reset in HVSP.
TEST(CliRun, AChipLockedOutOfIspIsRescuedInHighVoltageMode) {
  const std::string isp = kSimulated + "--chip ATtiny85 --mode ISP ",
                    bricked = "--sim-fuses 629FFF --sim-lock FD ";
  EXPECT_TRUE(
      RunCli(isp + "--allow-lockout --fuses 629FFF write-fuses").Says("OK\nfuse-lock FF：FF：FF：FF\n"));
  EXPECT_EQ(RunCli(isp + bricked + "--no-signature-check erase").status, kExitSuccess);
  const CliRun refused = RunCli(isp + bricked + "erase");
  EXPECT_TRUE(refused.status == kExitFailure &&
              refused.Says("可用高压模式 HVSP 读取\n签名不符：所选器件 ATtiny85 的签名为 "
                           "1E 93 0B，读到的是 FF FF FF；未向芯片写入任何内容\n"));
  const CliRun rescue =
      RunCli(kSimulated + bricked + "--sim-signature 1E930B --mode HVSP describe-fuses factory-reset");
  EXPECT_TRUE(rescue.Says("\nchip ATtiny85\n") &&
              rescue.Says("\nfuse high DWEN=0  debugWIRE开启 debugWIRE on\n") &&
              rescue.Says("\nfuse lock LB=1  未列出的值 unlisted value\n") && rescue.status == kExitSuccess &&
              rescue.out.ends_with("fuse-lock 62：DF：FF：FF\n〖〗 熔丝与锁定位读取OK\n〖〗 恢复出厂OK\n"))
      << rescue.out;
  EXPECT_EQ(RunCli(isp + "--sim-fuses 62DFFF erase").status, kExitSuccess);
}

// A plan refused before the first request: the reasons and the closing line end the output,
// the run fails, and the programmer carried no request at all.
TEST(CliRun, ARefusedPlanSendsNothing) {
  const std::string file = ::testing::TempDir() + "kestrel-rstdisbl-" + std::to_string(getpid()) + ".hex";
  // A whole-chip ATmega328P file: FLASH, fuses 62 59 FF (RSTDISBL programmed), lock FF, signature.
  std::ofstream(file) << ":020000000C945E\n:02000004008278\n:030000006259FF43\n:02000004008377\n"
                         ":01000000FF00\n:02000004008476\n:030000000F951E3B\n:00000001FF\n";
  const std::string tiny = file + ".attiny85.hex";  // FLASH and the ATtiny85's signature only
  std::ofstream(tiny) << ":020000000C945E\n:02000004008476\n:030000000B931E41\n:00000001FF\n";
  const std::string refused = "运行未开始：输入被拒绝，未向芯片发送任何内容\n";
  const std::string lockout =
      "熔丝高位 "
      "RSTDISBL：复位引脚将变为普通I/"
      "O，ISP将无法访问芯片\nISP模式下拒绝写入会锁死ISP的熔丝位，熔丝位未写入\n" +
      refused;
  const std::string isp = "--sim-stats " + kSimulated + "--chip ATmega328P --mode ISP ";
  const std::string nothingSent = "requests 0, bytes out 0, bytes in 0\n";
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {isp + "auto write-flash", "FLASH窗口页没有载入文件，FLASH编程未进行\n" + refused, nothingSent},
      {isp + "restore '" + file + "'", lockout, nothingSent},
      {isp + "--fuses 6259FF --lock FF open-flash '" KESTREL_TEST_DATA "/hex/program.hex' burn", lockout,
       nothingSent},
      // No --chip: the file's own signature chooses the ATtiny85, so the ATmega328P in the socket is refused
      // after the one signature read.
      {"--sim-stats " + kSimulated + "--mode ISP open-flash '" + tiny + "' write-flash",
       "签名不符：所选器件 ATtiny85 的签名为 1E 93 0B，读到的是 1E 95 0F；未向芯片写入任何内容\n〖",
       "requests 1, bytes out 0, bytes in 8\n"},
  };
  for (const auto& [arguments, lines, sent] : cases) {
    const CliRun run = RunCli(arguments);
    EXPECT_EQ(run.status, kExitFailure) << arguments;
    EXPECT_NE(run.out.find(lines), std::string::npos) << run.out;
    EXPECT_TRUE(run.err.starts_with(sent)) << run.err;
  }
  std::remove(file.c_str());
  std::remove(tiny.c_str());
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
