#pragma once

#include <umockdev.h>

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "device/sim/SimulatedProgrammer.h"

namespace kestrel::testing {

// What the next vendor request meets instead of the firmware's answer.
enum class UsbfsFault {
  None,
  Timeout,     // -ETIMEDOUT, at once rather than after the client's time-out
  Unplug,      // the device leaves the testbed; this and every later request fails with -ENODEV
  ShortReply,  // half of the bytes asked for
  Stall,       // -EPIPE
};

struct UsbfsStrings {
  std::string manufacturer = "Quintavel";
  std::string product = "Vorne PGR";
};

// Low-speed V-USB devices with the programmer's IDs on bus 001 of a umockdev testbed, nodes
// 001/002 onwards, for the real libusb-0.1 to find through umockdev's preload library. Each
// answers string descriptor requests with its own strings and vendor requests with its own
// simulated firmware and chip. The ioctls are served on umockdev's worker thread, so a child process
// that inherits the preload environment is served as well as this one.
// Create it before usb_init(): libusb-0.1 looks for its device folder there.
class UsbfsProgrammer {
 public:
  explicit UsbfsProgrammer(std::vector<UsbfsStrings> devices = {UsbfsStrings{}});
  ~UsbfsProgrammer();
  UsbfsProgrammer(const UsbfsProgrammer&) = delete;
  UsbfsProgrammer& operator=(const UsbfsProgrammer&) = delete;

  void Arm(UsbfsFault fault);
  // The first device's node. The modes bind only a client without CAP_DAC_OVERRIDE and
  // CAP_DAC_READ_SEARCH; a read-only node also has every ioctl refused with -EPERM, as usbfs
  // does on a descriptor opened without write access, which is how usb_open falls back.
  void MakeNodeReadOnly();
  void MakeNodeUnopenable();  // mode 0000
  void SendUevent(const char* action);
  // The firmware of the `index`-th device; touch it only while no request is under way.
  device::SimulatedProgrammer& firmware(std::size_t index);

 private:
  struct Node;
  static gboolean OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer node);
  std::pair<long, int> Serve(Node& node, UMockdevIoctlClient* client);  // ioctl result and errno
  void SetNodeMode(unsigned mode);

  std::mutex mutex_;  // the test's thread arms what umockdev's worker thread serves
  UMockdevTestbed* testbed_;
  std::vector<std::unique_ptr<Node>> nodes_;
  UsbfsFault armed_ = UsbfsFault::None;
};

}  // namespace kestrel::testing
