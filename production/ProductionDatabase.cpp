#include "production/ProductionDatabase.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <set>
#include <utility>

#include "base/FileRead.h"
#include "base/Format.h"
#include "production/ProductionTexts.h"
#include "production/StoreShared.h"

namespace kestrel::production {
namespace {

// Schema version N is reached by running kMigrations[N - 1]; a database's user_version says
// how many it has had. A new version is a new entry at the end: never edit one that shipped.
constexpr const char* kMigrations[] = {
    R"(CREATE TABLE jobs (
         id INTEGER PRIMARY KEY,
         identity TEXT NOT NULL UNIQUE,
         name TEXT NOT NULL,
         text TEXT NOT NULL,
         first_used TEXT NOT NULL);
       CREATE INDEX jobs_name ON jobs(name);
       CREATE TABLE serials (
         id INTEGER PRIMARY KEY,
         job INTEGER NOT NULL REFERENCES jobs(id),
         series TEXT NOT NULL,
         value TEXT NOT NULL,
         number INTEGER,
         state TEXT NOT NULL CHECK (state IN ('reserved', 'passed', 'failed', 'void')),
         cause TEXT NOT NULL DEFAULT '',
         station TEXT NOT NULL,
         pid INTEGER NOT NULL,
         reserved_at TEXT NOT NULL,
         UNIQUE (series, value));
       CREATE INDEX serials_state ON serials(state);
       CREATE TABLE chips (
         id INTEGER PRIMARY KEY,
         job INTEGER NOT NULL REFERENCES jobs(id),
         station TEXT NOT NULL,
         programmer TEXT NOT NULL,
         start_time TEXT NOT NULL,
         end_time TEXT NOT NULL,
         signature TEXT NOT NULL,
         serial TEXT NOT NULL,
         flash_crc INTEGER,
         eeprom_crc INTEGER,
         fuses TEXT NOT NULL,
         lock TEXT NOT NULL,
         result TEXT NOT NULL,
         failed_step TEXT NOT NULL,
         cause TEXT NOT NULL,
         seconds REAL NOT NULL);
       CREATE INDEX chips_start ON chips(start_time);)",
    // The machine's boot a reservation was made in: a pid alone outlives a power cut.
    "ALTER TABLE serials ADD COLUMN boot TEXT NOT NULL DEFAULT ''",
};
constexpr int kSchemaVersion = static_cast<int>(std::size(kMigrations));

const char* const kStateNames[] = {"reserved", "passed", "failed", "void"};
const char* const kResultNames[] = {"pass", "fail", "wrong chip", "stopped"};

using detail::BootId;
using detail::Gone;
using detail::ResultOf;
using detail::Statement;
using detail::StateOf;

class SqliteStore final : public ProductionStore {
 public:
  explicit SqliteStore(StoreOwner owner) : owner_(std::move(owner)), boot_(BootId()) {}
  ~SqliteStore() override { sqlite3_close_v2(db_); }

  bool Open(const std::string& path);

  std::string Error() const override {
    const std::lock_guard lock(mutex_);
    return error_;
  }
  int VoidedAtOpen() const override { return voided_; }
  bool RegisterJob(const Job& job, JobVersion& version) override;
  ReserveOutcome ReserveSerial(std::int64_t jobId, const Job& job, SerialReservation& reservation) override;
  bool FinishSerial(std::int64_t serialId, SerialState state, const std::string& cause) override;
  bool RecordChip(const ChipRecord& chip, std::optional<std::int64_t> serialId) override;
  bool Chips(const ReportFilter& filter, std::vector<ChipRecord>& chips) override;
  bool Serials(const std::string& jobName, std::vector<SerialRow>& rows) override;

 private:
  bool Fail() {
    error_ = sqlite3_errmsg(db_);
    return false;
  }
  bool Execute(const char* sql) {
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK || Fail();
  }
  // Runs `work` between BEGIN IMMEDIATE and COMMIT: the write lock is taken first, so no other
  // station can pick the same value in between; anything that fails rolls all of it back.
  template <typename Work>
  bool Transaction(Work work) {
    if (!Execute("BEGIN IMMEDIATE")) return false;
    if (work() && Execute("COMMIT")) return true;
    const std::string reason = error_;
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    error_ = reason;
    return false;
  }
  bool Migrate();
  bool VoidInterrupted();
  bool EndSerial(std::int64_t serialId, SerialState state, const std::string& cause);

