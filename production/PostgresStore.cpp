#include <libpq-fe.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string_view>
#include <utility>

#include "base/Format.h"
#include "production/ProductionDatabase.h"
#include "production/ProductionTexts.h"
#include "production/StoreShared.h"

// The PostgreSQL back end of ProductionStore, and the local outbox that keeps a station's chip
// records while the server cannot be reached. The schema is the SQLite one in PostgreSQL's
// types, plus a row per series that reservations lock, and each chip's record id.
namespace kestrel::production {
namespace {

using detail::Statement;

// Schema version N is reached by running kMigrations[N - 1]; kestrel_schema.version says how
// many a database has had. A new version is a new entry at the end: never edit one that shipped.
constexpr const char* kMigrations[] = {
    R"(CREATE TABLE jobs (
         id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
         identity text NOT NULL UNIQUE,
         name text NOT NULL,
         text text NOT NULL,
         first_used text NOT NULL);
       CREATE INDEX jobs_name ON jobs(name);
       CREATE TABLE serial_counters (series text PRIMARY KEY);
       CREATE TABLE serials (
         id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
         job bigint NOT NULL REFERENCES jobs(id),
         series text NOT NULL,
         value text NOT NULL,
         number bigint,
         state text NOT NULL CHECK (state IN ('reserved', 'passed', 'failed', 'void')),
         cause text NOT NULL DEFAULT '',
         station text NOT NULL,
         pid integer NOT NULL,
         boot text NOT NULL,
         reserved_at text NOT NULL,
         UNIQUE (series, value));
       CREATE INDEX serials_number ON serials(series, number);
       CREATE INDEX serials_reserved ON serials(station) WHERE state = 'reserved';
       CREATE TABLE chips (
         id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
         record text NOT NULL UNIQUE,
         job bigint NOT NULL REFERENCES jobs(id),
         station text NOT NULL,
         programmer text NOT NULL,
         start_time text NOT NULL,
         end_time text NOT NULL,
         signature text NOT NULL,
         serial text NOT NULL,
         flash_crc bigint,
         eeprom_crc bigint,
         fuses text NOT NULL,
         lock text NOT NULL,
         result text NOT NULL,
         failed_step text NOT NULL,
         cause text NOT NULL,
         seconds double precision NOT NULL);
       CREATE INDEX chips_start ON chips(start_time);)",
};
constexpr int kSchemaVersion = static_cast<int>(std::size(kMigrations));
// The advisory lock that lets one station at a time migrate ("Kest").
constexpr char kMigrationLock[] = "SELECT pg_advisory_xact_lock(1264940916)";

// A bound value in libpq's text form; nothing is SQL NULL.
using Param = std::optional<std::string>;
Param Number(std::int64_t value) {
  return std::to_string(value);
}
Param Crc(const std::optional<std::uint32_t>& crc) {
  return crc ? Param(std::to_string(*crc)) : std::nullopt;
}

// One PGresult, freed on every path.
class Result {
 public:
  explicit Result(PGresult* result) : result_(result) {}
  ~Result() { PQclear(result_); }
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
  Result(Result&& other) noexcept : result_(std::exchange(other.result_, nullptr)) {}

  bool ok() const {
    const ExecStatusType status = PQresultStatus(result_);
    return result_ != nullptr && (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK);
  }
  int Rows() const { return PQntuples(result_); }
  int Changed() const { return std::atoi(PQcmdTuples(result_)); }
  bool Null(int row, int column) const { return PQgetisnull(result_, row, column) != 0; }
  std::string Text(int row, int column) const {
    return std::string(PQgetvalue(result_, row, column),
                       static_cast<std::size_t>(PQgetlength(result_, row, column)));
  }
  std::int64_t Integer(int row, int column) const {
    return std::strtoll(PQgetvalue(result_, row, column), nullptr, 10);
  }
  double Real(int row, int column) const { return std::strtod(PQgetvalue(result_, row, column), nullptr); }

 private:
  PGresult* result_;
};

// One row of a Result, read by column as a SQLite Statement is.
struct ResultRow {
  const Result& result;
  int row;
  std::string Text(int column) const { return result.Text(row, column); }
  bool Null(int column) const { return result.Null(row, column); }
  std::int64_t Integer(int column) const { return result.Integer(row, column); }
  double Real(int column) const { return result.Real(row, column); }
};

// A chip's record with its own id, and the reservation it ends.
struct OutboxRecord {
  std::string id;
  ChipRecord chip;
  std::optional<std::int64_t> serialId;
};

