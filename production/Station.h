#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "base/TonePlayer.h"
#include "chips/ChipBooks.h"
#include "control/Run.h"
#include "device/UsbBus.h"
#include "production/ProductionLoop.h"

// One programmer of a gang: its link, engine, status channel, controller and production loop,
// all owned by one thread of the station's own. Stations share only the read-only Job and the
// store; the USB bus is shared under libusb-0.1's process lock (device/UsbLock.h).
namespace kestrel::production {

// What a station does, as it happens. Every call comes on the station's own thread: a front
// end with a thread of its own (the desktop window) hands them over to it.
class StationObserver {
 public:
  virtual ~StationObserver() = default;
  virtual void Waiting(const std::string& /*address*/) {}
  // A chip of the job's signature is being programmed with `serial` (empty without one).
  virtual void Programming(const std::string& /*address*/, const std::string& /*serial*/) {}
  virtual void Progress(const std::string& /*address*/, const control::RunProgress& /*progress*/) {}
  virtual void ChipEnded(const std::string& address, const ChipReport& report) = 0;
  // The chip in the socket waits for its serial until the database answers again.
  virtual void DatabaseUnreachable(const std::string& /*address*/) {}
  // Each line of the station's activity log and each message box, as the single-programmer
  // front ends show them.
  virtual void LogLine(const std::string& /*address*/, const std::string& /*text*/) {}
  // The last call. `error` is the store's reason after StoreFailed; a station whose programmer
  // could not be opened ends ProgrammerFailed without a chip.
  virtual void Ended(const std::string& /*address*/, LoopEnd /*end*/, const LoopTotals& /*totals*/,
                     const std::string& /*error*/) {}
};

struct StationSettings {
  std::string address;  // the programmer's "BBB:DDD"
  LoopSettings loop;
  TonePlayer* tones = nullptr;  // shared by the stations, one tone at a time; none: silent
};

class Station {
 public:
  // The job, the store, the bus and the observer must outlive the station. `jobId` is the job's
  // registered version (ProductionStore::RegisterJob).
  Station(const Job& job, std::int64_t jobId, ProductionStore& store, device::UsbBus& bus,
          chips::ChipBooks books, StationSettings settings, StationObserver& observer);
  ~Station();  // asks it to stop twice and joins it
  Station(const Station&) = delete;
  Station& operator=(const Station&) = delete;

  // Starts the thread: the controller's start-up and probe, then chip after chip until the
  // loop ends. Once only.
  void Start();
  // From any thread, and from a signal handler: the first request ends production after the
  // chip in the socket (at once while the socket is empty); the second also stops that chip
  // after its current page.
  void RequestStop() noexcept { stops_.fetch_add(1, std::memory_order_relaxed); }
  int StopRequests() const noexcept { return stops_.load(std::memory_order_relaxed); }
  // Waits until the thread has ended (Ended was called); nothing when it never started.
  void Join();
  // The loop has ended and Ended was called.
  bool Finished() const { return finished_.load(std::memory_order_acquire); }
  const std::string& address() const { return settings_.address; }
  // How the loop ended and its counts: read them once Finished.
  LoopTotals totals() const { return totals_; }
  LoopEnd end() const { return end_; }

 private:
  void Main();

  const Job& job_;
  std::int64_t jobId_;
  ProductionStore& store_;
  device::UsbBus& bus_;
  chips::ChipBooks books_;
  StationSettings settings_;
  StationObserver& observer_;
  std::atomic<int> stops_{0};
  std::atomic<bool> finished_{false};
  LoopTotals totals_;  // written by the thread before finished_
  LoopEnd end_ = LoopEnd::Stopped;
  std::thread thread_;
};

}  // namespace kestrel::production
