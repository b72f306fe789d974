#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <filesystem>
#include <set>
#include <thread>

#include "production/ProductionDatabase.h"
#include "tests/production/PostgresServer.h"
#include "tests/production/ProductionRig.h"

namespace kestrel::production {
namespace {

struct Station {
  std::unique_ptr<ProductionStore> store;
  std::string outbox;
};

Station Open(const std::string& connection, const Folder& folder, const std::string& name = "bench-1") {
  std::string error;
  Station station{nullptr, folder.path + "/" + name + "-outbox.sqlite"};
  station.store = OpenPostgresStore(connection, {name, getpid()}, station.outbox, error);
  EXPECT_TRUE(station.store) << error;
  return station;
}

Job SequenceJob(const std::string& name) {
  Job job;
  job.name = name;
  job.text = job.identity = name + " v1";
  SerialPlan plan;
  plan.format = *ParseSerialFormat("u32le");
  plan.start = 1;
  plan.step = 1;
  plan.last = 100000;
  job.serial = plan;
  return job;
}

std::int64_t Register(ProductionStore& store, const Job& job) {
  JobVersion version;
  EXPECT_TRUE(store.RegisterJob(job, version)) << store.Error();
  return version.id;
}

// One value of the server's answer to `sql`.
std::string Ask(const std::string& connection, const char* sql) {
  PGconn* conn = PQconnectdb(connection.c_str());
  PGresult* result = PQexec(conn, sql);
  const std::string value = PQntuples(result) > 0 ? PQgetvalue(result, 0, 0) : PQerrorMessage(conn);
  PQclear(result);
  PQfinish(conn);
  return value;
}

TEST(PostgresStore, TargetsOfThatFormSelectIt) {
  const std::pair<const char*, bool> cases[] = {
      {"postgresql://kestrel@db.example/production", true},
      {"postgres://db.example/production?sslmode=verify-full", true},
      {"host=db.example dbname=production", true},
      {" dbname = production", true},
      {"/var/lib/kestrel/production.sqlite", false},
      {"./dbname=odd.sqlite", false},
      {"production.sqlite", false},
  };
  for (const auto& [target, postgres] : cases) EXPECT_EQ(IsPostgresTarget(target), postgres) << target;
}

// An empty database gets the whole schema; opening it again changes nothing.
TEST(PostgresStore, AnEmptyDatabaseIsMigratedOnConnect) {
  Folder folder("pg-migrate");
  const std::string connection = PostgresServer::Get().NewDatabase();
  for (int open = 0; open < 2; ++open) ASSERT_TRUE(Open(connection, folder).store);
  EXPECT_EQ(Ask(connection,
                "SELECT version || ' ' || (SELECT string_agg(table_name, ',' ORDER BY table_name) FROM "
                "information_schema.tables WHERE table_schema = 'public') FROM kestrel_schema"),
            "1 chips,jobs,kestrel_schema,serial_counters,serials");
}

// Three stations (connections) of two threads each draw from one sequence: every number once,
// none skipped.
TEST(PostgresStore, StationsReservingAtOnceDrawOneSequenceWithoutGaps) {
  Folder folder("pg-threads");
  const std::string connection = PostgresServer::Get().NewDatabase();
  const Job job = SequenceJob("board");
  Station stations[] = {Open(connection, folder, "a"), Open(connection, folder, "b"),
                        Open(connection, folder, "c")};
  const std::int64_t jobId = Register(*stations[0].store, job);
  std::vector<std::string> given[6];
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 15; ++i) {
        SerialReservation reservation;
        if (stations[t % 3].store->ReserveSerial(jobId, job, reservation) == ReserveOutcome::Reserved)
          given[t].push_back(reservation.value.text);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::set<int> values;
  for (const auto& list : given) {
    for (const std::string& value : list) values.insert(std::stoi(value));
  }
  EXPECT_EQ(values.size(), 90u);
  EXPECT_EQ(*values.begin(), 1);
  EXPECT_EQ(*values.rbegin(), 90);
}

// Quotes and SQL in names are values, stored and reported as text.
TEST(PostgresStore, NamesHoldingSqlAreStoredAsTextAndReported) {
  Folder folder("pg-report");
  const std::string connection = PostgresServer::Get().NewDatabase();
  const std::string evil = "o'brien \"rev\"'; DROP TABLE chips; --";
  Station station = Open(connection, folder, evil);
  Job job = SequenceJob(evil);
  const std::int64_t jobId = Register(*station.store, job);
  SerialReservation reservation;
  ASSERT_EQ(station.store->ReserveSerial(jobId, job, reservation), ReserveOutcome::Reserved);
  ChipRecord chip;
  chip.jobId = jobId;
  chip.station = evil;
  chip.programmer = "001:004";
  chip.start = "2026-12-07T08:00:00Z";
  chip.end = "2026-12-07T08:00:02Z";
  chip.signature = "1E 95 0F";
  chip.serial = reservation.value.text;
  chip.flashCrc = 0x1234ABCDu;
  chip.fuses = "62D9FF";
  chip.lock = "FC";
  chip.result = ChipResult::Pass;
  chip.seconds = 2.314;
  ASSERT_TRUE(station.store->RecordChip(chip, reservation.id)) << station.store->Error();
  std::vector<ChipRecord> chips;
  ASSERT_TRUE(station.store->Chips({.job = evil, .since = "2026-12-07"}, chips));
  EXPECT_EQ(
      ChipsCsv(chips),
      "job,station,programmer,start,end,signature,serial,flash_crc32,eeprom_crc32,fuses,lock,result,"
      "failed_step,cause,seconds\r\n"
      "\"o'brien \"\"rev\"\"'; DROP TABLE chips; --\",\"o'brien \"\"rev\"\"'; DROP TABLE chips; --\","
      "001:004,2026-12-07T08:00:00Z,2026-12-07T08:00:02Z,1E 95 0F,1,1234ABCD,,62D9FF,FC,pass,,,2.31\r\n");
}

// The server goes down with a chip in the socket: its record waits in the outbox, no number is
// reserved meanwhile, and once the server is back the record arrives, once, even when it is sent
// again (a station that died between the server's commit and the outbox's removal).
TEST(PostgresStore, ARecordTheServerCannotTakeWaitsAndArrivesOnce) {
  Folder folder("pg-outbox");
  PostgresServer& server = PostgresServer::Get();
  const std::string connection = server.NewDatabase();
  Station station = Open(connection, folder);
  const Job job = SequenceJob("board");
  const std::int64_t jobId = Register(*station.store, job);
  SerialReservation reservation;
  ASSERT_EQ(station.store->ReserveSerial(jobId, job, reservation), ReserveOutcome::Reserved);

  ASSERT_TRUE(server.Stop("immediate"));
  ChipRecord chip;
  chip.jobId = jobId;
  chip.serial = reservation.value.text;
  chip.result = ChipResult::Pass;
  ASSERT_TRUE(station.store->RecordChip(chip, reservation.id)) << station.store->Error();
  EXPECT_EQ(station.store->OutboxWaiting(), 1);
  SerialReservation none;
  EXPECT_EQ(station.store->ReserveSerial(jobId, job, none), ReserveOutcome::Unreachable);
  EXPECT_TRUE(station.store->Unreachable());

  ASSERT_TRUE(server.Start());
  const std::string copy = folder.path + "/copy-outbox.sqlite";
  for (const char* end : {"", "-wal"}) {
    std::filesystem::copy_file(station.outbox + end, copy + end);
  }
  ASSERT_TRUE(station.store->FlushOutbox()) << station.store->Error();
  EXPECT_EQ(station.store->OutboxWaiting(), 0);
  std::string error;
  const auto again = OpenPostgresStore(connection, {"bench-1", getpid()}, copy, error);
  ASSERT_TRUE(again) << error;
  EXPECT_EQ(again->OutboxWaiting(), 0);

  EXPECT_EQ(Ask(connection, "SELECT count(*) || ' ' || min(serial) FROM chips"), "1 1");
  EXPECT_EQ(Ask(connection, "SELECT string_agg(value || ' ' || state, ',') FROM serials"), "1 passed");
  ASSERT_EQ(station.store->ReserveSerial(jobId, job, reservation), ReserveOutcome::Reserved);
  EXPECT_EQ(reservation.value.text, "2");
}

}  // namespace
}  // namespace kestrel::production