// The records a station could not send, in a SQLite file of their own, each with the database
// (kestrel_schema.database_id) it was meant for. The file is made when the first record must
// wait; several stations of one PC may share it.
class Outbox {
 public:
  explicit Outbox(std::string path) : path_(std::move(path)) {}
  ~Outbox() { sqlite3_close_v2(db_); }
  Outbox(const Outbox&) = delete;
  Outbox& operator=(const Outbox&) = delete;

  const std::string& path() const { return path_; }

  bool Put(const std::string& database, const OutboxRecord& record, std::string& error) {
    if (!Open(true, error)) return false;
    Statement insert(db_,
                     "INSERT INTO outbox (record, database, serial_id, job, station, programmer, start_time, "
                     "end_time, signature, serial, flash_crc, eeprom_crc, fuses, lock, result, failed_step, "
                     "cause, seconds) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const ChipRecord& chip = record.chip;
    insert.Bind(1, record.id).Bind(2, database).BindOptional(3, record.serialId).Bind(4, chip.jobId);
    detail::BindChipColumns(insert, 5, chip);
    return insert.Step() == SQLITE_DONE || Fail(error);
  }

  // The records waiting for `database`, oldest first.
  bool Waiting(const std::string& database, std::vector<OutboxRecord>& records, std::string& error) {
    if (!Open(false, error)) return false;
    if (db_ == nullptr) return true;
    Statement select(db_,
                     "SELECT record, serial_id, job, station, programmer, start_time, end_time, signature, "
                     "serial, flash_crc, eeprom_crc, fuses, lock, result, failed_step, cause, seconds "
                     "FROM outbox WHERE database = ? ORDER BY rowid");
    select.Bind(1, database);
    int step = SQLITE_ROW;
    while ((step = select.Step()) == SQLITE_ROW) {
      OutboxRecord record;
      record.id = select.Text(0);
      if (!select.Null(1)) record.serialId = select.Integer(1);
      ChipRecord& chip = record.chip;
      chip.jobId = select.Integer(2);
      detail::ReadChipColumns(select, 3, chip);
      records.push_back(std::move(record));
    }
    return step == SQLITE_DONE || Fail(error);
  }

  bool Remove(const std::string& id, std::string& error) {
    Statement remove(db_, "DELETE FROM outbox WHERE record = ?");
    remove.Bind(1, id);
    return remove.Step() == SQLITE_DONE || Fail(error);
  }

  // Every waiting record, whichever database it is meant for; -1 when the file cannot be read.
  int Count() {
    std::string error;
    if (!Open(false, error)) return -1;
    if (db_ == nullptr) return 0;
    Statement count(db_, "SELECT COUNT(*) FROM outbox");
    return count.Step() == SQLITE_ROW ? static_cast<int>(count.Integer(0)) : -1;
  }

 private:
  bool Fail(std::string& error) {
    error = Printf(texts::kDatabaseFailedPattern, path_.c_str(), sqlite3_errmsg(db_));
    return false;
  }
  // Opens the file once; without `create`, a file not there yet stays unopened (db_ null).
  bool Open(bool create, std::string& error) {
    if (db_ != nullptr) return true;
    std::error_code ignored;
    if (!create && !std::filesystem::exists(path_, ignored)) return true;
    const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
    if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
      if (db_ != nullptr) Fail(error);
      sqlite3_close_v2(db_);
      db_ = nullptr;
      return false;
    }
    sqlite3_busy_timeout(db_, 10000);
    const char* setup =
        "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; "
        "CREATE TABLE IF NOT EXISTS outbox (record TEXT PRIMARY KEY, database TEXT NOT NULL, "
        "serial_id INTEGER, job INTEGER NOT NULL, station TEXT NOT NULL, programmer TEXT NOT NULL, "
        "start_time TEXT NOT NULL, end_time TEXT NOT NULL, signature TEXT NOT NULL, serial TEXT NOT NULL, "
        "flash_crc INTEGER, eeprom_crc INTEGER, fuses TEXT NOT NULL, lock TEXT NOT NULL, result TEXT NOT "
        "NULL, "
        "failed_step TEXT NOT NULL, cause TEXT NOT NULL, seconds REAL NOT NULL)";
    if (sqlite3_exec(db_, setup, nullptr, nullptr, nullptr) == SQLITE_OK) return true;
    Fail(error);
    sqlite3_close_v2(db_);
    db_ = nullptr;
    return false;
  }

  std::string path_;
  sqlite3* db_ = nullptr;
};

