#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>

#include <set>
#include <thread>

#include "production/ProductionDatabase.h"
#include "tests/production/ProductionRig.h"

namespace kestrel::production {
namespace {

// A pid that no process has: a child that has exited and been reaped.
pid_t DeadPid() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return child;
}

std::unique_ptr<ProductionStore> Open(const std::string& path, pid_t pid = getpid()) {
  std::string error;
  auto store = OpenSqliteStore(path, {"bench-1", pid}, error);
  EXPECT_TRUE(store) << error;
  return store;
}

Job SerialJob(const std::string& name, SerialPlan plan, const std::string& identity = "v1") {
  Job job;
  job.name = name;
  job.text = identity;
  job.identity = identity;
  job.serial = std::move(plan);
  return job;
}

SerialPlan Sequence(std::uint64_t start, std::uint64_t step, std::uint64_t last) {
  SerialPlan plan;
  plan.format = *ParseSerialFormat("u32le");
  plan.start = start;
  plan.step = step;
  plan.last = last;
  return plan;
}

std::int64_t Register(ProductionStore& store, const Job& job) {
  JobVersion version;
  EXPECT_TRUE(store.RegisterJob(job, version)) << store.Error();
  return version.id;
}

std::string Reserve(ProductionStore& store, std::int64_t jobId, const Job& job, std::int64_t* id = nullptr) {
  SerialReservation reservation;
  const ReserveOutcome outcome = store.ReserveSerial(jobId, job, reservation);
  if (outcome == ReserveOutcome::Failed) ADD_FAILURE() << store.Error();
  if (id != nullptr) *id = reservation.id;
  return outcome == ReserveOutcome::Reserved ? reservation.value.text : "out";
}

ChipRecord Chip(std::int64_t jobId, ChipResult result, const std::string& failedStep = "") {
  ChipRecord chip;
  chip.jobId = jobId;
  chip.result = result;
  chip.failedStep = failedStep;
  return chip;
}

// A new file, in a folder not there yet, gets the whole schema; opening it again changes nothing.
TEST(ProductionDatabase, AnEmptyFileIsMigratedToTheSchemaOnOpen) {
  Folder folder("db-migrate");
  const std::string path = folder.path + "/new/production.sqlite";
  for (int open = 0; open < 2; ++open) ASSERT_TRUE(Open(path));
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  std::vector<std::string> found;
  sqlite3_exec(
      db,
      "PRAGMA user_version; PRAGMA journal_mode; SELECT name FROM sqlite_master WHERE type = 'table' ORDER "
      "BY name",
      [](void* out, int, char** values, char**) {
        static_cast<std::vector<std::string>*>(out)->push_back(values[0]);
        return 0;
      },
      &found, nullptr);
  sqlite3_close(db);
  EXPECT_EQ(found, (std::vector<std::string>{"2", "wal", "chips", "jobs", "serials"}));
}

// Reserved, then passed or failed with the chip's row; a reservation whose process died is void
// at the next open. No value comes back, whatever its end, and a new version of the job goes on
// after the old.
TEST(ProductionDatabase, SerialsAreReservedFinishedVoidedAndNeverGivenTwice) {
  Folder folder("db-serials");
  const std::string path = folder.path + "/p.sqlite";
  const Job job = SerialJob("board", Sequence(1000, 2, 1008));
  {
    auto store = Open(path);
    const std::int64_t jobId = Register(*store, job);
    std::int64_t first = 0, second = 0;
    EXPECT_EQ(Reserve(*store, jobId, job, &first), "1000");
    EXPECT_TRUE(store->RecordChip(Chip(jobId, ChipResult::Pass), first));
    EXPECT_EQ(Reserve(*store, jobId, job, &second), "1002");
    EXPECT_TRUE(store->RecordChip(Chip(jobId, ChipResult::Fail, "verify-flash"), second));
    // A final state stays final, and the chip row of the refused call is not kept.
    EXPECT_FALSE(store->RecordChip(Chip(jobId, ChipResult::Pass), second));
    EXPECT_FALSE(store->FinishSerial(second, SerialState::Void, ""));
    std::vector<ChipRecord> chips;
    ASSERT_TRUE(store->Chips({}, chips));
    EXPECT_EQ(chips.size(), 2u);
  }
  {
    auto dead = Open(path, DeadPid());
    EXPECT_EQ(Reserve(*dead, Register(*dead, job), job), "1004");
  }
  auto store = Open(path);
  EXPECT_EQ(store->VoidedAtOpen(), 1);
  JobVersion version;
  ASSERT_TRUE(store->RegisterJob(SerialJob("board", Sequence(1000, 2, 1008), "v2"), version));
  EXPECT_TRUE(version.firstUse && version.changed);
  EXPECT_EQ(Reserve(*store, version.id, job), "1006");
  EXPECT_EQ(Reserve(*store, version.id, job), "1008");
  EXPECT_EQ(Reserve(*store, version.id, job), "out");

  std::vector<ProductionStore::SerialRow> rows;
  ASSERT_TRUE(store->Serials("board", rows));
  std::string states;
  for (const auto& row : rows) states += row.value + " " + SerialStateName(row.state) + " " + row.cause + ";";
  EXPECT_EQ(states,
            "1000 passed ;1002 failed verify-flash;1004 void interrupted;1006 reserved ;1008 reserved ;");
}

// Two stations (connections) on one file, each shared by two threads: every reservation is its
// own transaction, so no value is given twice.
TEST(ProductionDatabase, StationsAndThreadsReservingAtOnceNeverShareAValue) {
  Folder folder("db-threads");
  const std::string path = folder.path + "/p.sqlite";
  const Job job = SerialJob("board", Sequence(1, 1, 1000));
  std::unique_ptr<ProductionStore> stores[] = {Open(path), Open(path)};
  const std::int64_t jobId = Register(*stores[0], job);
  std::vector<std::string> given[4];
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 20; ++i) given[t].push_back(Reserve(*stores[t % 2], jobId, job));
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::set<std::string> values;
  for (const auto& list : given) values.insert(list.begin(), list.end());
  EXPECT_EQ(values.size(), 80u);
  EXPECT_FALSE(values.contains("out"));
}

