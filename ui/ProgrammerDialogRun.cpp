// A run as the main window shows it: the window builds the request of a press from its
// controls, hands it to the controller, and shows what the controller publishes of the run.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalBlocker>
#include <QTime>

#include "base/Texts.h"
#include "chips/ChipCatalogue.h"
#include "control/ChipSafety.h"
#include "control/MemoryTable.h"
#include "control/WholeChipFiles.h"
#include "ui/Captions.h"
#include "ui/DialogColours.h"
#include "ui/DialogTemplate.h"
#include "ui/FusePage.h"
#include "ui/HexView.h"
#include "ui/ProgrammerDialog.h"
#include "ui/Translation.h"

namespace kestrel::ui {

namespace {

using control::OperationButton;

QString SizeText(int bytes) {
  return bytes >= 1024 && bytes % 1024 == 0 ? QStringLiteral("%1 KiB").arg(bytes / 1024)
                                            : QStringLiteral("%1 B").arg(bytes);
}

const char* MemoryName(control::MemoryKind memory) {
  return memory == control::MemoryKind::Flash ? "FLASH" : "EEPROM";
}

}  // namespace

void ProgrammerDialog::Press(control::OperationButton button, bool keepPage) {
  if (ProductionRunning()) return;  // the stations have the programmers; the buttons wait
  if (controller_->Idle()) {
    if (!SettleEdits(button)) return;
    const bool erases = button == OperationButton::Erase || button == OperationButton::FactoryReset ||
                        button == OperationButton::Restore;
    if (erases && !ConfirmErase()) return;
    const bool save = button == OperationButton::SaveFlashFile || button == OperationButton::SaveEepromFile;
    const auto memory =
        button == OperationButton::SaveFlashFile ? control::MemoryKind::Flash : control::MemoryKind::Eeprom;
    const device::Memory& held = controller_->memories()[memory];
    if (save && FrontEnd::View(memory).buffer() == &held.image && !held.imageLoaded) {
      return ShowMessage(
          Tr(captions::kNothingToSavePattern).arg(QLatin1String(MemoryName(memory))).toStdString());
    }
  }
  lastPress_ = button;
  std::optional<std::string> file;
  // While a run goes on the controller refuses the press; no dialog is opened for it.
  if (const auto kind = control::FileDialogOf(button); kind && controller_->Idle()) file = ChooseFile(*kind);
  controller_->Start(RequestFor(button, std::move(file), keepPage));
}

void ProgrammerDialog::OpenFile(control::OperationButton button, const QString& path) {
  if (controller_->Idle() && !SettleEdits(button)) return;
  lastPress_ = button;
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
  const bool write = progress.direction == control::Direction::Write;
  progressBar_->setFormat(Tr(write ? captions::kWriteProgressPattern : captions::kReadProgressPattern)
                              .arg(progress.memory == control::MemoryKind::Flash ? u"FLASH" : u"EEPROM")
                              .arg(progress.page + 1)
                              .arg(progress.total));
  progressBar_->setValue(progress.position);
}

void ProgrammerDialog::OperationBegan(control::Operation operation) {
  controls_.at(ControlId::StopButton)->setEnabled(control::IsBlockTransfer(operation));
}

void ProgrammerDialog::OperationEnded(control::Operation operation, const control::OperationResult& result) {
  const bool passed = result.passed;
  controls_.at(ControlId::StopButton)->setEnabled(false);
  if (passed && operation == control::Operation::SaveFlashFile) flashHexView_->MarkSaved();
  if (passed && operation == control::Operation::SaveEepromFile) eepromHexView_->MarkSaved();
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
  if (outcome.passed) acceptedFuse_ = static_cast<QLineEdit*>(Control(ControlId::FuseText))->text();
  if (outcome.passed && lastPress_ == OperationButton::ReadSignature) CheckSignatureRead();
}

void ProgrammerDialog::ConnectionChanged(const std::string& address) {
  address_ = address;
  // The list is looked at only between runs; a programmer gone during one leaves it as it was.
  if (controller_ && controller_->Idle()) {
    const std::vector<std::string> choice = controller_->ProgrammerChoice();
    const QSignalBlocker quiet(programmers_);
    programmers_->clear();
    for (const std::string& each : choice) programmers_->addItem(QString::fromStdString(each));
    programmers_->setCurrentIndex(programmers_->findText(QString::fromStdString(address)));
    programmers_->setHidden(choice.empty());
  }
  ShowConnection();
}

void ProgrammerDialog::ShowConnection() {
  // With the list shown the list names the address.
  const QString address = programmers_->isHidden() ? QString::fromStdString(address_) : QString();
  const QString state =
      address_.empty() ? Tr(captions::kNotConnected) : Tr(captions::kConnectedPattern).arg(address).trimmed();
  connection_->setText(state + QStringLiteral(" · ") + modeGroup_->checkedButton()->text());
  QPalette colours = connection_->palette();
  colours.setColor(QPalette::WindowText, address_.empty() ? kFailedColour : kPassedColour);
  connection_->setPalette(colours);
  LayOutBottomLine();
}

void ProgrammerDialog::LayOutBottomLine() {
  const int gap = bottomLine_.height() / 2;
  int right = bottomLine_.right() + 1;
  const int labelWidth = std::max(connectionWidth_, connection_->sizeHint().width());
  connection_->setGeometry(right - labelWidth, connection_->y(), labelWidth, connection_->height());
  right -= labelWidth + gap;
  if (!programmers_->isHidden()) {
    const QSize size = programmers_->sizeHint();
    programmers_->setGeometry(right - size.width(), bottomLine_.center().y() - size.height() / 2,
                              size.width(), size.height());
    right -= size.width() + gap;
  }
  progressBar_->setGeometry(bottomLine_.left(), progressBar_->y(), right - bottomLine_.left(),
                            progressBar_->height());
}

void ProgrammerDialog::ModeChosen(int mode) {
  controller_->SetMode(static_cast<device::ProgrammingMode>(mode));
  if (mode != loggedMode_) {
    controller_->log().AppendLog(
        Tr(captions::kModeLinePattern).arg(modeGroup_->button(mode)->text()).toStdString());
    loggedMode_ = mode;
  }
  ShowConnection();
}

bool ProgrammerDialog::ConfirmErase() {
  QSettings settings(kSettingsOrganisation, kSettingsApplication);
  const QString key = QStringLiteral("askBeforeErase");
  if (!settings.value(key, true).toBool()) return true;
  const chips::ChipGeometry& chip = controller_->geometry();
  const QString question =
      Tr(captions::kEraseQuestionPattern)
          .arg(chipCombo_->currentText(), SizeText(chip.FlashSize()), SizeText(chip.EepromSize()));
  if (questionHandler_) return questionHandler_(question.toStdString());
  QMessageBox box(QMessageBox::Warning, QString::fromUtf8(texts::kProgramName), question,
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  auto* dontAsk = new QCheckBox(Tr(captions::kDontAskAgain), &box);
  box.setCheckBox(dontAsk);
  const bool yes = box.exec() == QMessageBox::Yes;
  if (yes && dontAsk->isChecked()) settings.setValue(key, false);
  return yes;
}

bool ProgrammerDialog::SettleEdits(control::OperationButton button) {
  const control::AutoSelection boxes = AutoBoxes();
  const bool whole = button == OperationButton::OpenWholeChipFile || button == OperationButton::Backup;
  const bool flash = whole || button == OperationButton::OpenFlashFile ||
                     button == OperationButton::ReadFlash || button == OperationButton::Burn ||
                     (button == OperationButton::Auto && boxes.readFlash);
  const bool eeprom = whole || button == OperationButton::OpenEepromFile ||
                      button == OperationButton::ReadEeprom ||
                      (button == OperationButton::Auto && boxes.readEeprom);
  return (!flash || SettleEdits(control::MemoryKind::Flash)) &&
         (!eeprom || SettleEdits(control::MemoryKind::Eeprom));
}

bool ProgrammerDialog::SettleEdits(control::MemoryKind memory) {
  HexView& view = memory == control::MemoryKind::Flash ? *flashHexView_ : *eepromHexView_;
  if (!view.Unsaved()) return true;
  const QString question = Tr(captions::kUnsavedEditsPattern).arg(QLatin1String(MemoryName(memory)));
  Choice choice = Choice::Cancel;
  if (choiceHandler_) {
    choice = choiceHandler_(question.toStdString());
  } else {
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(texts::kProgramName), question,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    const int answer = box.exec();
    choice = answer == QMessageBox::Save      ? Choice::Save
             : answer == QMessageBox::Discard ? Choice::Discard
                                              : Choice::Cancel;
  }
  if (choice == Choice::Cancel) return false;
  if (choice == Choice::Discard) return true;
  Press(memory == control::MemoryKind::Flash ? OperationButton::SaveFlashFile
                                             : OperationButton::SaveEepromFile);
  while (!controller_->Idle()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return !view.Unsaved();  // a save cancelled or failed cancels the press
}

void ProgrammerDialog::TakeEdit(control::MemoryKind memory) {
  HexView& view = memory == control::MemoryKind::Flash ? *flashHexView_ : *eepromHexView_;
  device::Memory& held = controller_->memories()[memory];
  held.imageLoaded = true;
  if (view.buffer() != &held.readback) return;
  held.readbackValid = false;
  held.image = held.readback;
  // Every byte of a read-back is the chip's word, as a file's bytes are the file's; an edit
  // from now on is the user's.
  held.given.Clear();
  held.given.Add(0, static_cast<std::uint32_t>(view.length()));
  view.MoveTo(held.image, [&held](std::size_t index) {
    held.given.Add(static_cast<std::uint32_t>(index), static_cast<std::uint32_t>(index + 1));
  });
}

void ProgrammerDialog::CheckSignatureRead() {
  const chips::ChipFacts* selected = controller_->SelectedFacts();
  if (selected == nullptr) return;
  const QString shown = static_cast<QLineEdit*>(Control(ControlId::SignatureText))->text();
  chips::Signature read{};
  int found = 0;
  for (const QString& part :
       shown.split(QRegularExpression(QStringLiteral("[^0-9A-Fa-f]+")), Qt::SkipEmptyParts))
    if (found < 3)
      read[static_cast<std::size_t>(found++)] = static_cast<std::uint8_t>(part.toUInt(nullptr, 16));
  if (found != 3 || read == selected->signature) return;
  const QString readText = QString::fromStdString(control::SignatureText(read));
  const QString selectedName = chipCombo_->currentText();
  const std::vector<std::string> names = control::ChipsWithSignature(controller_->facts(), read);
  const int index = names.empty() ? -1 : chips::FindChip(controller_->catalogue(), names.front());
  if (index < 0) {
    return ShowMessage(
        Tr(captions::kUnknownSignaturePattern)
            .arg(readText, selectedName, QString::fromStdString(control::SignatureText(selected->signature)))
            .toStdString());
  }
  const QString other = chipCombo_->itemText(index);
  const QString question = Tr(captions::kOtherChipQuestionPattern).arg(readText, other, selectedName);
  bool yes = false;
  if (questionHandler_) {
    yes = questionHandler_(question.toStdString());
  } else {
    yes = QMessageBox::question(this, QString::fromUtf8(texts::kProgramName), question) == QMessageBox::Yes;
  }
  if (!yes) return;
  chipCombo_->setCurrentIndex(index);
  PickChip(index);
}

}  // namespace kestrel::ui