class PostgresStore final : public ProductionStore {
 public:
  PostgresStore(std::string connection, StoreOwner owner, std::string outboxPath)
      : connection_(std::move(connection)),
        owner_(std::move(owner)),
        boot_(detail::BootId()),
        outbox_(std::move(outboxPath)) {}
  ~PostgresStore() override { PQfinish(conn_); }

  bool Open();

  std::string Error() const override {
    const std::lock_guard lock(mutex_);
    return error_;
  }
  int VoidedAtOpen() const override { return voided_; }
  bool RegisterJob(const Job& job, JobVersion& version) override;
  ReserveOutcome ReserveSerial(std::int64_t jobId, const Job& job, SerialReservation& reservation) override;
  bool RecordChip(const ChipRecord& chip, std::optional<std::int64_t> serialId) override;
  bool FinishSerial(std::int64_t serialId, SerialState state, const std::string& cause) override;
  bool Chips(const ReportFilter& filter, std::vector<ChipRecord>& chips) override;
  bool Serials(const std::string& jobName, std::vector<SerialRow>& rows) override;
  bool Unreachable() const override {
    const std::lock_guard lock(mutex_);
    return unreachable_;
  }
  int OutboxWaiting() override {
    const std::lock_guard lock(mutex_);
    return outbox_.Count();
  }
  bool FlushOutbox() override {
    const std::lock_guard lock(mutex_);
    return Connected() && Flush();
  }

 private:
  class Series;

  Result Query(const char* sql, const std::vector<Param>& params = {}) {
    std::vector<const char*> values;
    for (const Param& param : params) values.push_back(param ? param->c_str() : nullptr);
    return Noted(PQexecParams(conn_, sql, static_cast<int>(values.size()), nullptr, values.data(), nullptr,
                              nullptr, 0));
  }
  // A fixed text without values (several statements, in a migration).
  bool Command(const char* sql) { return Noted(PQexec(conn_, sql)).ok() || Fail(); }
  // Keeps what a failed answer says about the connection for Fail().
  Result Noted(PGresult* answer) {
    Result result(answer);
    const char* state = answer != nullptr ? PQresultErrorField(answer, PG_DIAG_SQLSTATE) : nullptr;
    lost_ = !result.ok() && (state == nullptr || std::string_view(state).starts_with("08") ||
                             std::string_view(state).starts_with("57P"));
    return result;
  }
  // The server's reason. A connection that broke on the way (an error of libpq's own, without a
  // state; a connection exception; the server shutting down) makes it an unreachable server.
  bool Fail() {
    error_ = PQerrorMessage(conn_);
    while (!error_.empty() && (error_.back() == '\n' || error_.back() == ' ')) error_.pop_back();
    unreachable_ = PQstatus(conn_) == CONNECTION_BAD || lost_;
    return false;
  }
  // Runs `work` in one transaction; anything that fails rolls all of it back.
  template <typename Work>
  bool Transaction(Work work) {
    if (!Command("BEGIN")) return false;
    if (work() && Command("COMMIT")) return true;
    const std::string reason = error_;
    if (PQstatus(conn_) == CONNECTION_OK) PQclear(PQexec(conn_, "ROLLBACK"));
    error_ = reason;
    return false;
  }
  // A working connection, made again when the server went away, and the outbox sent once it
  // answers. False, with Unreachable(), when it does not.
  bool Connected();
  bool Migrate();
  bool VoidInterrupted();
  // Inserts the record once (its id decides) and, when this call inserted it, ends its serial.
  // `strict`: the serial must still be reserved, else nothing is kept. A record from the outbox
  // may find its serial voided as interrupted meanwhile; the chip's real end replaces that.
  bool Send(const OutboxRecord& record, bool strict);
  bool Flush();

  std::string connection_;
  StoreOwner owner_;
  std::string boot_;
  Outbox outbox_;
  mutable std::mutex mutex_;
  PGconn* conn_ = nullptr;
  std::string databaseId_;
  std::string error_;
  bool unreachable_ = false;
  bool lost_ = false;  // the last answer was a connection's loss
  int voided_ = 0;
};

