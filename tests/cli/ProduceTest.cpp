// produce as a station runs it: the built kestrel-cli on the simulated socket, killed at any
// moment, on a full disk, and start to end.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace kestrel::cli {
namespace {

namespace fs = std::filesystem;

struct Folder {
  std::string path = ::testing::TempDir() + "kestrel-produce-" + std::to_string(getpid());
  Folder() {
    fs::remove_all(path);
    fs::create_directories(path + "/dumps");
    fs::copy_file(KESTREL_SOURCE_DIR "/data/examples/blink/blink.hex", path + "/blink.hex");
    fs::copy_file(KESTREL_SOURCE_DIR "/data/examples/blink/blink.eep", path + "/blink.eep");
    fs::copy_file(KESTREL_SOURCE_DIR "/data/examples/blink/blink.toml", path + "/blink.toml");
  }
  ~Folder() { fs::remove_all(path); }
};

std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::string Produce(const Folder& folder, const std::string& plan, const std::string& more = "") {
  return "'" KESTREL_CLI_PROGRAM "' --simulate --catalogue '" KESTREL_SOURCE_DIR "/data/chip.txt' --job '" +
         folder.path + "/blink.toml' --db '" + folder.path + "/p.sqlite' --station test --sim-socket '" +
         plan + "' --sim-socket-dump '" + folder.path + "/dumps' " + more;
}

struct Ran {
  int status;
  std::string out;
};

Ran Shell(const Folder& folder, const std::string& command) {
  const std::string out = folder.path + "/out.txt";
  const int status = std::system(("env LANG=C " + command + " >'" + out + "' 2>&1 </dev/null").c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(out)};
}

// One value of a query on the database, as text.
std::string Query(const Folder& folder, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_open_v2((folder.path + "/p.sqlite").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* statement = nullptr;
  std::string value;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_text(statement, 0) != nullptr)
    value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return value;
}

std::set<std::string> Column(const Folder& folder, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_open_v2((folder.path + "/p.sqlite").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* statement = nullptr;
  std::set<std::string> values;
  sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
  while (sqlite3_step(statement) == SQLITE_ROW)
    values.insert(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return values;
}

// The serial each dumped chip holds at EEPROM 0x20 (u32le), chips without one left out.
std::multiset<std::string> DumpedSerials(const Folder& folder) {
  std::multiset<std::string> serials;
  for (const auto& entry : fs::directory_iterator(folder.path + "/dumps")) {
    // A ".part" is a dump the kill caught before its rename: a copy of a chip, not a chip.
    if (entry.path().extension() != ".txt") continue;
    std::ifstream dump(entry.path());
    for (std::string line; std::getline(dump, line);) {
      if (line.rfind("eeprom ", 0) != 0) continue;
      const std::string hex = line.substr(7 + 0x20 * 2, 8);
      if (hex == "FFFFFFFF") continue;
      std::uint32_t value = 0;
      for (int i = 3; i >= 0; --i) value = value * 256 + std::stoul(hex.substr(i * 2, 2), nullptr, 16);
      serials.insert(std::to_string(value));
    }
  }
  return serials;
}

TEST(Produce, EightChipsWithAWrongOneAndAFailureGiveTheirLinesStatusAndReport) {
  const Folder folder;
  const Ran run = Shell(folder, Produce(folder, "ATmega328P*3,ATtiny85,ATmega328P!fail-at=40,ATmega328P*3",
                                        "produce --count 7"));
  EXPECT_EQ(run.status, 1) << run.out;
  const std::string lines = std::regex_replace(run.out, std::regex(" [0-9]+\\.[0-9]{2} s\n"), " T s\n");
  EXPECT_NE(lines.find("chip 1 PASS serial 1000 ATmega328P T s\n"
                       "chip 2 PASS serial 1001 ATmega328P T s\n"
                       "chip 3 PASS serial 1002 ATmega328P T s\n"
                       "chip 4 WRONG signature 1E930B ATtiny85\n"
                       "chip 5 FAIL verify-eeprom timeout\n"
                       "chip 6 PASS serial 1004 ATmega328P T s\n"
                       "chip 7 PASS serial 1005 ATmega328P T s\n"
                       "chip 8 PASS serial 1006 ATmega328P T s\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("summary passed 6 failed 1 wrong-chips 1 yield 85.7% chips-per-hour "),
            std::string::npos);

  const Ran report = Shell(folder, "'" KESTREL_CLI_PROGRAM "' --db '" + folder.path + "/p.sqlite' report");
  EXPECT_EQ(report.status, 0);
  EXPECT_NE(report.out.find(" wrong chip serial - "), std::string::npos) << report.out;
  EXPECT_NE(report.out.find(" fail serial 1003 "), std::string::npos);
  EXPECT_NE(report.out.find(" verify-eeprom timeout"), std::string::npos);
  EXPECT_NE(report.out.find("共 8 片"), std::string::npos);
}

// The chip's serial is reserved before its first byte and ended with its row: a kill at any
// moment may leave a reservation (void at the next open), never a number twice.
TEST(Produce, KilledAtFiftyRandomMomentsNoSerialReachesTwoChips) {
  const Folder folder;
  // One whole run first: it passes one chip, and its length sets the moments of the kills, so
  // that they fall over the whole run on a slow (sanitizer) build as on a fast one.
  const auto began = std::chrono::steady_clock::now();
  const std::string one = Produce(folder, "ATmega328P", "--sim-latency-ms 1 produce --count 1");
  ASSERT_EQ(Shell(folder, one).status, 0);
  const auto took =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began);
  std::mt19937 random(20261207);
  std::uniform_int_distribution<int> moment(0, static_cast<int>(took.count() * 5 / 4));
  for (int round = 0; round < 50; ++round) {
    const pid_t pid = fork();
    if (pid == 0) {
      freopen("/dev/null", "w", stdout);
      execl("/bin/sh", "sh", "-c",
            ("exec " + Produce(folder, "ATmega328P*2", "--sim-latency-ms 1 produce")).c_str(), nullptr);
      _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(moment(random)));
    ::kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    ASSERT_EQ(Query(folder, "PRAGMA integrity_check"), fs::exists(folder.path + "/p.sqlite") ? "ok" : "")
        << "after kill " << round;
  }
  // The next open voids what the killed runs left reserved.
  Shell(folder, "'" KESTREL_CLI_PROGRAM "' --db '" + folder.path + "/p.sqlite' --station test report");
  EXPECT_EQ(Query(folder, "SELECT count(*) FROM serials WHERE state = 'reserved'"), "0");
  EXPECT_EQ(Query(folder,
                  "SELECT count(*) FROM (SELECT serial FROM chips WHERE serial <> '' GROUP BY serial "
                  "HAVING count(*) > 1)"),
            "0");
  const std::set<std::string> passed = Column(folder, "SELECT value FROM serials WHERE state = 'passed'");
  const std::set<std::string> given = Column(folder, "SELECT value FROM serials");
  const std::multiset<std::string> dumped = DumpedSerials(folder);
  EXPECT_FALSE(passed.empty());
  // Every passed number is on a chip; no chip holds a number twice given or never given. A
  // chip killed after its last byte and before its row holds a number that is void now.
  for (const std::string& serial : passed) EXPECT_EQ(dumped.count(serial), 1u) << serial;
  for (const std::string& serial : dumped) {
    EXPECT_EQ(dumped.count(serial), 1u) << serial;
    EXPECT_TRUE(given.count(serial)) << serial;
  }
}

TEST(Produce, AFullDiskStopsBeforeTheNextChipAndKeepsWhatWasRecorded) {
  const Folder folder;
  ASSERT_EQ(Shell(folder, Produce(folder, "ATmega328P", "produce --count 1")).status, 0);
  // No file may grow past the database's size now: the write-ahead log soon cannot.
  const auto blocks = fs::file_size(folder.path + "/p.sqlite") / 512;
  const Ran run = Shell(folder, "sh -c \"ulimit -f " + std::to_string(blocks) + "; exec " +
                                    Produce(folder, "ATmega328P*20", "produce") + "\"");
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.out.find("无法记录芯片"), std::string::npos) << run.out;
  std::size_t printed = 0;
  for (std::size_t at = 0; (at = run.out.find(" PASS ", at)) != std::string::npos; ++at) ++printed;
  EXPECT_GT(printed, 0u);
  EXPECT_LT(printed, 20u);
  EXPECT_EQ(Query(folder, "SELECT count(*) FROM chips"), std::to_string(printed + 1));
  EXPECT_EQ(Query(folder, "PRAGMA integrity_check"), "ok");
}

// A gang of three, the second unplugged during its second chip: it fails that chip and stops,
// the others go on; every line names its programmer and every chip its own serial.
TEST(Produce, AGangGoesOnWithoutAnUnpluggedProgrammerAndGivesEveryChipItsOwnSerial) {
  const Folder folder;
  const Ran run =
      Shell(folder, Produce(folder, "ATmega328P*4",
                            "--sim-programmers 3 --sim-socket '2=ATmega328P,ATmega328P!unplug-at=30,"
                            "ATmega328P*2' --usb all --log-dir '" +
                                folder.path + "' produce --count 4"));
  EXPECT_EQ(run.status, 1) << run.out;
  std::map<std::string, int> passes;
  const std::regex pass("\\[(001:00[234])\\] chip [1-4] PASS serial ");
  for (std::sregex_iterator i(run.out.begin(), run.out.end(), pass), end; i != end; ++i) ++passes[(*i)[1]];
  EXPECT_EQ(passes, (std::map<std::string, int>{{"001:002", 4}, {"001:003", 1}, {"001:004", 4}})) << run.out;
  for (const char* line : {"[001:003] chip 2 FAIL ", "[001:002] summary passed 4 failed 0 wrong-chips 0 ",
                           "[001:003] summary passed 1 failed 1 wrong-chips 0 ",
                           "[001:004] summary passed 4 failed 0 wrong-chips 0 ",
                           "\nsummary passed 9 failed 1 wrong-chips 0 yield 90.0% "})
    EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
  EXPECT_NE(ReadAll(folder.path + "/001-003.log").find("chip 2 FAIL "), std::string::npos);

  EXPECT_EQ(Query(folder, "SELECT count(DISTINCT serial) || ' of ' || count(*) FROM chips"), "10 of 10");
  EXPECT_EQ(Column(folder, "SELECT programmer FROM chips"),
            (std::set<std::string>{"001:002", "001:003", "001:004"}));
}

}  // namespace
}  // namespace kestrel::cli
