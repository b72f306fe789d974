#include "control/BlockingStatusChannel.h"

namespace kestrel::control {

void BlockingStatusChannel::Send(device::Status code, std::uint32_t argument) {
  if (std::this_thread::get_id() == owner_) {
    handler_(code, argument);
    return;
  }
  Message message{code, argument};
  std::unique_lock lock(mutex_);
  queue_.push_back(&message);
  changed_.notify_all();
  changed_.wait(lock, [&] { return message.handled; });
}

void BlockingStatusChannel::PumpUntil(const std::function<bool()>& done) {
  while (!done()) {
    Message* message = nullptr;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return !queue_.empty(); });
      message = queue_.front();
      queue_.pop_front();
    }
    handler_(message->code, message->argument);
    {
      std::lock_guard lock(mutex_);
      message->handled = true;
    }
    changed_.notify_all();
  }
}

}  // namespace kestrel::control