  // One connection holds one transaction at a time: the threads that share it take turns.
  mutable std::mutex mutex_;
  sqlite3* db_ = nullptr;
  StoreOwner owner_;
  std::string boot_;
  std::string error_;
  int voided_ = 0;
};

bool SqliteStore::Open(const std::string& path) {
  std::error_code ignored;
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
  if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                      nullptr) != SQLITE_OK) {
    return db_ != nullptr ? Fail() : (error_ = "out of memory", false);
  }
  // Other stations' transactions are short; wait for them rather than fail.
  sqlite3_busy_timeout(db_, 10000);
  return Execute("PRAGMA journal_mode=WAL") && Execute("PRAGMA synchronous=FULL") &&
         Execute("PRAGMA foreign_keys=ON") && Migrate() && VoidInterrupted();
}

bool SqliteStore::Migrate() {
  return Transaction([&] {
    Statement read(db_, "PRAGMA user_version");
    if (read.Step() != SQLITE_ROW) return Fail();
    const int version = static_cast<int>(read.Integer(0));
    if (version > kSchemaVersion) {
      error_ = Printf(texts::kDatabaseNewerPattern, version, kSchemaVersion);
      return false;
    }
    for (int next = version; next < kSchemaVersion; ++next) {
      if (!Execute(kMigrations[next])) return false;
    }
    // PRAGMA takes no bound value; the number is the program's own.
    return Execute(Printf("PRAGMA user_version=%d", kSchemaVersion).c_str());
  });
}

bool SqliteStore::VoidInterrupted() {
  return Transaction([&] {
    Statement reserved(db_, "SELECT id, pid, boot FROM serials WHERE state = 'reserved' AND station = ?");
    reserved.Bind(1, owner_.station);
    std::vector<std::int64_t> dead;
    int step = SQLITE_ROW;
    while ((step = reserved.Step()) == SQLITE_ROW) {
      if (Gone(static_cast<pid_t>(reserved.Integer(1)), reserved.Text(2), boot_))
        dead.push_back(reserved.Integer(0));
    }
    if (step != SQLITE_DONE) return Fail();
    for (std::int64_t id : dead) {
      Statement update(db_, "UPDATE serials SET state = 'void', cause = ? WHERE id = ?");
      update.Bind(1, std::string(kInterruptedCause)).Bind(2, id);
      if (update.Step() != SQLITE_DONE) return Fail();
    }
    voided_ = static_cast<int>(dead.size());
    return true;
  });
}

bool SqliteStore::RegisterJob(const Job& job, JobVersion& version) {
  const std::lock_guard lock(mutex_);
  return Transaction([&] {
    Statement known(db_, "SELECT id, first_used FROM jobs WHERE identity = ?");
    known.Bind(1, job.identity);
    if (const int step = known.Step(); step == SQLITE_ROW) {
      version = {known.Integer(0), false, false, known.Text(1)};
      return true;
    } else if (step != SQLITE_DONE) {
      return Fail();
    }
    Statement named(db_, "SELECT 1 FROM jobs WHERE name = ? LIMIT 1");
    named.Bind(1, job.name);
    const int step = named.Step();
    if (step != SQLITE_ROW && step != SQLITE_DONE) return Fail();
    const std::string now = TimeStamp(std::chrono::system_clock::now());
    Statement insert(db_, "INSERT INTO jobs (identity, name, text, first_used) VALUES (?, ?, ?, ?)");
    insert.Bind(1, job.identity).Bind(2, job.name).Bind(3, job.text).Bind(4, now);
    if (insert.Step() != SQLITE_DONE) return Fail();
    version = {sqlite3_last_insert_rowid(db_), true, step == SQLITE_ROW, now};
    return true;
  });
}

class SqliteSeries final : public detail::SeriesQueries {
 public:
  explicit SqliteSeries(sqlite3* db) : db_(db) {}
  bool Highest(const std::string& series, std::optional<std::int64_t>& highest) override {
    Statement select(db_, "SELECT MAX(number) FROM serials WHERE series = ?");
    select.Bind(1, series);
    if (select.Step() != SQLITE_ROW) return Fail();
    if (!select.Null(0)) highest = select.Integer(0);
    return true;
  }
  bool Taken(const std::string& series, const std::string& value, bool& taken) override {
    Statement find(db_, "SELECT 1 FROM serials WHERE series = ? AND value = ?");
    find.Bind(1, series).Bind(2, value);
    const int step = find.Step();
    taken = step == SQLITE_ROW;
    return step == SQLITE_ROW || step == SQLITE_DONE || Fail();
  }
  bool Given(const std::string& series, std::set<std::string>& given) override {
    Statement used(db_, "SELECT value FROM serials WHERE series = ?");
    used.Bind(1, series);
    int step = SQLITE_ROW;
    while ((step = used.Step()) == SQLITE_ROW) given.insert(used.Text(0));
    return step == SQLITE_DONE || Fail();
  }