// The serial rule's questions, asked while the reserving transaction holds the series' row lock:
// no other station can reserve in the series until it commits.
class PostgresStore::Series final : public detail::SeriesQueries {
 public:
  explicit Series(PostgresStore& store) : store_(store) {}
  bool Highest(const std::string& series, std::optional<std::int64_t>& highest) override {
    const Result result = store_.Query("SELECT MAX(number) FROM serials WHERE series = $1", {series});
    if (!result.ok()) return Fail();
    if (!result.Null(0, 0)) highest = result.Integer(0, 0);
    return true;
  }
  bool Taken(const std::string& series, const std::string& value, bool& taken) override {
    const Result result =
        store_.Query("SELECT 1 FROM serials WHERE series = $1 AND value = $2", {series, value});
    if (!result.ok()) return Fail();
    taken = result.Rows() > 0;
    return true;
  }
  bool Given(const std::string& series, std::set<std::string>& given) override {
    const Result result = store_.Query("SELECT value FROM serials WHERE series = $1", {series});
    if (!result.ok()) return Fail();
    for (int row = 0; row < result.Rows(); ++row) given.insert(result.Text(row, 0));
    return true;
  }

 private:
  bool Fail() {
    store_.Fail();
    error = store_.error_;
    return false;
  }
  PostgresStore& store_;
};

bool PostgresStore::Connected() {
  // A connection that was lost may still call itself good until it is used: made again.
  if (conn_ != nullptr && PQstatus(conn_) == CONNECTION_OK && !unreachable_) return true;
  if (conn_ == nullptr)
    conn_ = PQconnectdb(connection_.c_str());
  else
    PQreset(conn_);
  if (conn_ == nullptr) {
    error_ = "out of memory";
    return false;
  }
  // The server's notices (a shutdown's warning) are no concern of the station's output.
  PQsetNoticeProcessor(
      conn_, [](void*, const char*) {}, nullptr);
  if (PQstatus(conn_) != CONNECTION_OK) {
    Fail();
    // A server that answers but refuses (a wrong password, no such database) is no outage.
    const PGPing ping = PQping(connection_.c_str());
    unreachable_ = ping == PQPING_NO_RESPONSE || ping == PQPING_REJECT;
    return false;
  }
  unreachable_ = false;
  // Before the schema is known (at open) there is nothing to send yet.
  if (!databaseId_.empty()) Flush();
  return PQstatus(conn_) == CONNECTION_OK || Fail();
}

bool PostgresStore::Open() {
  if (!Connected() || !Migrate()) return false;
  // What waited from an earlier run goes first: its serials are that run's reservations.
  Flush();
  return VoidInterrupted();
}

bool PostgresStore::Migrate() {
  return Transaction([&] {
    if (!Command(kMigrationLock)) return false;
    // Looked up rather than CREATE ... IF NOT EXISTS, which a role without CREATE may not run.
    const Result exists = Query("SELECT to_regclass('kestrel_schema') IS NOT NULL");
    if (!exists.ok()) return Fail();
    if (exists.Text(0, 0) != "t") {
      if (!Command("CREATE TABLE kestrel_schema (version integer NOT NULL, database_id text NOT NULL)"))
        return false;
      const Result insert = Query("INSERT INTO kestrel_schema VALUES (0, $1)", {detail::NewRecordId()});
      if (!insert.ok()) return Fail();
    }
    const Result read = Query("SELECT version, database_id FROM kestrel_schema");
    if (!read.ok() || read.Rows() != 1) return read.ok() ? (error_ = "kestrel_schema", false) : Fail();
    const int version = static_cast<int>(read.Integer(0, 0));
    databaseId_ = read.Text(0, 1);
    if (version > kSchemaVersion) {
      error_ = Printf(texts::kDatabaseNewerPattern, version, kSchemaVersion);
      return false;
    }
    for (int next = version; next < kSchemaVersion; ++next) {
      if (!Command(kMigrations[next])) return false;
    }
    return Query("UPDATE kestrel_schema SET version = $1", {Number(kSchemaVersion)}).ok() || Fail();
  });
}

bool PostgresStore::VoidInterrupted() {
  return Transaction([&] {
    const Result reserved =
        Query("SELECT id, pid, boot FROM serials WHERE state = 'reserved' AND station = $1 FOR UPDATE",
              {owner_.station});
    if (!reserved.ok()) return Fail();
    voided_ = 0;
    for (int row = 0; row < reserved.Rows(); ++row) {
      if (!detail::Gone(static_cast<pid_t>(reserved.Integer(row, 1)), reserved.Text(row, 2), boot_)) continue;
      const Result update = Query("UPDATE serials SET state = 'void', cause = $1 WHERE id = $2",
                                  {std::string(kInterruptedCause), reserved.Text(row, 0)});
      if (!update.ok()) return Fail();
      ++voided_;
    }
    return true;
  });
}

