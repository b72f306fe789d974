#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/ProgrammerEngine.h"
#include "device/StatusCode.h"
#include "device/sim/SimulatedBus.h"

namespace kestrel::support {

// The setup packets of the vendor requests the bus saw, in order; trace() below shows their
// commands (the low nibble of the request byte) among the status codes.
inline std::vector<device::VendorRequest> Requests(const device::SimulatedBus& bus) {
  std::vector<device::VendorRequest> requests;
  for (const auto& recorded : bus.requests()) requests.push_back(recorded.request);
  return requests;
}

// A status channel as a front end has one: codes are handled on the thread that made it, where
// Send is a direct call; from a worker Send waits (ten seconds at most) until WaitForFinals has
// handled the code here. Handling records the code and, with `bus` set, the commands the bus
// saw before it, so that trace() reads e.g. "8 11/0 8 11/1 0 100/0"; then `onReport` runs.
class RecordingChannel : public device::StatusChannel {
 public:
  void Send(device::Status code, std::uint32_t argument) override {
    if (std::this_thread::get_id() == owner_) return Handle(code, argument);
    std::unique_lock lock(mutex_);
    queue_.push_back({code, argument});
    const std::size_t ticket = ++sent_;
    changed_.notify_all();
    changed_.wait_for(lock, std::chrono::seconds(10), [&] { return handled_ >= ticket; });
  }

  // Handles codes until `count` final codes have been handled in all; false after ten seconds.
  bool WaitForFinals(int count) {
    std::unique_lock lock(mutex_);
    while (finals_ < count) {
      if (!changed_.wait_for(lock, std::chrono::seconds(10), [&] { return !queue_.empty(); })) return false;
      const auto [code, argument] = queue_.front();
      queue_.pop_front();
      lock.unlock();
      Handle(code, argument);
      lock.lock();
      ++handled_;
      changed_.notify_all();
    }
    return true;
  }
  std::string trace() {
    trace_ += NewCommands();
    return trace_.substr(0, trace_.empty() ? 0 : trace_.size() - 1);
  }

  const device::SimulatedBus* bus = nullptr;
  std::function<void(device::Status code, std::uint32_t argument)> onReport;
  std::vector<device::Status> codes;

 private:
  void Handle(device::Status code, std::uint32_t argument) {
    trace_ += NewCommands() + std::to_string(static_cast<std::uint32_t>(code)) + "/" +
              std::to_string(argument) + " ";
    codes.push_back(code);
    if (onReport) onReport(code, argument);
    finals_ += device::IsProgressStatus(code) ? 0 : 1;
  }
  std::string NewCommands() {
    std::string text;
    const auto seen = bus != nullptr ? bus->requests() : std::vector<device::RecordedRequest>{};
    for (; seen_ < seen.size(); ++seen_) text += std::to_string(seen[seen_].request.request & 0x0F) + " ";
    return text;
  }

  const std::thread::id owner_ = std::this_thread::get_id();
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::pair<device::Status, std::uint32_t>> queue_;
  std::size_t sent_ = 0, handled_ = 0, seen_ = 0;
  std::string trace_;
  int finals_ = 0;
};

// An engine over the simulated programmer, opened as the front end opens it.
struct EngineRig {
  explicit EngineRig(device::SimulatorOptions options = {}) : bus(std::move(options)) {
    link.Open();
    channel.bus = &bus;
  }
  // A test that stops while a transfer runs lets it finish, so that the engine can join it.
  ~EngineRig() {
    while (engine.TransferRunning() && channel.WaitForFinals(++finals)) continue;
  }
  // Starts a transfer and waits for its final code; false when it was refused or never ended.
  bool Run(device::BlockTransfer transfer) {
    return !engine.StartTransfer(transfer).Refused() && channel.WaitForFinals(++finals);
  }

  device::SimulatedBus bus;
  device::ProgrammerLink link{bus};
  chips::ChipGeometry geometry;
  RecordingChannel channel;
  device::ProgrammerEngine engine{link, geometry, channel};
  int finals = 0;
};

}  // namespace kestrel::support