 private:
  bool Fail() {
    error = sqlite3_errmsg(db_);
    return false;
  }
  sqlite3* db_;
};

ReserveOutcome SqliteStore::ReserveSerial(std::int64_t jobId, const Job& job,
                                          SerialReservation& reservation) {
  if (!job.serial) return ReserveOutcome::Exhausted;
  const std::lock_guard lock(mutex_);
  bool exhausted = false;
  const bool done = Transaction([&] {
    bool failed = false;
    SqliteSeries series(db_);
    auto value = detail::NextSerialValue(job, series, failed);
    if (!value) {
      exhausted = !failed;
      error_ = series.error;
      return false;
    }
    Statement insert(
        db_,
        "INSERT INTO serials (job, series, value, number, state, station, pid, boot, reserved_at) "
        "VALUES (?, ?, ?, ?, 'reserved', ?, ?, ?, ?)");
    insert.Bind(1, jobId).Bind(2, job.name).Bind(3, value->text);
    insert.BindOptional(4, value->number
                               ? std::optional<std::int64_t>(static_cast<std::int64_t>(*value->number))
                               : std::nullopt);
    insert.Bind(5, owner_.station).Bind(6, static_cast<std::int64_t>(owner_.pid));
    insert.Bind(7, boot_).Bind(8, TimeStamp(std::chrono::system_clock::now()));
    if (insert.Step() != SQLITE_DONE) return Fail();
    reservation = {sqlite3_last_insert_rowid(db_), std::move(*value)};
    return true;
  });
  if (done) return ReserveOutcome::Reserved;
  return exhausted ? ReserveOutcome::Exhausted : ReserveOutcome::Failed;
}

bool SqliteStore::EndSerial(std::int64_t serialId, SerialState state, const std::string& cause) {
  // Only a reserved value ends: a final state is never changed again.
  Statement update(db_, "UPDATE serials SET state = ?, cause = ? WHERE id = ? AND state = 'reserved'");
  update.Bind(1, std::string(SerialStateName(state))).Bind(2, cause).Bind(3, serialId);
  if (update.Step() != SQLITE_DONE) return Fail();
  if (sqlite3_changes(db_) == 1) return true;
  error_ = Printf("serial %lld is not reserved", static_cast<long long>(serialId));
  return false;
}

bool SqliteStore::FinishSerial(std::int64_t serialId, SerialState state, const std::string& cause) {
  const std::lock_guard lock(mutex_);
  return EndSerial(serialId, state, cause);
}