bool PostgresStore::RegisterJob(const Job& job, JobVersion& version) {
  const std::lock_guard lock(mutex_);
  if (!Connected()) return false;
  return Transaction([&] {
    const Result known = Query("SELECT id, first_used FROM jobs WHERE identity = $1", {job.identity});
    if (!known.ok()) return Fail();
    if (known.Rows() == 1) {
      version = {known.Integer(0, 0), false, false, known.Text(0, 1)};
      return true;
    }
    const Result named = Query("SELECT 1 FROM jobs WHERE name = $1 LIMIT 1", {job.name});
    if (!named.ok()) return Fail();
    const std::string now = TimeStamp(std::chrono::system_clock::now());
    // Another station may register the same version at the same moment: its row is the one.
    const Result insert = Query(
        "INSERT INTO jobs (identity, name, text, first_used) VALUES ($1, $2, $3, $4) "
        "ON CONFLICT (identity) DO NOTHING RETURNING id",
        {job.identity, job.name, job.text, now});
    if (!insert.ok()) return Fail();
    if (insert.Rows() == 1) {
      version = {insert.Integer(0, 0), true, named.Rows() > 0, now};
      return true;
    }
    const Result again = Query("SELECT id, first_used FROM jobs WHERE identity = $1", {job.identity});
    if (!again.ok() || again.Rows() != 1) return Fail();
    version = {again.Integer(0, 0), false, false, again.Text(0, 1)};
    return true;
  });
}

ReserveOutcome PostgresStore::ReserveSerial(std::int64_t jobId, const Job& job,
                                            SerialReservation& reservation) {
  if (!job.serial) return ReserveOutcome::Exhausted;
  const std::lock_guard lock(mutex_);
  if (!Connected()) return unreachable_ ? ReserveOutcome::Unreachable : ReserveOutcome::Failed;
  bool exhausted = false;
  const bool done = Transaction([&] {
    // The series' counter row, locked until COMMIT: every station reserving in this series
    // waits here, so the value picked below cannot be picked by another.
    if (!Query("INSERT INTO serial_counters (series) VALUES ($1) ON CONFLICT DO NOTHING", {job.name}).ok() ||
        !Query("SELECT series FROM serial_counters WHERE series = $1 FOR UPDATE", {job.name}).ok())
      return Fail();
    bool failed = false;
    Series series(*this);
    auto value = detail::NextSerialValue(job, series, failed);
    if (!value) {
      exhausted = !failed;
      if (failed && !series.error.empty()) error_ = series.error;
      return false;
    }
    const Param number = value->number ? Number(static_cast<std::int64_t>(*value->number)) : std::nullopt;
    const Result insert = Query(
        "INSERT INTO serials (job, series, value, number, state, station, pid, boot, reserved_at) "
        "VALUES ($1, $2, $3, $4, 'reserved', $5, $6, $7, $8) RETURNING id",
        {Number(jobId), job.name, value->text, number, owner_.station, Number(owner_.pid), boot_,
         TimeStamp(std::chrono::system_clock::now())});
    if (!insert.ok() || insert.Rows() != 1) return Fail();
    reservation = {insert.Integer(0, 0), std::move(*value)};
    return true;
  });
  if (done) return ReserveOutcome::Reserved;
  if (exhausted) return ReserveOutcome::Exhausted;
  return unreachable_ ? ReserveOutcome::Unreachable : ReserveOutcome::Failed;
}

bool PostgresStore::Send(const OutboxRecord& record, bool strict) {
  return Transaction([&] {
    const ChipRecord& chip = record.chip;
    const Result insert = Query(
        "INSERT INTO chips (record, job, station, programmer, start_time, end_time, signature, serial, "
        "flash_crc, eeprom_crc, fuses, lock, result, failed_step, cause, seconds) "
        "VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, $16) "
        "ON CONFLICT (record) DO NOTHING",
        {record.id, Number(chip.jobId), chip.station, chip.programmer, chip.start, chip.end, chip.signature,
         chip.serial, Crc(chip.flashCrc), Crc(chip.eepromCrc), chip.fuses, chip.lock,
         std::string(ChipResultName(chip.result)), chip.failedStep, chip.cause,
         Printf("%.17g", chip.seconds)});
    if (!insert.ok()) return Fail();
    // Already there: sent before the answer to an earlier try was lost.
    if (insert.Changed() == 0 || !record.serialId) return true;
    const detail::SerialEnd end = detail::SerialEndOf(chip);
    const Result update = Query(
        "UPDATE serials SET state = $1, cause = $2 WHERE id = $3 "
        "AND (state = 'reserved' OR ($4 AND state = 'void' AND cause = $5))",
        {std::string(SerialStateName(end.state)), end.cause, Number(*record.serialId),
         std::string(strict ? "false" : "true"), std::string(kInterruptedCause)});
    if (!update.ok()) return Fail();
    if (update.Changed() == 1 || !strict) return true;
    error_ = texts::kRecordNotReserved.c_str();
    return false;
  });
}

