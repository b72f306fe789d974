#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "production/Job.h"
#include "production/Serial.h"

// The production database: which job versions ran, every serial given out and what became of
// it, and one row per chip. Every SQL statement lives behind ProductionStore, which has two back
// ends: a SQLite file for one PC (the default), and PostgreSQL for a line of stations sharing
// one job (OpenStore picks by the target's form). Its callers see no SQL, no dialect and no
// connection.
//
// The serial rules every back end keeps:
//   - ReserveSerial picks the next value and records it as reserved in one transaction
//     (SQLite: BEGIN IMMEDIATE ... COMMIT), before any byte goes to the chip;
//   - RecordChip ends it as passed or failed together with the chip's row; a value is never
//     given again, whatever its end;
//   - at open, values left reserved by a run that is gone (kill -9, power cut) become void
//     with the cause "interrupted";
//   - within a job name no value is given twice: a changed job file (a new version) continues
//     its sequence and list, and a random value is checked against all values given before.
//
// A production run, chip after chip:
//   1. OpenStore once per station (when it fails with `unreachable`, wait and try again); when VoidedAtOpen()
//   is not 0, print
//      texts::kVoidedAtOpenPattern.
//   2. RegisterJob(job, version) once; when version.changed, print texts::kJobChangedPattern.
//   3. For a chip whose signature is the job's, before the first byte is written:
//      ReserveSerial(version.id, job, reservation). Reserved: go on; Exhausted: end the run
//      cleanly with texts::kSerialsUsedUpPattern, nothing was reserved; Unreachable: the PostgreSQL
//      server cannot be reached, nothing was reserved: start no chip, show
//      kestrel::texts::kDatabaseUnreachable and call again in a few seconds; Failed: end the run
//      with Error(), nothing was reserved. A job without [serial] needs no reservation.
//   4. Write and verify job.ChipImage(kind, &reservation.value) for FLASH and EEPROM.
//   5. RecordChip(record, reservation.id) (std::nullopt without a serial, or for a wrong chip):
//      the chip's row (its `serial` is reservation.value.text) and its serial's end in one
//      transaction. When it fails (a full disk), stop before the next chip: the serial stays
//      reserved and is void at the next open. A reservation no byte of which reached a chip may
//      instead be ended with FinishSerial(id, SerialState::Void, cause).
//      On PostgreSQL, a record the server cannot take now (the connection is lost) is kept in
//      the local outbox and RecordChip returns true: the chip in the socket finishes. Each
//      record carries its own random id and is inserted once, however often it is sent.
//   6. The outbox is sent by the store itself: at open, and before each ReserveSerial and
//      RecordChip once the server answers again; FlushOutbox sends it at once (at the run's
//      end). OutboxWaiting() says how many records still wait.
//
// Several threads may share one store: each call is one transaction and calls are serialized.
// Several stations (processes) may open the same file: the database's write lock orders their
// reservations. A method that fails returns false (or Failed) and leaves the reason in Error();
// nothing of a failed call is kept.
namespace kestrel::production {

enum class SerialState { Reserved, Passed, Failed, Void };
const char* SerialStateName(SerialState state);  // "reserved", "passed", "failed", "void"

inline constexpr char kInterruptedCause[] = "interrupted";

// The job version a run records its chips under.
struct JobVersion {
  std::int64_t id = 0;
  bool firstUse = false;  // the identity was not in the database before
  bool changed = false;   // ... but its name was: the job's files or text changed since
  std::string firstUsed;  // when this version was first used (TimeStamp)
};

struct SerialReservation {
  std::int64_t id = 0;
  SerialValue value;
};

enum class ReserveOutcome {
  Reserved,
  Exhausted,    // the sequence passed its last number, the list is used up, or no random value is left
  Failed,       // the database refused; see Error()
  Unreachable,  // the PostgreSQL server cannot be reached now; wait and call again
};

// How a chip's run ended; a serial ends passed only with Pass.
enum class ChipResult { Pass, Fail, WrongChip, Stopped };
const char* ChipResultName(ChipResult result);  // "pass", "fail", "wrong chip", "stopped"

// One chip put into the socket. Times are TimeStamp texts; an unknown CRC is empty.
struct ChipRecord {
  std::int64_t jobId = 0;
  std::string jobName;  // filled by Chips()
  std::string station;
  std::string programmer;  // the programmer's address, "BBB:DDD"
  std::string start;
  std::string end;
  std::string signature;                  // "1E 95 0F"
  std::string serial;                     // the serial value's text; empty without one
  std::optional<std::uint32_t> flashCrc;  // CRC-32 of the FLASH written (zlib's crc32)
  std::optional<std::uint32_t> eepromCrc;
  std::string fuses;  // "62D9FF", as written
  std::string lock;
  ChipResult result = ChipResult::Fail;
  std::string failedStep;  // StepName of the step that failed; empty for Pass
  std::string cause;
  double seconds = 0;
};

struct ReportFilter {
  std::optional<std::string> job;    // the job's name
  std::optional<std::string> since;  // a date or TimeStamp: chips started at or after it
};

// Who reserves: a reservation this station left in a process that no longer runs, or before
// the machine last started, is an interrupted one.
struct StoreOwner {
  std::string station;
  pid_t pid = 0;
};

class ProductionStore {
 public:
  virtual ~ProductionStore() = default;