bool SqliteStore::RecordChip(const ChipRecord& chip, std::optional<std::int64_t> serialId) {
  const std::lock_guard lock(mutex_);
  // The row and the serial's end together: a crash between them would leave a passed chip
  // whose serial the next open calls interrupted.
  return Transaction([&] {
    Statement insert(db_,
                     "INSERT INTO chips (job, station, programmer, start_time, end_time, signature, serial, "
                     "flash_crc, eeprom_crc, fuses, lock, result, failed_step, cause, seconds) "
                     "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    insert.Bind(1, chip.jobId);
    detail::BindChipColumns(insert, 2, chip);
    if (insert.Step() != SQLITE_DONE) return Fail();
    if (!serialId) return true;
    const detail::SerialEnd end = detail::SerialEndOf(chip);
    return EndSerial(*serialId, end.state, end.cause);
  });
}

bool SqliteStore::Chips(const ReportFilter& filter, std::vector<ChipRecord>& chips) {
  const std::lock_guard lock(mutex_);
  // An absent filter binds NULL, which lets every row through.
  Statement select(
      db_,
      "SELECT chips.job, jobs.name, station, programmer, start_time, end_time, signature, serial, "
      "flash_crc, eeprom_crc, fuses, lock, result, failed_step, cause, seconds "
      "FROM chips JOIN jobs ON jobs.id = chips.job "
      "WHERE (?1 IS NULL OR jobs.name = ?1) AND (?2 IS NULL OR start_time >= ?2) "
      "ORDER BY start_time, chips.id");
  if (filter.job) select.Bind(1, *filter.job);
  if (filter.since) select.Bind(2, *filter.since);
  int step = SQLITE_ROW;
  while ((step = select.Step()) == SQLITE_ROW) {
    ChipRecord chip;
    chip.jobId = select.Integer(0);
    chip.jobName = select.Text(1);
    detail::ReadChipColumns(select, 2, chip);
    chips.push_back(std::move(chip));
  }
  return step == SQLITE_DONE || Fail();
}

bool SqliteStore::Serials(const std::string& jobName, std::vector<SerialRow>& rows) {
  const std::lock_guard lock(mutex_);
  Statement select(db_, "SELECT value, state, cause FROM serials WHERE series = ? ORDER BY id");
  select.Bind(1, jobName);
  int step = SQLITE_ROW;
  while ((step = select.Step()) == SQLITE_ROW)
    rows.push_back({select.Text(0), StateOf(select.Text(1)), select.Text(2)});
  return step == SQLITE_DONE || Fail();
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string CrcText(const std::optional<std::uint32_t>& crc) {
  return crc ? Printf("%08X", *crc) : std::string();
}

}  // namespace

const char* SerialStateName(SerialState state) {
  return kStateNames[static_cast<int>(state)];
}

const char* ChipResultName(ChipResult result) {
  return kResultNames[static_cast<int>(result)];
}

std::unique_ptr<ProductionStore> OpenSqliteStore(const std::string& path, const StoreOwner& owner,
                                                 std::string& error) {
  auto store = std::make_unique<SqliteStore>(owner);
  if (store->Open(path)) return store;
  error = Printf(texts::kDatabaseFailedPattern, path.c_str(), store->Error().c_str());
  return nullptr;
}

bool IsPostgresTarget(const std::string& target) {
  if (target.starts_with("postgresql://") || target.starts_with("postgres://")) return true;
  // libpq's keyword form: "host=... dbname=...", spaces allowed around the "=".
  std::size_t at = target.find_first_not_of(" \t");
  const std::size_t keyword = at;
  while (at < target.size() && (std::isalnum(static_cast<unsigned char>(target[at])) || target[at] == '_'))
    ++at;
  if (at == keyword || at == std::string::npos) return false;
  at = target.find_first_not_of(" \t", at);
  return at != std::string::npos && target[at] == '=';
}

std::unique_ptr<ProductionStore> OpenStore(const std::string& target, const StoreOwner& owner,
                                           std::string& error, bool* unreachable) {
  if (unreachable != nullptr) *unreachable = false;
  if (IsPostgresTarget(target))
    return OpenPostgresStore(target, owner, DefaultOutboxPath(), error, unreachable);
  return OpenSqliteStore(target, owner, error);
}

std::string DefaultOutboxPath() {
  return std::filesystem::path(DefaultDatabasePath()).replace_filename("outbox.sqlite").string();
}

std::string DefaultDatabasePath() {
  const char* data = std::getenv("XDG_DATA_HOME");
  std::string folder;
  if (data != nullptr && data[0] == '/') {
    folder = data;
  } else {
    const char* home = std::getenv("HOME");
    folder = std::string(home != nullptr ? home : ".") + "/.local/share";
  }
  return folder + "/kestrel/production.sqlite";
}

std::string DefaultDatabaseTarget() {
  const char* environment = std::getenv("KESTREL_DB");
  return environment != nullptr && environment[0] != '\0' ? std::string(environment) : DefaultDatabasePath();
}

std::string HostName() {
  char host[HOST_NAME_MAX + 1] = {};
  return gethostname(host, sizeof host - 1) == 0 ? std::string(host) : std::string("localhost");
}

std::string TimeStamp(std::chrono::system_clock::time_point time) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

std::string ChipsCsv(const std::vector<ChipRecord>& chips) {
  std::string csv =
      "job,station,programmer,start,end,signature,serial,flash_crc32,eeprom_crc32,fuses,lock,result,"
      "failed_step,cause,seconds\r\n";
  for (const ChipRecord& chip : chips) {
    for (const std::string& field :
         {chip.jobName, chip.station, chip.programmer, chip.start, chip.end, chip.signature, chip.serial,
          CrcText(chip.flashCrc), CrcText(chip.eepromCrc), chip.fuses, chip.lock,
          std::string(ChipResultName(chip.result)), chip.failedStep, chip.cause}) {
      csv += CsvField(field) + ",";
    }
    csv += Printf("%.2f", chip.seconds) + "\r\n";
  }
  return csv;
}

}  // namespace kestrel::production
