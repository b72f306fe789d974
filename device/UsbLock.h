#pragma once

#include <condition_variable>
#include <mutex>

namespace kestrel::device {

// libusb-0.1 keeps the buses and their devices in process-wide lists: usb_find_busses and
// usb_find_devices rebuild them (freeing the devices that have gone), usb_open and usb_close
// read and change them, and a scan's device pointers are good only until the next scan. Its
// control transfers on different handles share nothing but the handles' own descriptors. So
// every link of the process keeps one rule, through the one lock below:
// - a scan, with the discovery walk that opens and checks its candidates, and every close, hold
//   it exclusively (std::unique_lock);
// - each control transfer on an open handle holds it shared (std::shared_lock), so that the
//   transfers of different links, each on its own worker, run at once, and none runs during a
//   scan.
// It prefers the exclusive side: a scan waiting for the transfers under way keeps new ones
// back, so that several programmers transferring back to back cannot starve a scan. It is not
// recursive: a holder of either side must not ask for it again.
class UsbLock {
 public:
  void lock();
  void unlock();
  void lock_shared();
  void unlock_shared();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int sharers_ = 0;
  int exclusiveWaiting_ = 0;
  bool exclusive_ = false;
};

// The lock of this process's libusb-0.1, for the real bus and the simulated one alike.
UsbLock& ProcessUsbLock();

}  // namespace kestrel::device
