#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

#include "device/StatusChannel.h"

namespace kestrel::ui {

// Delivers status codes to a handler on the thread of `receiver` (the window thread): a direct
// call there, so that chains nest; from a worker a blocking queued call, so that the worker
// stands still until the code has been handled.
class QtStatusChannel : public device::StatusChannel {
 public:
  using Handler = std::function<void(device::Status code, std::uint32_t argument)>;

  explicit QtStatusChannel(QObject* receiver) : receiver_(receiver) {}
  void SetHandler(Handler handler) { handler_ = std::move(handler); }

  void Send(device::Status code, std::uint32_t argument) override;

 private:
  QObject* receiver_;
  Handler handler_;
};

}  // namespace kestrel::ui
