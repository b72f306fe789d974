#pragma once

#include <memory>
#include <string>

#include "chips/ChipBooks.h"
#include "cli/CliFrontEnd.h"
#include "cli/CommandLine.h"
#include "device/UsbBus.h"
#include "production/ProductionLoop.h"

// The command line's side of production: the job check, the report, and the database and
// station a production run records under.
namespace kestrel::cli {

// --job FILE alone: reads and checks the job against the chip facts, then prints its plan
// (kExitSuccess) or the one line that refuses it (kExitFailure).
int CheckJob(const Options& options, Terminal terminal, const chips::ChipBooks& books);

// The report command: the chips of the database, one line each and a count, or with --csv the
// file and a line saying so. kExitFailure when the database cannot be opened or the file written.
int ReportChips(const Options& options, Terminal terminal);

// produce's line for one chip (kCliChipPassPattern and the others), without its line break.
std::string ChipLine(const production::ChipReport& report, const production::Job& job,
                     const chips::ChipFactsTable& facts);
// produce's line for how one programmer's loop ended; `error` is the store's reason after
// StoreFailed.
std::string EndLine(production::LoopEnd end, const production::LoopTotals& totals, const std::string& error,
                    const production::Job& job);
// produce's last line: passed, failed, wrong chips, yield and chips per hour.
std::string SummaryLine(const production::LoopTotals& totals);

// What produce starts from: the job of --job, its store and its registered version.
struct ProductionStart {
  production::JobLoad load;
  std::unique_ptr<production::ProductionStore> store;
  production::JobVersion version;
  int status = kExitSuccess;  // kExitFailure: no job or no store, the line that says why printed
};
// Loads the job and opens the store, waiting for a database server that is down; prints the
// lines about rows voided at open and a changed job.
ProductionStart OpenProduction(const Options& options, const chips::ChipFactsTable& facts, Terminal terminal);

// produce with --usb all or a list of addresses: one production::Station per programmer, every
// line prefixed with its programmer's address, then each one's summary and the total's.
int ProduceOnGang(const Options& options, device::UsbBus& bus, Terminal terminal,
                  std::unique_ptr<TonePlayer> sound, chips::ChipBooks books);

// --db, else $KESTREL_DB, else the default database file: a file or a PostgreSQL connection
// string (production::OpenStore tells which).
std::string DatabasePath(const Options& options);
// --station, or the host name.
std::string StationName(const Options& options);

}  // namespace kestrel::cli
