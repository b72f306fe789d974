#pragma once

#include <sqlite3.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "production/ProductionDatabase.h"

// What the back ends of ProductionStore share and their callers never see: the rule that picks
// a job's next serial value (each back end answers its questions in its own SQL, inside its
// reserving transaction), the names of states and results as stored, and the process checks
// that find an interrupted reservation. The SQLite statement wrapper serves the SQLite store
// and the PostgreSQL store's local outbox alike.
namespace kestrel::production::detail {

ChipResult ResultOf(const std::string& name);
SerialState StateOf(const std::string& name);

// This start of the machine: a process of an earlier one is gone, whatever runs under its pid
// now (a power cut leaves reservations that the next boot's pids would otherwise keep alive).
std::string BootId();
// A process that no longer runs: its reservations can never be finished.
bool Gone(pid_t pid, const std::string& boot, const std::string& thisBoot);

// The questions the serial rule asks about a series (a job name), answered within the
// transaction that holds the series' lock. Each returns false, with the reason in `error`,
// when the database fails.
class SeriesQueries {
 public:
  virtual ~SeriesQueries() = default;
  // The highest number given in the series; nothing when none was.
  virtual bool Highest(const std::string& series, std::optional<std::int64_t>& highest) = 0;
  virtual bool Taken(const std::string& series, const std::string& value, bool& taken) = 0;
  virtual bool Given(const std::string& series, std::set<std::string>& given) = 0;
  std::string error;
};

// The next value of the job's series; nothing when the series is out of values or, with
// `failed` set, when the database failed.
std::optional<SerialValue> NextSerialValue(const Job& job, SeriesQueries& queries, bool& failed);

// The end a chip's result gives its serial: passed for ChipResult::Pass, else failed with the
// failed step (or "stopped") as its cause.
struct SerialEnd {
  SerialState state;
  std::string cause;
};
SerialEnd SerialEndOf(const ChipRecord& chip);

// 128 random bits as 32 hexadecimal digits: a chip record's own id, so that a record sent
// twice (once before a lost connection's answer, once from the outbox) is kept once.
std::string NewRecordId();

// One prepared SQLite statement; values are always bound, never pasted into the text.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr); }
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, const std::string& text) {
    sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& Bind(int index, std::int64_t value) {
    sqlite3_bind_int64(statement_, index, value);
    return *this;
  }
  Statement& Bind(int index, double value) {
    sqlite3_bind_double(statement_, index, value);
    return *this;
  }
  Statement& BindOptional(int index, std::optional<std::int64_t> value) {
    if (value)
      sqlite3_bind_int64(statement_, index, *value);
    else
      sqlite3_bind_null(statement_, index);
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step() { return statement_ == nullptr ? SQLITE_ERROR : sqlite3_step(statement_); }
  std::int64_t Integer(int column) const { return sqlite3_column_int64(statement_, column); }
  bool Null(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
  double Real(int column) const { return sqlite3_column_double(statement_, column); }
  std::string Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    return text == nullptr
               ? std::string()
               : std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)));
  }

 private:
  sqlite3_stmt* statement_ = nullptr;
};

// A chip's columns as every chip table (SQLite's, PostgreSQL's, the outbox) keeps them, from
// `first` on: station, programmer, start_time, end_time, signature, serial, flash_crc,
// eeprom_crc, fuses, lock, result, failed_step, cause, seconds. `row` reads a column as a
// Statement does (Text, Null, Integer, Real).
template <typename Row>
void ReadChipColumns(const Row& row, int first, ChipRecord& chip) {
  chip.station = row.Text(first);
  chip.programmer = row.Text(first + 1);
  chip.start = row.Text(first + 2);
  chip.end = row.Text(first + 3);
  chip.signature = row.Text(first + 4);
  chip.serial = row.Text(first + 5);
  if (!row.Null(first + 6)) chip.flashCrc = static_cast<std::uint32_t>(row.Integer(first + 6));
  if (!row.Null(first + 7)) chip.eepromCrc = static_cast<std::uint32_t>(row.Integer(first + 7));
  chip.fuses = row.Text(first + 8);
  chip.lock = row.Text(first + 9);
  chip.result = ResultOf(row.Text(first + 10));
  chip.failedStep = row.Text(first + 11);
  chip.cause = row.Text(first + 12);
  chip.seconds = row.Real(first + 13);
}
// Binds those columns, in that order, from parameter `first` on.
void BindChipColumns(Statement& insert, int first, const ChipRecord& chip);

}  // namespace kestrel::production::detail
