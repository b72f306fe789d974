#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "chips/ChipGeometry.h"
#include "device/ProgrammerEngine.h"
#include "device/ProgrammerLink.h"
#include "device/StatusCode.h"
#include "device/sim/SimulatedBus.h"

namespace kestrel::device::testing {

struct Report {
  std::uint32_t code;
  std::uint32_t argument;
  bool operator==(const Report&) const = default;
};

// Records every status code, from whichever thread sends it, and lets a test wait for the
// code that ends an operation. `onReport` runs inside Send, as the dispatcher would.
class RecordingChannel : public StatusChannel {
 public:
  void Send(std::uint32_t code, std::uint32_t argument) override {
    {
      std::lock_guard lock(mutex_);
      reports_.push_back({code, argument});
    }
    if (onReport) onReport(code, argument);
    std::lock_guard lock(mutex_);
    if (!IsProgressStatus(code)) ++finals_;
    changed_.notify_all();
  }

  // Waits until `count` final codes have been handled; false after ten seconds.
  bool WaitForFinals(int count = 1) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return finals_ >= count; });
  }

  std::vector<Report> reports() const {
    std::lock_guard lock(mutex_);
    return reports_;
  }
  std::vector<std::uint32_t> codes() const {
    std::vector<std::uint32_t> codes;
    for (const auto& report : reports()) codes.push_back(report.code);
    return codes;
  }

  std::function<void(std::uint32_t, std::uint32_t)> onReport;

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Report> reports_;
  int finals_ = 0;
};

class RecordingTones : public TonePlayer {
 public:
  void Play(int frequencyHz, int durationMs) override { tones.push_back({frequencyHz, durationMs}); }
  std::vector<std::pair<int, int>> tones;
};

class RecordingNotes : public NoteSink {
 public:
  void Note(const std::string& line) override { lines.push_back(line); }
  std::vector<std::string> lines;
};

// The simulated bus, with a hook that may change what a transfer returns.
class AdjustableBus : public SimulatedBus {
 public:
  using SimulatedBus::SimulatedBus;
  int ControlMsg(UsbHandle* handle, int requestType, int request, int value, int index, std::uint8_t* bytes,
                 int size, int timeoutMs) override {
    const int result = SimulatedBus::ControlMsg(handle, requestType, request, value, index, bytes, size, timeoutMs);
    return adjustResult ? adjustResult(requestType, request, result) : result;
  }
  std::function<int(int requestType, int request, int result)> adjustResult;
};

// An engine over the simulated programmer, opened as the front end would open it.
struct EngineRig {
  explicit EngineRig(SimulatorOptions options = {}, bool open = true) : bus(std::move(options)) {
    if (open) link.Open();
  }

  // Starts a transfer and waits for its final code; false when it was refused or never ended.
  bool RunTransfer(BlockTransfer transfer) {
    if (!engine.StartTransfer(transfer)) return false;
    return channel.WaitForFinals();
  }

  AdjustableBus bus;
  ProgrammerLink link{bus};
  chips::ChipGeometry geometry;
  RecordingChannel channel;
  RecordingTones tones;
  RecordingNotes notes;
  ProgrammerEngine engine{link, geometry, channel, tones, notes};
};

}  // namespace kestrel::device::testing
