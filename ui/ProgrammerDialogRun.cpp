// A run as the main window shows it: one press of a button and the operations it queues, from
// the press until no operation runs. Every status code passes through here on its way to the
// controller, so that the window can follow the transfer's pages, the buffers the hex pages
// show and the programmer's connection, and say at the end whether the run failed.
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTime>
#include <cerrno>

#include "device/StatusCode.h"
#include "ui/Captions.h"
#include "ui/DialogColours.h"
#include "ui/DialogTemplate.h"
#include "ui/HexView.h"
#include "ui/ProgrammerDialog.h"
#include "ui/Translation.h"

namespace kestrel::ui {

void ProgrammerDialog::Press(control::OperationButton button) {
  if (RefuseWhileBusy()) return;
  BeginRun();
  controller_->OnOperationButton(button);
  AfterControllerCall();
}

void ProgrammerDialog::OpenFile(control::OperationButton button, const QString& path) {
  if (RefuseWhileBusy()) return;
  fileAnswer_ = path.toStdString();
  Press(button);
  fileAnswer_.reset();
}

bool ProgrammerDialog::RefuseWhileBusy() {
  // The refusal counts as a failure, but not as one of the run that goes on.
  const std::uint32_t failures = controller_->FailureCount();
  if (!controller_->RefuseWhileBusy()) return false;
  runFailuresBefore_ += controller_->FailureCount() - failures;
  return true;
}

void ProgrammerDialog::BeginRun() {
  runActive_ = true;
  runFailuresBefore_ = controller_->FailureCount();
  runCodes_ = 0;
  runCancelled_ = false;
  progressBar_->setPalette(QPalette());
  progressBar_->setFormat(QString());
  progressBar_->setValue(0);
}

// A code is shown before the controller goes on with the queue: its handling may start the
// next operation, whose codes then pass through here inside this call.
void ProgrammerDialog::OnStatus(device::Status code, std::uint32_t argument) {
  if (device::IsProgressStatus(code)) {
    ShowTransferProgress(argument);
  } else {
    ++runCodes_;
    NoteFinalCode(code);
  }
  controller_->OnProgrammerStatus(code, argument);
  AfterControllerCall();
}

void ProgrammerDialog::AfterControllerCall() {
  controls_.at(kStopButtonId)->setEnabled(!controller_->Idle() && controller_->engine().TransferRunning());
  if (runActive_ && controller_->Idle()) EndRun();
  ShowConnection();
}

void ProgrammerDialog::EndRun() {
  runActive_ = false;
  const bool failed = controller_->FailureCount() != runFailuresBefore_;
  // A failure is told on the log page, also after an identify or a fuse read.
  if (std::exchange(holdFusePage_, false) && failed) ShowPage(control::LogPage);
  if (std::exchange(arrivalDeferred_, false)) NoteArrival();
  // A run that did nothing (a file dialog cancelled) has no outcome to tell.
  if (failed || (runCodes_ > 0 && !runCancelled_)) ShowOutcome(failed);
}

void ProgrammerDialog::ShowTransferProgress(std::uint32_t page) {
  const device::ProgrammerEngine& engine = controller_->engine();
  progressBar_->setFormat(Tr(captions::kTransferProgressPattern)
                              .arg(device::IsFlashTransfer(engine.Transfer()) ? u"FLASH" : u"EEPROM")
                              .arg(page + 1)
                              .arg(engine.PageTotal()));
}

void ProgrammerDialog::ShowOutcome(bool failed) {
  QPalette colours = progressBar_->palette();
  colours.setColor(QPalette::Highlight, failed ? kFailedColour : kPassedColour);
  colours.setColor(QPalette::HighlightedText, Qt::white);
  colours.setColor(QPalette::Text, Qt::white);
  progressBar_->setPalette(colours);
  progressBar_->setValue(100);
  progressBar_->setFormat(Tr(failed ? captions::kRunFailed : captions::kRunPassed));
}

// Which bytes the hex pages show, and whether the programmer is still there.
void ProgrammerDialog::NoteFinalCode(device::Status code) {
  using status = device::Status;
  const auto readback = [](HexView* view) {
    view->SetCaption(
        Tr(captions::kReadbackCaptionPattern).arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
  };
  const auto image = [this](HexView* view, bool loaded) {
    const QString name = QFileInfo(QString::fromStdString(*fileChosen_)).fileName();
    view->SetCaption(loaded ? Tr(captions::kImageFileCaptionPattern).arg(name) : Tr(captions::kImageCaption));
  };
  const device::ChipMemories& memories = controller_->engine().memories();
  const bool chosen = fileChosen_.has_value();
  if (code == status::FlashRead) readback(flashHexView_);
  if (code == status::EepromRead) readback(eepromHexView_);
  if (chosen && (code == status::FlashFileOpened || code == status::WholeChipFileOpened)) {
    image(flashHexView_, memories.flashImageLoaded);
  }
  if (chosen && (code == status::EepromFileOpened || code == status::WholeChipFileOpened)) {
    image(eepromHexView_, memories.eepromImageLoaded);
  }
  fileChosen_.reset();
  if (code == status::CommunicationError || code == status::ReceiveTimeout) {
    const device::LinkFailure& failure = controller_->engine().LastFailure();
    if (failure.noHandle || failure.result == -ENODEV) unplugged_ = true;
  } else if (code <= status::LockWritten || code == status::FlashWritten || code == status::EepromWritten ||
             code == status::FlashRead || code == status::EepromRead) {
    unplugged_ = false;  // the programmer answered
  }
}

void ProgrammerDialog::NoteArrival() {
  unplugged_ = controller_->link().programmersFound == 0;
}

void ProgrammerDialog::ShowConnection() {
  const device::ProgrammerLink& link = controller_->link();
  const bool connected = link.deviceHandle != nullptr && !unplugged_;
  connection_->setText(connected
                           ? Tr(captions::kConnectedPattern).arg(QString::fromStdString(link.openedAddress))
                           : Tr(captions::kNotConnected));
  QPalette colours = connection_->palette();
  colours.setColor(QPalette::WindowText, connected ? kPassedColour : kFailedColour);
  connection_->setPalette(colours);
}

}  // namespace kestrel::ui
