#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "chips/ChipFacts.h"
#include "control/ProgrammerController.h"
#include "production/Job.h"
#include "production/ProductionDatabase.h"

// Chip after chip: wait for a chip in the socket, program it as the job says with its serial,
// record it, wait until the socket is empty again. One ProductionLoop drives one programmer
// (one ProgrammerController) on the thread that owns that controller; several loops, one per
// programmer and each on its own thread, may share one read-only Job and one store (its calls
// are serialized). The loop returns facts; its front end words them.
namespace kestrel::production {

// What one chip put into the socket came to.
struct ChipReport {
  int number = 0;  // 1 for the first chip of this loop, wrong chips counted too
  ChipResult result = ChipResult::Fail;
  chips::Signature signature{};
  std::string serial;  // the serial value's text; empty without one (and for a wrong chip)
  double seconds = 0;  // from the chip found to its row recorded
  // Where it failed and why: the job's step (none for a wrong chip or a pass) and the run's
  // cause; for a failed verify the bytes that differ, for a failed blank check the bytes that
  // are not 0xFF and the first of them.
  std::optional<Step> failedStep;
  control::Cause cause = control::Cause::None;
  std::size_t differing = 0;
  std::uint32_t firstAddress = 0;
  // The CRC-32 of the FLASH the chip was given, as its row records it; none without a FLASH write.
  std::optional<std::uint32_t> flashCrc;
  bool recorded = true;  // false: the store refused its row; the loop ends StoreFailed without telling it
};

// The cause of a chip that did not pass in fixed English, as its row keeps it and as scripts
// read it: "3 bytes differ", "timeout", "12 bytes not blank from 0x40".
std::string CauseWords(const ChipReport& report);

// Why a loop ended.
enum class LoopEnd {
  Stopped,           // RequestStop: after the chip in the socket, or at once while waiting
  CountReached,      // LoopSettings::count chips programmed
  SerialsUsedUp,     // the job has no serial left; nothing was reserved
  StoreFailed,       // a row or a reservation could not be written (a full disk): see error()
  ProgrammerFailed,  // a signature poll failed: no programmer, or it stopped answering
};

struct LoopSettings {
  std::string station;
  std::chrono::milliseconds pollInterval{200};  // between the signature reads of the socket
  int count = 0;                                // chips to program (passed or failed); 0: no limit
  // Between the attempts to reserve a serial while the database cannot be reached.
  std::chrono::milliseconds retryInterval{3000};
  // The stop requests, when someone else counts them (a Station, from before the loop exists);
  // none: the loop's own, through RequestStop.
  std::atomic<int>* stops = nullptr;
};

struct LoopTotals {
  int passed = 0;
  int failed = 0;  // stopped chips included
  int wrongChips = 0;
  double seconds = 0;  // since the loop started
  // Passed of the chips programmed, 0..1; 0 before the first.
  double Yield() const { return passed + failed == 0 ? 0 : static_cast<double>(passed) / (passed + failed); }
  double ChipsPerHour() const { return seconds <= 0 ? 0 : (passed + failed) * 3600.0 / seconds; }
};

// What a front end sees of the loop as it goes (the production page's big state); each call
// comes on the loop's thread.
class LoopObserver {
 public:
  virtual ~LoopObserver() = default;
  virtual void WaitingForChip() {}
  // A chip of the job's signature is being programmed; `serial` is its value's text or empty.
  virtual void Programming(const std::string& /*serial*/) {}
  // The database cannot be reached: the chip in the socket waits for its serial, and the
  // loop asks again after LoopSettings::retryInterval.
  virtual void DatabaseUnreachable() {}
  // A chip whose row is recorded.
  virtual void ChipEnded(const ChipReport& report) = 0;
};

class ProductionLoop {
 public:
  // Handles the controller's status codes until `done` holds (BlockingStatusChannel::PumpUntil
  // on the controller's thread).
  using Pump = std::function<void(const std::function<bool()>& done)>;

  // The controller has been started up (chip books, programmer probed); the loop selects the
  // job's chip and mode. `jobId` is the job's registered version.
  ProductionLoop(const Job& job, std::int64_t jobId, ProductionStore& store,
                 control::ProgrammerController& controller, Pump pump, LoopSettings settings);

  // Runs until one of LoopEnd; the observer hears every chip.
  LoopEnd Run(LoopObserver& observer);

  // From any thread, and from a signal handler: the first request ends the loop after the chip
  // in the socket (at once while it waits for one); the second also stops that chip's block
  // transfer after its current page, and the chip's row says "stopped".
  void RequestStop() noexcept { stops_.fetch_add(1, std::memory_order_relaxed); }
  int StopRequests() const noexcept { return stops_.load(std::memory_order_relaxed); }

  const LoopTotals& totals() const { return totals_; }
  const std::string& error() const { return error_; }  // the store's reason after StoreFailed

 private:
  enum class Poll { Empty, Chip, Failed, Stopped };
  // Reads the signature every poll interval until the socket holds a chip (`wantChip`) or is
  // empty (not `wantChip`).
  Poll WaitFor(bool wantChip);
  bool ReadSignature(chips::Signature& signature);
  // `found` and `start` (its wall-clock stamp): when the chip was found in the socket.
  std::optional<LoopEnd> ProgramChip(LoopObserver& observer, ChipReport& report,
                                     std::chrono::steady_clock::time_point found, const std::string& start);
  // Waits `interval` in short slices; false when a stop was asked meanwhile.
  bool Pause(std::chrono::milliseconds interval) const;
  void LoadImages(const SerialValue* serial);
  void Explain(ChipReport& report) const;
  // Records the chip's row; sets the report's flashCrc from it.
  bool Record(ChipReport& report, const std::string& start, std::optional<std::int64_t> serialId);
  void RunAndWait(control::RunRequest request);

  const Job& job_;
  std::int64_t jobId_;
  ProductionStore& store_;
  control::ProgrammerController& controller_;
  Pump pump_;
  LoopSettings settings_;
  std::atomic<int> ownStops_{0};
  std::atomic<int>& stops_;
  static_assert(std::atomic<int>::is_always_lock_free, "RequestStop must be safe in a signal handler");
  LoopTotals totals_;
  std::string error_;
  int chips_ = 0;
  chips::Signature lastRead_{};
};

}  // namespace kestrel::production
