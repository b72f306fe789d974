#include "ui/QtStatusChannel.h"

#include <QMetaObject>
#include <QThread>

namespace kestrel::ui {

void QtStatusChannel::Send(device::Status code, std::uint32_t argument) {
  if (!handler_) return;
  if (QThread::currentThread() == receiver_->thread()) {
    handler_(code, argument);
    return;
  }
  QMetaObject::invokeMethod(
      receiver_, [this, code, argument] { handler_(code, argument); }, Qt::BlockingQueuedConnection);
}

}  // namespace kestrel::ui
