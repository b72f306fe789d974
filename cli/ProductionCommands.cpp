#include "cli/ProductionCommands.h"

#include <unistd.h>

#include <chrono>
#include <thread>

#include "base/Format.h"
#include "base/Texts.h"
#include "cli/CliTexts.h"
#include "control/ChipSafety.h"
#include "image/FileAccess.h"
#include "production/Job.h"
#include "production/ProductionDatabase.h"
#include "production/ProductionTexts.h"

namespace kestrel::cli {
namespace {

// The database as a message names it: a connection string may hold a password, so only the
// kind of server.
std::string ShownName(const std::string& target) {
  return production::IsPostgresTarget(target) ? "PostgreSQL" : target;
}

}  // namespace

std::string DatabasePath(const Options& options) {
  return options.database ? *options.database : production::DefaultDatabaseTarget();
}

std::string StationName(const Options& options) {
  return options.station ? *options.station : production::HostName();
}

std::string ChipLine(const production::ChipReport& report, const production::Job& job,
                     const chips::ChipFactsTable& facts) {
  using production::ChipResult;
  const char* step = report.failedStep ? production::StepName(*report.failedStep) : "-";
  switch (report.result) {
    case ChipResult::Pass:
      return Printf(messages::kCliChipPassPattern, report.number,
                    report.serial.empty() ? "-" : report.serial.c_str(), job.chip.name.c_str(),
                    report.seconds);
    case ChipResult::Fail:
      return Printf(messages::kCliChipFailPattern, report.number, step,
                    production::CauseWords(report).c_str());
    case ChipResult::Stopped:
      return Printf(messages::kCliChipStoppedPattern, report.number, step);
    case ChipResult::WrongChip:
      break;
  }
  std::string names;
  for (const std::string& name : control::ChipsWithSignature(facts, report.signature))
    names += (names.empty() ? "" : "/") + name;
  const auto& s = report.signature;
  return Printf(messages::kCliChipWrongPattern, report.number,
                Printf("%02X%02X%02X", s[0], s[1], s[2]).c_str(), names.empty() ? "unknown" : names.c_str());
}

std::string EndLine(production::LoopEnd end, const production::LoopTotals& totals, const std::string& error,
                    const production::Job& job) {
  using production::LoopEnd;
  using namespace production::texts;
  switch (end) {
    case LoopEnd::Stopped:
      return kProductionStoppedLine;
    case LoopEnd::CountReached:
      return Printf(kCountReachedPattern, totals.passed + totals.failed);
    case LoopEnd::SerialsUsedUp:
      return Printf(kSerialsUsedUpPattern, job.name.c_str());
    case LoopEnd::StoreFailed:
      // The chip whose row or serial could not be written: every chip before it was recorded
      // and counted, and it was not.
      return Printf(kRecordFailedPattern, totals.passed + totals.failed + totals.wrongChips + 1,
                    error.c_str());
    case LoopEnd::ProgrammerFailed:
      return kProgrammerLostLine;
  }
  return {};
}

std::string SummaryLine(const production::LoopTotals& totals) {
  return Printf(messages::kCliSummaryPattern, totals.passed, totals.failed, totals.wrongChips,
                totals.Yield() * 100, totals.ChipsPerHour());
}

ProductionStart OpenProduction(const Options& options, const chips::ChipFactsTable& facts,
                               Terminal terminal) {
  ProductionStart start;
  start.load = production::LoadJob(*options.job, facts);
  if (!start.load.job) {
    WriteAll(terminal.out, start.load.refusal + "\n");
    start.status = kExitFailure;
    return start;
  }
  const production::Job& job = *start.load.job;
  const std::string station = StationName(options);
  std::string error;
  bool unreachable = false;
  start.store = production::OpenStore(DatabasePath(options), {station, getpid()}, error, &unreachable);
  // A station started while its database server is down waits for it, as a running one does.
  while (!start.store && unreachable) {
    WriteAll(terminal.out, std::string(::kestrel::texts::kDatabaseUnreachable.c_str()) + "\n");
    std::this_thread::sleep_for(std::chrono::seconds(3));
    error.clear();
    start.store = production::OpenStore(DatabasePath(options), {station, getpid()}, error, &unreachable);
  }
  // OpenStore's reason already names the database; RegisterJob's is the store's own.
  if (start.store && !start.store->RegisterJob(job, start.version))
    error = Printf(production::texts::kDatabaseFailedPattern, ShownName(DatabasePath(options)).c_str(),
                   start.store->Error().c_str());
  if (!error.empty()) {
    WriteAll(terminal.err, error + "\n");
    start.status = kExitFailure;
    return start;
  }
  if (start.store->VoidedAtOpen() > 0)
    WriteAll(terminal.out,
             Printf(production::texts::kVoidedAtOpenPattern, start.store->VoidedAtOpen()) + "\n");
  if (start.version.changed)
    WriteAll(terminal.out, Printf(production::texts::kJobChangedPattern, job.name.c_str()) + "\n");
  return start;
}

int CheckJob(const Options& options, Terminal terminal, const chips::ChipBooks& books) {
  const production::JobLoad load = production::LoadJob(*options.job, books.facts);
  if (!load.job) {
    WriteAll(terminal.out, load.refusal + "\n");
    return kExitFailure;
  }
  for (const std::string& line : production::DescribeJob(*load.job)) WriteAll(terminal.out, line + "\n");
  return kExitSuccess;
}

int ReportChips(const Options& options, Terminal terminal) {
  std::string error;
  const std::string target = DatabasePath(options);
  const auto store = production::OpenStore(target, {StationName(options), getpid()}, error);
  std::vector<production::ChipRecord> chips;
  if (store && !store->Chips({options.job, options.since}, chips))
    error =
        Printf(production::texts::kDatabaseFailedPattern, ShownName(target).c_str(), store->Error().c_str());
  // Records that reached no database yet are missing from the report: say so.
  if (const int waiting = store ? store->OutboxWaiting() : 0; waiting > 0)
    WriteAll(terminal.err, Printf(production::texts::kOutboxWaitingPattern, waiting,
                                  production::DefaultOutboxPath().c_str()) +
                               "\n");
  if (!error.empty()) {
    WriteAll(terminal.err, error + "\n");
    return kExitFailure;
  }
  if (options.csv) {
    const std::string csv = production::ChipsCsv(chips);
    const std::string failure = image::ReplaceFileContents(
        *options.csv, reinterpret_cast<const std::uint8_t*>(csv.data()), csv.size());
    if (!failure.empty()) {
      WriteAll(terminal.err, Printf(texts::kSaveFailedPattern, options.csv->c_str(), failure.c_str()) + "\n");
      return kExitFailure;
    }
    WriteAll(terminal.out,
             Printf(production::texts::kCsvWrittenPattern, chips.size(), options.csv->c_str()) + "\n");
    return kExitSuccess;
  }
  for (const production::ChipRecord& chip : chips) {
    const std::string step = chip.failedStep.empty() ? "" : " " + chip.failedStep;
    const std::string cause = chip.cause.empty() ? "" : " " + chip.cause;
    WriteAll(terminal.out,
             Printf(messages::kCliReportLinePattern, chip.start.c_str(),
                    production::ChipResultName(chip.result), chip.serial.empty() ? "-" : chip.serial.c_str(),
                    chip.seconds, chip.jobName.c_str(), chip.station.c_str(), step.c_str(), cause.c_str()));
  }
  WriteAll(terminal.out, Printf(production::texts::kReportCountPattern, chips.size()) + "\n");
  return kExitSuccess;
}

}  // namespace kestrel::cli
