#include "cli/JsonEvents.h"

#include <chrono>
#include <ctime>
#include <stdexcept>

#include "base/Format.h"
#include "production/Job.h"

namespace kestrel::cli {
namespace {

using nlohmann::json;

const std::vector<EventDescription> kEvents = {
    {Event::Log, "log", {"time", "text", "failure"}},
    {Event::Field, "field", {"name", "value"}},
    {Event::Progress, "progress", {"memory", "direction", "page", "total"}},
    {Event::Operation, "operation", {"name", "result", "cause", "differences"}},
    {Event::Run, "run", {"result", "cause", "failures"}},
    {Event::Chip,
     "chip",
     {"number", "result", "serial", "signature", "crc32", "step", "cause", "seconds", "programmer"}},
    {Event::Summary, "summary", {"passed", "failed", "wrong_chips", "yield", "chips_per_hour", "programmer"}},
};

json Byte(std::uint8_t byte) {
  return Printf("%02X", unsigned{byte});
}

json Bytes(std::span<const std::uint8_t> bytes) {
  json list = json::array();
  for (std::uint8_t byte : bytes) list.push_back(Byte(byte));
  return list;
}

json OrNull(const std::string& text) {
  return text.empty() ? json() : json(text);
}

// A run's or an operation's result word, from its cause.
const char* ResultName(bool passed, control::Cause cause) {
  using control::Cause;
  if (passed) return "passed";
  if (cause == Cause::RefusedInput) return "refused";
  if (cause == Cause::Stopped || cause == Cause::Cancelled) return "stopped";
  return "failed";
}

json CauseOrNull(bool passed, control::Cause cause) {
  return passed ? json() : json(CauseName(cause));
}

}  // namespace

std::span<const EventDescription> EventTable() {
  return kEvents;
}

void JsonEvents::Write(Event event, std::vector<json> values) {
  const EventDescription& description = kEvents.at(static_cast<std::size_t>(event));
  if (description.event != event || values.size() != description.fields.size())
    throw std::logic_error(std::string("JSON event fields differ from the table: ") + description.name);
  // ordered_json keeps "v" and "event" first, and the fields in the table's order.
  nlohmann::ordered_json object = {{"v", 1}, {"event", description.name}};
  for (std::size_t i = 0; i < values.size(); ++i) object[description.fields[i]] = std::move(values[i]);
  // A file name is bytes, not always UTF-8: such a byte becomes U+FFFD instead of an exception.
  const std::string line =
      object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
  const std::lock_guard lock(mutex_);
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fflush(out_);
}

void JsonEvents::Log(const std::string& time, const std::string& text, bool failure) {
  Write(Event::Log, {time, text, failure});
}

void JsonEvents::Field(const control::FieldBytes& field) {
  const auto& b = field.bytes;
  switch (field.field) {
    case control::Field::Signature:
      return Write(Event::Field, {"signature", Bytes(b)});
    case control::Field::Calibration:
      return Write(Event::Field, {"calibration", Bytes(b)});
    case control::Field::FuseLock:
      return Write(Event::Field, {"fuse-lock",
                                  {{"low", Byte(b.at(0))},
                                   {"high", Byte(b.at(1))},
                                   {"extended", field.fuseBytes > 2 ? Byte(b.at(2)) : json()},
                                   {"lock", Byte(b.at(3))}}});
    case control::Field::Chip:
      break;
  }
}

void JsonEvents::Chips(const std::string& names) {
  json list = json::array();
  for (std::size_t start = 0; start <= names.size();) {
    const std::size_t comma = std::min(names.find(',', start), names.size());
    if (comma > start) list.push_back(names.substr(start, comma - start));
    start = comma + 1;
  }
  Write(Event::Field, {"chip", list});
}

void JsonEvents::Progress(const control::RunProgress& progress) {
  Write(Event::Progress, {progress.memory == device::MemoryKind::Flash ? "flash" : "eeprom",
                          progress.direction == control::Direction::Write ? "write" : "read",
                          progress.page + 1, progress.total});
}

void JsonEvents::OperationEnded(control::Operation operation, const control::OperationResult& result) {
  Write(Event::Operation, {OperationName(operation), ResultName(result.passed, result.cause),
                           CauseOrNull(result.passed, result.cause), result.differences});
}

void JsonEvents::RunEnded(const control::Outcome& outcome) {
  Write(Event::Run, {ResultName(outcome.passed, outcome.cause), CauseOrNull(outcome.passed, outcome.cause),
                     outcome.failures});
}

void JsonEvents::Chip(const production::ChipReport& report, const std::string& programmer) {
  using production::ChipResult;
  const char* result = report.result == ChipResult::Pass        ? "passed"
                       : report.result == ChipResult::WrongChip ? "wrong-chip"
                       : report.result == ChipResult::Stopped   ? "stopped"
                                                                : "failed";
  const bool passed = report.result == ChipResult::Pass;
  Write(Event::Chip, {report.number, result, OrNull(report.serial), Bytes(report.signature),
                      report.flashCrc ? json(*report.flashCrc) : json(),
                      report.failedStep ? json(production::StepName(*report.failedStep)) : json(),
                      CauseOrNull(passed, report.cause), report.seconds, OrNull(programmer)});
}

void JsonEvents::Summary(const production::LoopTotals& totals, const std::string& programmer) {
  Write(Event::Summary, {totals.passed, totals.failed, totals.wrongChips, totals.Yield() * 100,
                         totals.ChipsPerHour(), OrNull(programmer)});
}

const char* OperationName(control::Operation operation) {
  using enum control::Operation;
  switch (operation) {
    case OpenWholeChipFile:
      return "open";
    case SaveFlashFile:
      return "save-flash";
    case SaveEepromFile:
      return "save-eeprom";
    case OpenFlashFile:
      return "open-flash";
    case OpenEepromFile:
      return "open-eeprom";
    case ReadSignature:
      return "signature";
    case Identify:
      return "identify";
    case BackupFuseLock:
      return "backup-fuses";
    case ReadCalibration:
      return "calibration";
    case CheckSignature:
      return "check-signature";
    case Unlock:
      return "unlock";
    case EraseChip:
      return "erase";
    case BlankCheckFlash:
      return "blank-check-flash";
    case BlankCheckEeprom:
      return "blank-check-eeprom";
    case WriteFlash:
      return "write-flash";
    case ReadFlash:
      return "read-flash";
    case VerifyFlash:
      return "verify-flash";
    case WriteEeprom:
      return "write-eeprom";
    case ReadEeprom:
      return "read-eeprom";
    case VerifyEeprom:
      return "verify-eeprom";
    case WriteFuses:
      return "write-fuses";
    case WriteLock:
      return "write-lock";
    case ReadFuseLock:
      return "read-fuses";
    case WriteBackupFile:
      return "write-backup-file";
  }
  return "unknown";
}

const char* CauseName(control::Cause cause) {
  using enum control::Cause;
  switch (cause) {
    case None:
      return "none";
    case RefusedInput:
      return "refused-input";
    case WrongChip:
      return "wrong-chip";
    case NoProgrammer:
      return "no-programmer";
    case CommunicationError:
      return "communication-error";
    case TimeOut:
      return "time-out";
    case VerifyDifference:
      return "verify-difference";
    case NotBlank:
      return "not-blank";
    case Stopped:
      return "stopped";
    case Cancelled:
      return "cancelled";
  }
  return "unknown";
}

std::string IsoTimeNow() {
  using namespace std::chrono;
  const system_clock::time_point now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  char stamp[32] = {};
  char zone[8] = {};
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
  std::strftime(zone, sizeof zone, "%z", &local);  // +0800; ISO 8601 extended wants +08:00
  return Printf("%s.%03d%.3s:%s", stamp, static_cast<int>(millis), zone, zone + 3);
}

}  // namespace kestrel::cli
