// Several stations, each a kestrel-cli process with a gang of simulated programmers, on one
// PostgreSQL database: one sequence of serials among them, and an outage they wait out.
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "tests/production/PostgresServer.h"

namespace kestrel::cli {
namespace {

namespace fs = std::filesystem;
using production::PostgresServer;

struct Folder {
  std::string path = ::testing::TempDir() + "kestrel-stations-" + std::to_string(getpid());
  Folder() {
    fs::remove_all(path);
    fs::create_directories(path);
    for (const char* name : {"blink.hex", "blink.eep", "blink.toml"})
      fs::copy_file(std::string(KESTREL_SOURCE_DIR "/data/examples/blink/") + name, path + "/" + name);
  }
  ~Folder() { fs::remove_all(path); }
};

std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// A station of two simulated programmers with `chips` chips each; its output goes to
// FOLDER/STATION.txt. Returns the exit status.
int Station(const Folder& folder, const std::string& database, const std::string& station, int chips,
            const std::string& more = "") {
  const std::string command =
      "env LANG=C XDG_DATA_HOME='" + folder.path + "' '" KESTREL_CLI_PROGRAM "' --simulate --catalogue '" +
      KESTREL_SOURCE_DIR "/data/chip.txt' --sim-programmers 2 --usb all --job '" + folder.path +
      "/blink.toml' --db '" + database + "' --station " + station + " --sim-socket 'ATmega328P*" +
      std::to_string(chips) + "' " + more + " produce --count " + std::to_string(chips) + " >'" +
      folder.path + "/" + station + ".txt' 2>&1 </dev/null";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The rows of a query, each its columns joined by '|'.
std::vector<std::string> Rows(const std::string& database, const std::string& sql) {
  PGconn* connection = PQconnectdb(database.c_str());
  PGresult* result = PQexec(connection, sql.c_str());
  std::vector<std::string> rows;
  EXPECT_EQ(PQresultStatus(result), PGRES_TUPLES_OK) << PQerrorMessage(connection);
  for (int row = 0; row < PQntuples(result); ++row) {
    std::string line;
    for (int column = 0; column < PQnfields(result); ++column)
      line += (column > 0 ? "|" : "") + std::string(PQgetvalue(result, row, column));
    rows.push_back(line);
  }
  PQclear(result);
  PQfinish(connection);
  return rows;
}

TEST(Stations, ThreeStationsOfTwoProgrammersDrawOneSequence) {
  const Folder folder;
  const std::string database = PostgresServer::Get().NewDatabase();
  std::vector<std::future<int>> stations;
  for (const char* station : {"s1", "s2", "s3"})
    stations.push_back(
        std::async(std::launch::async, [&, station] { return Station(folder, database, station, 10); }));
  for (auto& station : stations) EXPECT_EQ(station.get(), 0);

  // 60 chips, 60 distinct serials, and every number given out (1000 on) has its passed row.
  EXPECT_EQ(Rows(database, "SELECT count(*), count(DISTINCT serial) FROM chips WHERE result = 'pass'"),
            std::vector<std::string>{"60|60"});
  EXPECT_EQ(Rows(database, "SELECT count(*), min(number), max(number) FROM serials WHERE state = 'passed'"),
            std::vector<std::string>{"60|1000|1059"});
  EXPECT_EQ(Rows(database, "SELECT count(*) FROM serials WHERE state <> 'passed'"),
            std::vector<std::string>{"0"});
  EXPECT_EQ(Rows(database,
                 "SELECT station, count(DISTINCT programmer), count(*) FROM chips GROUP BY station "
                 "ORDER BY station"),
            (std::vector<std::string>{"s1|2|20", "s2|2|20", "s3|2|20"}));

  const std::string report = folder.path + "/report.txt";
  std::system(("'" KESTREL_CLI_PROGRAM "' --db '" + database + "' report >'" + report + "' 2>&1").c_str());
  const std::string lines = ReadAll(report);
  for (const char* station : {"station \"s1\"", "station \"s2\"", "station \"s3\""}) {
    std::size_t count = 0;
    for (std::size_t at = lines.find(station); at != std::string::npos; at = lines.find(station, at + 1))
      ++count;
    EXPECT_EQ(count, 20u) << station << "\n" << lines;
  }
}

TEST(Stations, AnOutageIsWaitedOutWithoutLosingOrReusingANumber) {
  const Folder folder;
  PostgresServer& server = PostgresServer::Get();
  const std::string database = server.NewDatabase();
  auto station = std::async(std::launch::async,
                            [&] { return Station(folder, database, "s1", 6, "--sim-latency-ms 2"); });
  // Stop the server once chips are passing, and start it again 5 s later.
  const std::string out = folder.path + "/s1.txt";
  for (int wait = 0; wait < 300 && ReadAll(out).find("chip 2 PASS") == std::string::npos; ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(server.Stop("immediate"));
  const std::string before = ReadAll(out);
  std::this_thread::sleep_for(std::chrono::seconds(5));
  const std::string during = ReadAll(out);
  ASSERT_TRUE(server.Start());
  EXPECT_EQ(station.get(), 0) << ReadAll(out);

  // The waiting line was shown, and while the server was away only the chips already in the two
  // sockets passed: no chip started without its number.
  EXPECT_NE(during.find("数据库不可用，等待"), std::string::npos) << during;
  const auto passes = [](const std::string& text) {
    std::size_t count = 0;
    for (std::size_t at = text.find(" PASS "); at != std::string::npos; at = text.find(" PASS ", at + 1))
      ++count;
    return count;
  };
  EXPECT_LE(passes(during) - passes(before), 2u) << during;
  // Every chip's record arrived once, with its own number, and no number was reused.
  EXPECT_EQ(Rows(database,
                 "SELECT count(*), count(DISTINCT serial), count(DISTINCT record) FROM chips "
                 "WHERE result = 'pass'"),
            std::vector<std::string>{"12|12|12"});
  EXPECT_EQ(Rows(database, "SELECT count(*) FROM serials WHERE state = 'reserved'"),
            std::vector<std::string>{"0"});
  EXPECT_EQ(
      Rows(database, "SELECT count(*) FROM (SELECT value FROM serials GROUP BY value HAVING count(*) > 1) v"),
      std::vector<std::string>{"0"});
}

}  // namespace
}  // namespace kestrel::cli
