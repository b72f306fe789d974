#include "ui/DeviceArrivalMonitor.h"

#include <libudev.h>

#include <QSocketNotifier>
#include <cstring>

namespace kestrel::ui {

DeviceArrivalMonitor::DeviceArrivalMonitor(std::function<void()> onArrival, QObject* parent)
    : QObject(parent), onArrival_(std::move(onArrival)) {
  udev_ = udev_new();
  if (udev_ == nullptr) return;
  monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
  if (monitor_ == nullptr ||
      udev_monitor_filter_add_match_subsystem_devtype(monitor_, "usb", "usb_device") < 0 ||
      udev_monitor_enable_receiving(monitor_) < 0) {
    return;
  }
  const int descriptor = udev_monitor_get_fd(monitor_);
  if (descriptor < 0) return;
  notifier_ = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &DeviceArrivalMonitor::ReadEvents);
}

DeviceArrivalMonitor::~DeviceArrivalMonitor() {
  delete notifier_;
  if (monitor_ != nullptr) udev_monitor_unref(monitor_);
  if (udev_ != nullptr) udev_unref(udev_);
}

void DeviceArrivalMonitor::ReadEvents() {
  // Drain what is waiting, but report one arrival at most: discovery looks at every device.
  bool arrived = false;
  while (udev_device* device = udev_monitor_receive_device(monitor_)) {
    const char* action = udev_device_get_action(device);
    if (action != nullptr && std::strcmp(action, "add") == 0) arrived = true;
    udev_device_unref(device);
  }
  if (arrived && onArrival_) onArrival_();
}

}  // namespace kestrel::ui
