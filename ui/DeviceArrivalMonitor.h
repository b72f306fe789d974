#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;
struct udev;
struct udev_monitor;

namespace kestrel::ui {

// Watches udev for USB devices being added and calls `onArrival` on the window thread for
// each. Where udev cannot be reached (containers, CI) it stays silent and Active() is false.
class DeviceArrivalMonitor : public QObject {
  Q_OBJECT

 public:
  explicit DeviceArrivalMonitor(std::function<void()> onArrival, QObject* parent = nullptr);
  ~DeviceArrivalMonitor() override;

  bool Active() const { return notifier_ != nullptr; }

 private:
  void ReadEvents();

  std::function<void()> onArrival_;
  udev* udev_ = nullptr;
  udev_monitor* monitor_ = nullptr;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kestrel::ui
