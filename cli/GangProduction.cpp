#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "base/Format.h"
#include "base/Texts.h"
#include "cli/CliTexts.h"
#include "cli/ProductionCommands.h"
#include "control/Wording.h"
#include "device/ProgrammerLink.h"
#include "production/ProductionTexts.h"
#include "production/Station.h"

namespace kestrel::cli {
namespace {

using production::LoopEnd;
using production::Station;

// The stations Ctrl+C stops, and the lines that say so, worded before the handler is installed:
// a signal handler may only write() and touch atomics.
constexpr int kMaxStations = 128;
std::atomic<Station*> stoppable[kMaxStations];
std::atomic<int> stopCount{0};
std::string stopLines[2];
int stopLinesFd = STDOUT_FILENO;

void OnInterrupt(int) {
  const int stops = stopCount.fetch_add(1, std::memory_order_relaxed);
  for (std::atomic<Station*>& slot : stoppable)
    if (Station* station = slot.load(std::memory_order_acquire); station != nullptr) station->RequestStop();
  if (stops > 1) return;
  const std::string& line = stopLines[stops];
  [[maybe_unused]] const ssize_t written = write(stopLinesFd, line.data(), line.size());
}

// Every station's lines on one output, each prefixed with its programmer, and each
// programmer's whole log in its own file.
class GangLines : public production::StationObserver {
 public:
  GangLines(Terminal terminal, const production::Job& job, const chips::ChipFactsTable& facts,
            std::optional<std::string> logDir)
      : terminal_(terminal), job_(job), facts_(facts), logDir_(std::move(logDir)) {}
  ~GangLines() override {
    for (auto& [address, file] : logs_) {
      if (file != nullptr) std::fclose(file);
    }
  }

  void ChipEnded(const std::string& address, const production::ChipReport& report) override {
    Print(address, ChipLine(report, job_, facts_));
    if (terminal_.events != nullptr) terminal_.events->Chip(report, address);
  }
  void DatabaseUnreachable(const std::string& address) override {
    Print(address, ::kestrel::texts::kDatabaseUnreachable.c_str());
  }
  void LogLine(const std::string& address, const std::string& text) override {
    const std::lock_guard lock(mutex_);
    if (std::FILE* log = LogOf(address)) WriteAll(log, text + "\n");
  }
  void Ended(const std::string& address, LoopEnd end, const production::LoopTotals& totals,
             const std::string& error) override {
    Print(address, EndLine(end, totals, error, job_));
  }
  // A line of this programmer's, on the output and in its log.
  void Print(const std::string& address, const std::string& text) {
    const std::lock_guard lock(mutex_);
    WriteAll(terminal_.out, "[" + address + "] " + text + "\n");
    if (std::FILE* log = LogOf(address)) WriteAll(log, text + "\n");
  }

 private:
  // Called with mutex_ held; nullptr without --log-dir or when the file cannot be made.
  std::FILE* LogOf(const std::string& address) {
    if (!logDir_) return nullptr;
    auto [where, added] = logs_.try_emplace(address, nullptr);
    if (added) {
      std::string name = address;
      std::replace(name.begin(), name.end(), ':', '-');
      where->second = std::fopen((*logDir_ + "/" + name + ".log").c_str(), "a");
    }
    return where->second;
  }

