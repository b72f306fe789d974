#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "device/StatusChannel.h"

namespace kestrel::control {

// A status channel without an event framework, for the command line and the tests. The thread
// that constructs it is the front end's thread: there Send calls the handler directly; from
// any other thread Send queues the code and waits until Pump has handled it there.
class BlockingStatusChannel : public device::StatusChannel {
 public:
  using Handler = std::function<void(device::Status code, std::uint32_t argument)>;

  BlockingStatusChannel() : owner_(std::this_thread::get_id()) {}
  void SetHandler(Handler handler) { handler_ = std::move(handler); }

  void Send(device::Status code, std::uint32_t argument) override;

  // On the owner thread: handles queued codes until `done` holds, waiting for more as needed.
  void PumpUntil(const std::function<bool()>& done);

 private:
  struct Message {
    device::Status code;
    std::uint32_t argument;
    bool handled = false;
  };

  std::thread::id owner_;
  Handler handler_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Message*> queue_;
};

}  // namespace kestrel::control
