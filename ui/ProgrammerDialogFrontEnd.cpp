// The part of the main window that the controller drives: fields, boxes, progress, views,
// file dialogs, message boxes and the page switch.
#include <QAbstractItemView>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QTabWidget>

#include "base/Texts.h"
#include "ui/Captions.h"
#include "ui/FusePage.h"
#include "ui/HexView.h"
#include "ui/ProgrammerDialog.h"
#include "ui/Translation.h"

namespace kestrel::ui {
namespace {

// Qt reads the patterns from the parentheses at the end of a filter's name. An open dialog
// shows every file it can read first, each kind, then any file (whose kind the open finds out).
QStringList NameFilters(const control::FileDialogSpec& spec) {
  QStringList filters;
  QStringList patterns;
  for (const control::FileFilter& filter : spec.filters) patterns << QString::fromStdString(filter.pattern);
  if (!spec.save)
    filters << Tr(captions::kAllSupportedFilter) + QStringLiteral(" (%1)").arg(patterns.join(u' '));
  for (const control::FileFilter& filter : spec.filters) {
    const QString description = QString::fromStdString(filter.description);
    const QString pattern = QString::fromStdString(filter.pattern);
    filters << (description.endsWith(QLatin1Char('(') + pattern + QLatin1Char(')'))
                    ? description
                    : description + QStringLiteral(" (") + pattern + QLatin1Char(')'));
  }
  if (!spec.save) filters << Tr(captions::kAllFilesFilter) + QStringLiteral(" (*)");
  return filters;
}

}  // namespace

void ProgrammerDialog::SetFieldText(control::Field field, const std::string& text) {
  const QString shown = QString::fromStdString(text);
  if (field == control::Field::Chip) return fusePage_->ShowChipText(shown);
  const ControlId id = field == control::Field::Signature     ? ControlId::SignatureText
                       : field == control::Field::Calibration ? ControlId::CalibrationText
                                                              : ControlId::FuseLockText;
  static_cast<QLineEdit*>(Control(id))->setText(shown);
  if (field == control::Field::FuseLock) fusePage_->TakeFuseLockRead(shown);
}

void ProgrammerDialog::SetFuseText(const std::string& text) {
  static_cast<QLineEdit*>(Control(ControlId::FuseText))->setText(QString::fromStdString(text));
}

void ProgrammerDialog::SetLockText(const std::string& text) {
  static_cast<QLineEdit*>(Control(ControlId::LockText))->setText(QString::fromStdString(text));
}

bool ProgrammerDialog::ConfirmLockout(const std::string& consequence) {
  const QString question =
      Tr(captions::kLockoutQuestionPattern).arg(QString::fromStdString(consequence).trimmed());
  // A refused text is not kept, for this run or the next start: the field gets back the
  // chip's text from before it.
  auto* field = static_cast<QLineEdit*>(Control(ControlId::FuseText));
  const auto Settled = [&](bool yes) {
    if (yes) {
      acceptedFuse_ = field->text();
    } else {
      field->setText(acceptedFuse_);
    }
    return yes;
  };
  if (questionHandler_) return Settled(questionHandler_(question.toStdString()));
  QMessageBox box(QMessageBox::Warning, QString::fromUtf8(texts::kProgramName), question,
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return Settled(box.exec() == QMessageBox::Yes);
}

void ProgrammerDialog::ShowSelectedChip(int index) {
  // Only shown: the controller has selected the chip already, and setting the index does not
  // count as the user's pick (activated), so nothing runs twice.
  chipCombo_->setCurrentIndex(index);
  chipPicked_ = true;
  ShowSelectedFacts();
}

bool ProgrammerDialog::IsChecked(ControlId id) const {
  return static_cast<QCheckBox*>(Control(id))->isChecked();
}

control::AutoSelection ProgrammerDialog::AutoBoxes() const {
  control::AutoSelection boxes;
  boxes.eraseChip = IsChecked(ControlId::AutoErase);
  boxes.writeFlash = IsChecked(ControlId::AutoWriteFlash);
  boxes.readFlash = IsChecked(ControlId::AutoReadFlash);
  boxes.verifyFlash = IsChecked(ControlId::AutoVerifyFlash);
  boxes.writeEeprom = IsChecked(ControlId::AutoWriteEeprom);
  boxes.readEeprom = IsChecked(ControlId::AutoReadEeprom);
  boxes.verifyEeprom = IsChecked(ControlId::AutoVerifyEeprom);
  boxes.writeFuses = IsChecked(ControlId::AutoWriteFuses);
  boxes.writeLock = IsChecked(ControlId::AutoWriteLock);
  return boxes;
}

control::HexViewPort& ProgrammerDialog::FlashView() {
  return *flashHexView_;
}

control::HexViewPort& ProgrammerDialog::EepromView() {
  return *eepromHexView_;
}

std::optional<std::string> ProgrammerDialog::ChooseFile(control::FileDialogKind kind) {
  std::optional<std::string> chosen = fileChooser_ ? fileChooser_(kind) : AskForFile(kind);
  if (chosen) RememberFile(kind, QString::fromStdString(*chosen));
  return chosen;
}

std::optional<std::string> ProgrammerDialog::AskForFile(control::FileDialogKind kind) {
  QFileDialog*& dialog = fileDialogs_.at(static_cast<std::size_t>(kind));
  if (dialog == nullptr) {
    const control::FileDialogSpec& spec = control::DialogSpec(kind);
    dialog = new QFileDialog(this);
    dialog->setOption(QFileDialog::DontUseNativeDialog);  // Qt's own, whose completer is closed below
    dialog->setAcceptMode(spec.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::AnyFile);  // a typed name need not exist yet
    dialog->setNameFilters(NameFilters(spec));
    dialog->setDefaultSuffix(QString::fromStdString(spec.defaultSuffix));
    if (const QString folder = SavedFolder(kind); !folder.isEmpty()) dialog->setDirectory(folder);
  }
  const QString path = RunFileDialog(*dialog);
  return path.isEmpty() ? std::nullopt : std::optional(path.toStdString());
}

QString ProgrammerDialog::RunFileDialog(QFileDialog& dialog) {
  const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  // Return in the name field can accept the dialog with the name completion still open over
  // the main window, where it would take the next click.
  for (QCompleter* completer : dialog.findChildren<QCompleter*>()) completer->popup()->hide();
  return accepted ? dialog.selectedFiles().constFirst() : QString();
}

void ProgrammerDialog::ShowMessage(const std::string& text) {
  if (messageHandler_) {
    messageHandler_(text);
    return;
  }
  QString shown = QString::fromStdString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(texts::kProgramName), shown, QMessageBox::Ok, this);
  box.exec();
}

void ProgrammerDialog::ShowPage(int page) {
  // A number that names no page moves only the tab selection, which Qt does not allow to
  // leave the tabs: nothing changes.
  pageTabs_->setCurrentIndex(page);
  if (page < 0 || page >= pageTabs_->count()) return;
  QWidget* shown = pageTabs_->widget(page);
  shown->setEnabled(true);
  pageTabs_->update();
  RefreshSelectedMode();
}

}  // namespace kestrel::ui