  Terminal terminal_;
  const production::Job& job_;
  const chips::ChipFactsTable& facts_;
  std::optional<std::string> logDir_;
  std::mutex mutex_;
  std::map<std::string, std::FILE*> logs_;
};

// The programmers on the bus now; the scan holds libusb's process lock itself.
std::vector<std::string> ProgrammersFound(device::UsbBus& bus) {
  device::ProgrammerLink link(bus);
  return link.List();
}

}  // namespace

int ProduceOnGang(const Options& options, device::UsbBus& bus, Terminal terminal,
                  std::unique_ptr<TonePlayer> sound, chips::ChipBooks books) {
  // A log folder that cannot be made is said before any chip, not found missing afterwards.
  if (options.logDir) {
    std::error_code error;
    std::filesystem::create_directories(*options.logDir, error);
    if (error) {
      WriteAll(terminal.err, "kestrel-cli: --log-dir " + *options.logDir + ": " + error.message() + "\n");
      return kExitFailure;
    }
  }
  ProductionStart start = OpenProduction(options, books.facts, terminal);
  if (start.status != kExitSuccess) return start.status;
  const production::Job& job = *start.load.job;
  std::vector<std::string> addresses = options.usbAll ? ProgrammersFound(bus) : options.usbList;
  if (addresses.empty()) {
    device::ProgrammerLink link(bus);
    link.List();
    WriteAll(terminal.err, control::ProgrammerMissingMessage(link) + "\n");
    return kExitFailure;
  }
  const std::string station = StationName(options);
  WriteAll(terminal.out, Printf(production::texts::kProductionStartPattern, job.name.c_str(),
                                job.chip.name.c_str(), station.c_str()) +
                             "\n");
  GangLines lines(terminal, job, books.facts, options.logDir);
  std::vector<std::unique_ptr<Station>> stations;
  const auto startStation = [&](const std::string& address) {
    if (stations.size() >= kMaxStations) return;
    production::StationSettings settings{
        address, {station, std::chrono::milliseconds(200), static_cast<int>(options.count)}, sound.get()};
    stations.push_back(std::make_unique<Station>(job, start.version.id, *start.store, bus, books,
                                                 std::move(settings), lines));
    stoppable[stations.size() - 1].store(stations.back().get(), std::memory_order_release);
    // A station that starts after Ctrl+C stops as the others do.
    for (int i = stopCount.load(); i > 0; --i) stations.back()->RequestStop();
    stations.back()->Start();
  };
  stopLines[0] = std::string(production::texts::kStopAfterChipLine) + "\n";
  stopLines[1] = std::string(production::texts::kStopAfterPageLine) + "\n";
  stopLinesFd = fileno(terminal.out);
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  struct sigaction before = {};
  sigaction(SIGINT, &action, &before);

  const auto began = std::chrono::steady_clock::now();
  for (const std::string& address : addresses) startStation(address);
  // With --usb all a programmer plugged in joins: the bus is scanned again every second. One
  // that went away and comes back is a new arrival.
  std::set<std::string> present(addresses.begin(), addresses.end());
  const auto allFinished = [&stations] {
    return std::all_of(stations.begin(), stations.end(), [](const auto& s) { return s->Finished(); });
  };
  auto lastScan = std::chrono::steady_clock::now();
  while (!allFinished()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!options.usbAll || stopCount.load() > 0 ||
        std::chrono::steady_clock::now() - lastScan < std::chrono::seconds(1))
      continue;
    lastScan = std::chrono::steady_clock::now();
    const std::vector<std::string> found = ProgrammersFound(bus);
    for (const std::string& address : found) {
      const bool running = std::any_of(stations.begin(), stations.end(), [&address](const auto& s) {
        return s->address() == address && !s->Finished();
      });
      if (!present.contains(address) && !running) startStation(address);
    }
    present = {found.begin(), found.end()};
  }
  for (const auto& s : stations) s->Join();
  sigaction(SIGINT, &before, nullptr);
  for (std::atomic<Station*>& slot : stoppable) slot.store(nullptr);

  production::LoopTotals total;
  bool clean = true;
  for (const auto& s : stations) {
    const production::LoopTotals totals = s->totals();
    lines.Print(s->address(), SummaryLine(totals));
    if (terminal.events != nullptr) terminal.events->Summary(totals, s->address());
    total.passed += totals.passed;
    total.failed += totals.failed;
    total.wrongChips += totals.wrongChips;
    clean = clean && s->end() != LoopEnd::StoreFailed && s->end() != LoopEnd::ProgrammerFailed;
  }
  total.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  WriteAll(terminal.out, SummaryLine(total) + "\n");
  if (terminal.events != nullptr) terminal.events->Summary(total, "");
  return clean && total.failed == 0 && total.wrongChips == 0 ? kExitSuccess : kExitFailure;
}

}  // namespace kestrel::cli