TEST(ProductionDatabase, ListValuesAreUsedOnceAndRandomValuesNeverRepeat) {
  Folder folder("db-sources");
  auto store = Open(folder.path + "/p.sqlite");
  SerialPlan list;
  list.source = SerialSource::List;
  std::string error;
  list.list = *ParseSerialList("macs.txt", "00:1A:2B:00:00:01\n# spare\n00-1A-2B-00-00-02\n", error);
  const Job listed = SerialJob("macs", list);
  const std::int64_t listId = Register(*store, listed);
  EXPECT_EQ(Reserve(*store, listId, listed), "001A2B000001");
  EXPECT_EQ(Reserve(*store, listId, listed), "001A2B000002");
  EXPECT_EQ(Reserve(*store, listId, listed), "out");

  // One random byte: 160 values out of 256 meet many a repeat, which must be drawn again.
  SerialPlan random;
  random.source = SerialSource::Random;
  random.randomBytes = 1;
  const Job drawn = SerialJob("keys", random);
  const std::int64_t randomId = Register(*store, drawn);
  std::set<std::string> values;
  for (int i = 0; i < 160; ++i) values.insert(Reserve(*store, randomId, drawn));
  EXPECT_EQ(values.size(), 160u);
  EXPECT_FALSE(values.contains("out"));
}

TEST(ProductionDatabase, ReportFiltersByJobAndDateAndQuotesTheCsv) {
  Folder folder("db-report");
  auto store = Open(folder.path + "/p.sqlite");
  const std::int64_t board = Register(*store, SerialJob("board", Sequence(1, 1, 9)));
  const std::int64_t other = Register(*store, SerialJob("other", Sequence(1, 1, 9), "v2"));
  ChipRecord chip{.jobId = board,
                  .jobName = {},
                  .station = "bench, left",
                  .programmer = "001:004",
                  .start = "2026-12-07T08:00:00Z",
                  .end = "2026-12-07T08:00:02Z",
                  .signature = "1E 95 0F",
                  .serial = "1016",
                  .flashCrc = 0x1234ABCDu,
                  .eepromCrc = std::nullopt,
                  .fuses = "62D9FF",
                  .lock = "FC",
                  .result = ChipResult::Fail,
                  .failedStep = "verify-flash",
                  .cause = "3 bytes \"differ\"",
                  .seconds = 2.314};
  ASSERT_TRUE(store->RecordChip(chip, std::nullopt)) << store->Error();
  chip.start = "2026-12-06T08:00:00Z";
  ASSERT_TRUE(store->RecordChip(chip, std::nullopt));
  chip.jobId = other;
  chip.start = "2026-12-08T08:00:00Z";
  ASSERT_TRUE(store->RecordChip(chip, std::nullopt));

  std::vector<ChipRecord> chips;
  ASSERT_TRUE(store->Chips({.job = "board", .since = "2026-12-07"}, chips));
  EXPECT_EQ(ChipsCsv(chips),
            "job,station,programmer,start,end,signature,serial,flash_crc32,eeprom_crc32,fuses,lock,result,"
            "failed_step,cause,seconds\r\n"
            "board,\"bench, left\",001:004,2026-12-07T08:00:00Z,2026-12-07T08:00:02Z,1E 95 0F,1016,1234ABCD,,"
            "62D9FF,FC,fail,verify-flash,\"3 bytes \"\"differ\"\"\",2.31\r\n");
  chips.clear();
  ASSERT_TRUE(store->Chips({}, chips));
  EXPECT_EQ(chips.size(), 3u);
}

}  // namespace
}  // namespace kestrel::production