  // The reason the last call that failed gives.
  virtual std::string Error() const = 0;
  // How many reservations the open found interrupted and made void.
  virtual int VoidedAtOpen() const = 0;

  // The version of the job with this identity (Job::identity), added on its first use. Its id
  // is what the calls below take as `jobId`.
  virtual bool RegisterJob(const Job& job, JobVersion& version) = 0;
  // The next serial of `job` (registered as `jobId`), recorded as reserved for this owner in
  // one transaction; see ReserveOutcome. A job without [serial] is Exhausted at once.
  virtual ReserveOutcome ReserveSerial(std::int64_t jobId, const Job& job,
                                       SerialReservation& reservation) = 0;
  // Adds the chip's row and, when `serialId` names the reservation its chip was given, ends
  // that serial in the same transaction: passed for ChipResult::Pass, else failed with the
  // failed step (or "stopped") as its cause. False, and nothing kept, when the serial is not
  // reserved any more.
  virtual bool RecordChip(const ChipRecord& chip, std::optional<std::int64_t> serialId) = 0;
  // Ends a reserved serial as Passed, Failed or Void without a chip row; false when it is not
  // reserved (a final state is never changed).
  virtual bool FinishSerial(std::int64_t serialId, SerialState state, const std::string& cause) = 0;
  // The chips the filter lets through, oldest first.
  virtual bool Chips(const ReportFilter& filter, std::vector<ChipRecord>& chips) = 0;
  // Every serial of a job name with its state, in the order given (for reports and tests).
  struct SerialRow {
    std::string value;
    SerialState state;
    std::string cause;
  };
  virtual bool Serials(const std::string& jobName, std::vector<SerialRow>& rows) = 0;

  // The outbox of a server store; a SQLite store has none (false, 0, true).
  // Whether the last call that failed did so because the server could not be reached.
  virtual bool Unreachable() const { return false; }
  // The chip records that wait in the outbox for the server (for any server: a record is sent
  // only to the database it was meant for).
  virtual int OutboxWaiting() { return 0; }
  // Sends what waits in the outbox for this database; false (Unreachable() telling why) when
  // some of it could not be sent.
  virtual bool FlushOutbox() { return true; }
};

// Opens (creating it and its folder when missing) the SQLite database at `path`, in WAL mode
// with synchronous=FULL, brings its schema up to date and voids the interrupted reservations.
// Nothing and `error` when it cannot.
std::unique_ptr<ProductionStore> OpenSqliteStore(const std::string& path, const StoreOwner& owner,
                                                 std::string& error);

// Whether `target` (--db, KESTREL_DB) names a PostgreSQL database rather than a SQLite file:
// a "postgresql://" or "postgres://" URI, or a libpq keyword string ("host=... dbname=...":
// it starts with a keyword and "="). A file whose name would read so is given as "./NAME".
bool IsPostgresTarget(const std::string& target);

// Opens the PostgreSQL database `connection` names, a libpq connection string handed to libpq
// untouched: its password comes from libpq's own sources (~/.pgpass, PGPASSWORD, the service
// file) and its sslmode is honoured. Brings the schema up to date (one station at a time),
// sends what waits in the outbox at `outboxPath` (a SQLite file, made when first needed) and
// voids the interrupted reservations. Nothing and `error` when it cannot; `unreachable` then
// says whether the server could not be reached (worth trying again).
std::unique_ptr<ProductionStore> OpenPostgresStore(const std::string& connection, const StoreOwner& owner,
                                                   const std::string& outboxPath, std::string& error,
                                                   bool* unreachable = nullptr);

// The store `target` names: PostgreSQL (with the default outbox) when IsPostgresTarget, else
// the SQLite file.
std::unique_ptr<ProductionStore> OpenStore(const std::string& target, const StoreOwner& owner,
                                           std::string& error, bool* unreachable = nullptr);

// $XDG_DATA_HOME/kestrel/production.sqlite, or ~/.local/share/kestrel/production.sqlite.
std::string DefaultDatabasePath();
// The database a front end uses when none is named: $KESTREL_DB when set and not empty, else
// DefaultDatabasePath().
std::string DefaultDatabaseTarget();
// This machine's host name, "localhost" when it has none: the station a record names unless
// one is given.
std::string HostName();
// outbox.sqlite beside the default database: where a PostgreSQL station's records wait.
std::string DefaultOutboxPath();

// "2026-12-07T07:05:45Z": UTC, so that the text order is the time order.
std::string TimeStamp(std::chrono::system_clock::time_point time);

// The chips as CSV with a header line; fields quoted where they hold a comma, a quote or a
// line break.
std::string ChipsCsv(const std::vector<ChipRecord>& chips);

}  // namespace kestrel::production
