// A run as the main window shows it: the window builds the request of a press from its
// controls, hands it to the controller, and shows what the controller publishes of the run.
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTime>

#include "ui/Captions.h"
#include "ui/DialogColours.h"
#include "ui/DialogTemplate.h"
#include "ui/FusePage.h"
#include "ui/HexView.h"
#include "ui/ProgrammerDialog.h"
#include "ui/Translation.h"

namespace kestrel::ui {

void ProgrammerDialog::Press(control::OperationButton button, bool keepPage) {
  std::optional<std::string> file;
  // While a run goes on the controller refuses the press; no dialog is opened for it.
  if (const auto kind = control::FileDialogOf(button); kind && controller_->Idle()) file = ChooseFile(*kind);
  controller_->Start(RequestFor(button, std::move(file), keepPage));
}

void ProgrammerDialog::OpenFile(control::OperationButton button, const QString& path) {
  if (const auto kind = control::FileDialogOf(button); kind && controller_->Idle()) RememberFile(*kind, path);
  controller_->Start(RequestFor(button, path.toStdString(), false));
}

control::RunRequest ProgrammerDialog::RequestFor(control::OperationButton button,
                                                 std::optional<std::string> file, bool keepPage) const {
  control::RunRequest request;
  request.press = button;
  request.file = std::move(file);
  request.boxes = AutoBoxes();
  request.fuseText = static_cast<QLineEdit*>(Control(ControlId::FuseText))->text().toStdString();
  request.lockText = static_cast<QLineEdit*>(Control(ControlId::LockText))->text().toStdString();
  request.fastVerify = IsChecked(ControlId::FastVerifyBox);
  request.signatureCheck = fusePage_->SignatureCheckOn();
  request.keepPage = keepPage;
  return request;
}

void ProgrammerDialog::OnStatus(device::Status code, std::uint32_t argument) {
  controller_->OnProgrammerStatus(code, argument);
}

void ProgrammerDialog::RunStarted() {
  // The views draw the buffers a transfer's worker reads and fills: no edit until the run ends.
  for (HexView* view : {flashHexView_, eepromHexView_}) view->SetLocked(true);
  progressBar_->setPalette(QPalette());
  progressBar_->setFormat(QString());
  progressBar_->setValue(0);
}

void ProgrammerDialog::ShowProgress(const control::RunProgress& progress) {
  progressBar_->setFormat(Tr(captions::kTransferProgressPattern)
                              .arg(progress.memory == control::MemoryKind::Flash ? u"FLASH" : u"EEPROM")
                              .arg(progress.page + 1)
                              .arg(progress.total));
  progressBar_->setValue(progress.position);
}

void ProgrammerDialog::OperationBegan(control::Operation operation) {
  controls_.at(ControlId::StopButton)->setEnabled(control::IsBlockTransfer(operation));
}

void ProgrammerDialog::OperationEnded(control::Operation operation, bool passed) {
  controls_.at(ControlId::StopButton)->setEnabled(false);
  const QString now = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
  if (passed && operation == control::Operation::ReadFlash)
    flashHexView_->SetCaption(Tr(captions::kReadbackCaptionPattern).arg(now));
  if (passed && operation == control::Operation::ReadEeprom)
    eepromHexView_->SetCaption(Tr(captions::kReadbackCaptionPattern).arg(now));
}

void ProgrammerDialog::ImageOpened(control::MemoryKind memory, const std::string& path) {
  HexView* view = memory == control::MemoryKind::Flash ? flashHexView_ : eepromHexView_;
  const QString name = QFileInfo(QString::fromStdString(path)).fileName();
  view->SetCaption(path.empty() ? Tr(captions::kImageCaption)
                                : Tr(captions::kImageFileCaptionPattern).arg(name));
}

void ProgrammerDialog::RunEnded(const control::Outcome& outcome) {
  controls_.at(ControlId::StopButton)->setEnabled(false);
  for (HexView* view : {flashHexView_, eepromHexView_}) view->SetLocked(false);
  // A run that did nothing (a file dialog cancelled) has no outcome to tell.
  if (outcome.cause == control::Cause::Cancelled) return;
  QPalette colours = progressBar_->palette();
  colours.setColor(QPalette::Highlight, outcome.passed ? kPassedColour : kFailedColour);
  colours.setColor(QPalette::HighlightedText, Qt::white);
  colours.setColor(QPalette::Text, Qt::white);
  progressBar_->setPalette(colours);
  progressBar_->setValue(100);
  progressBar_->setFormat(Tr(outcome.passed ? captions::kRunPassed : captions::kRunFailed));
}

void ProgrammerDialog::ConnectionChanged(const std::string& address) {
  connection_->setText(address.empty()
                           ? Tr(captions::kNotConnected)
                           : Tr(captions::kConnectedPattern).arg(QString::fromStdString(address)));
  QPalette colours = connection_->palette();
  colours.setColor(QPalette::WindowText, address.empty() ? kFailedColour : kPassedColour);
  connection_->setPalette(colours);
}

}  // namespace kestrel::ui