bool PostgresStore::Flush() {
  std::vector<OutboxRecord> records;
  if (!outbox_.Waiting(databaseId_, records, error_)) return false;
  bool all = true;
  for (const OutboxRecord& record : records) {
    if (!Send(record, false)) {
      if (unreachable_) return false;
      all = false;  // refused for good (its job is gone?): it stays, and report counts it
      continue;
    }
    // Sent: a crash before this removal sends it again, and the record id keeps it once.
    if (!outbox_.Remove(record.id, error_)) return false;
  }
  return all;
}

bool PostgresStore::RecordChip(const ChipRecord& chip, std::optional<std::int64_t> serialId) {
  const std::lock_guard lock(mutex_);
  const OutboxRecord record{detail::NewRecordId(), chip, serialId};
  if (Connected()) {
    if (Send(record, true)) return true;
    if (!unreachable_) return false;
  }
  // The chip is done and its record must not be lost: it waits for the server. Sent again
  // when the commit's answer was lost, its id keeps it from being added twice.
  std::string reason;
  if (outbox_.Put(databaseId_, record, reason)) return true;
  error_ = reason;
  return false;
}

bool PostgresStore::FinishSerial(std::int64_t serialId, SerialState state, const std::string& cause) {
  const std::lock_guard lock(mutex_);
  if (!Connected()) return false;
  const Result update =
      Query("UPDATE serials SET state = $1, cause = $2 WHERE id = $3 AND state = 'reserved'",
            {std::string(SerialStateName(state)), cause, Number(serialId)});
  if (!update.ok()) return Fail();
  if (update.Changed() == 1) return true;
  error_ = Printf("serial %lld is not reserved", static_cast<long long>(serialId));
  return false;
}

bool PostgresStore::Chips(const ReportFilter& filter, std::vector<ChipRecord>& chips) {
  const std::lock_guard lock(mutex_);
  if (!Connected()) return false;
  // An absent filter binds NULL, which lets every row through.
  const Result select = Query(
      "SELECT chips.job, jobs.name, station, programmer, start_time, end_time, signature, serial, "
      "flash_crc, eeprom_crc, fuses, lock, result, failed_step, cause, seconds "
      "FROM chips JOIN jobs ON jobs.id = chips.job "
      "WHERE ($1::text IS NULL OR jobs.name = $1) AND ($2::text IS NULL OR start_time >= $2) "
      "ORDER BY start_time, chips.id",
      {filter.job, filter.since});
  if (!select.ok()) return Fail();
  for (int row = 0; row < select.Rows(); ++row) {
    ChipRecord chip;
    chip.jobId = select.Integer(row, 0);
    chip.jobName = select.Text(row, 1);
    detail::ReadChipColumns(ResultRow{select, row}, 2, chip);
    chips.push_back(std::move(chip));
  }
  return true;
}

bool PostgresStore::Serials(const std::string& jobName, std::vector<SerialRow>& rows) {
  const std::lock_guard lock(mutex_);
  if (!Connected()) return false;
  const Result select =
      Query("SELECT value, state, cause FROM serials WHERE series = $1 ORDER BY id", {jobName});
  if (!select.ok()) return Fail();
  for (int row = 0; row < select.Rows(); ++row)
    rows.push_back({select.Text(row, 0), detail::StateOf(select.Text(row, 1)), select.Text(row, 2)});
  return true;
}

}  // namespace

std::unique_ptr<ProductionStore> OpenPostgresStore(const std::string& connection, const StoreOwner& owner,
                                                   const std::string& outboxPath, std::string& error,
                                                   bool* unreachable) {
  auto store = std::make_unique<PostgresStore>(connection, owner, outboxPath);
  const bool open = store->Open();
  if (unreachable != nullptr) *unreachable = !open && store->Unreachable();
  if (open) return store;
  // The connection string may hold a password: the message does not repeat it.
  error = Printf(texts::kDatabaseFailedPattern, "PostgreSQL", store->Error().c_str());
  return nullptr;
}

}  // namespace kestrel::production
