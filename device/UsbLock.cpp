#include "device/UsbLock.h"

namespace kestrel::device {

void UsbLock::lock() {
  std::unique_lock guard(mutex_);
  ++exclusiveWaiting_;
  changed_.wait(guard, [this] { return !exclusive_ && sharers_ == 0; });
  --exclusiveWaiting_;
  exclusive_ = true;
}

void UsbLock::unlock() {
  {
    std::lock_guard guard(mutex_);
    exclusive_ = false;
  }
  changed_.notify_all();
}

void UsbLock::lock_shared() {
  std::unique_lock guard(mutex_);
  changed_.wait(guard, [this] { return !exclusive_ && exclusiveWaiting_ == 0; });
  ++sharers_;
}

void UsbLock::unlock_shared() {
  bool last = false;
  {
    std::lock_guard guard(mutex_);
    last = --sharers_ == 0;
  }
  if (last) changed_.notify_all();
}

UsbLock& ProcessUsbLock() {
  static UsbLock lock;
  return lock;
}

}  // namespace kestrel::device
