// What the main window remembers between runs: the chip, the mode, the fuse and lock texts of
// each chip (where they are not its factory values), the check boxes, the window's place, the
// folder of each file dialog and the files opened lately. What is no longer there (a chip left
// out of the catalogue, a file or folder gone) is passed over without a word.
#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <tuple>

#include "control/ChipSafety.h"
#include "ui/Captions.h"
#include "ui/DialogTemplate.h"
#include "ui/ProgrammerDialog.h"
#include "ui/Translation.h"

namespace kestrel::ui {
namespace {

constexpr int kRecentFiles = 6;
// The Auto boxes and the fast verify box.
constexpr ControlId kBoxes[] = {ControlId::AutoErase,        ControlId::AutoWriteFlash,
                                ControlId::AutoReadFlash,    ControlId::AutoVerifyFlash,
                                ControlId::AutoWriteEeprom,  ControlId::AutoReadEeprom,
                                ControlId::AutoVerifyEeprom, ControlId::AutoWriteFuses,
                                ControlId::AutoWriteLock,    ControlId::FastVerifyBox};

// A box's key holds its template ID, as the settings of earlier runs do.
QString BoxKey(ControlId box) {
  return QStringLiteral("boxes/%1").arg(static_cast<int>(box));
}

QString FolderKey(control::FileDialogKind kind) {
  return QStringLiteral("folders/%1").arg(static_cast<int>(kind));
}

// A chip's text, "fuses/ATmega328P"; the names hold no character that QSettings treats apart.
QString ChipTextKey(const char* key, const QString& chip) {
  return QStringLiteral("%1/%2").arg(QLatin1String(key), chip);
}

// Only the open dialogs of the two memories keep a list.
QString RecentKey(control::FileDialogKind kind) {
  switch (kind) {
    case control::FileDialogKind::OpenFlash:
      return QStringLiteral("recent/flash");
    case control::FileDialogKind::OpenEeprom:
      return QStringLiteral("recent/eeprom");
    default:
      return {};
  }
}

// What the fuse and lock fields may hold: exactly six and two hex digits.
bool IsHexText(const QString& text, int digits) {
  chips::FuseSet unused;
  return digits == 6 ? control::ParseFuseText(text.toStdString(), unused)
                     : control::ParseLockText(text.toStdString(), unused);
}

}  // namespace

void ProgrammerDialog::SaveSettings() const {
  QSettings settings(kSettingsOrganisation, kSettingsApplication);
  settings.setValue(QStringLiteral("chip"), chipPicked_ ? chipCombo_->currentText() : QString());
  settings.setValue(QStringLiteral("mode"), modeGroup_->checkedId());
  KeepChipTexts();
  for (const ControlId id : kBoxes) {
    settings.setValue(BoxKey(id), static_cast<QCheckBox*>(Control(id))->isChecked());
  }
  settings.setValue(QStringLiteral("window"), saveGeometry());
}

void ProgrammerDialog::RestoreSettings() {
  QSettings settings(kSettingsOrganisation, kSettingsApplication);
  const QString chip = settings.value(QStringLiteral("chip")).toString();
  if (const int index = chipCombo_->findText(chip, Qt::MatchFixedString); !chip.isEmpty() && index >= 0) {
    chipCombo_->setCurrentIndex(index);
    PickChip(index);
  }
  if (QAbstractButton* mode = modeGroup_->button(settings.value(QStringLiteral("mode"), 0).toInt())) {
    mode->click();
  }
  for (const ControlId id : kBoxes) {
    const QString key = BoxKey(id);
    if (settings.contains(key))
      static_cast<QCheckBox*>(Control(id))->setChecked(settings.value(key).toBool());
  }
  restoreGeometry(settings.value(QStringLiteral("window")).toByteArray());
}

void ProgrammerDialog::KeepChipTexts() const {
  if (textsChip_.isEmpty()) return;
  QSettings settings(kSettingsOrganisation, kSettingsApplication);
  const chips::ChipFacts* facts = controller_->facts().Find(textsChip_.toStdString());
  for (const auto& [id, key] :
       {std::pair{ControlId::FuseText, "fuses"}, std::pair{ControlId::LockText, "lock"}}) {
    const QString text = static_cast<QLineEdit*>(Control(id))->text().toUpper();
    const QString factory =
        facts == nullptr
            ? QString()
            : QString::fromStdString(id == ControlId::FuseText ? control::FuseTextOf(facts->factory)
                                                               : control::LockTextOf(facts->factory));
    if (text == factory) {
      settings.remove(ChipTextKey(key, textsChip_));
    } else {
      settings.setValue(ChipTextKey(key, textsChip_), text);
    }
  }
}

void ProgrammerDialog::LoadChipTexts(const QString& chip) {
  if (chip == textsChip_) return;
  KeepChipTexts();
  textsChip_ = chip;
  const QSettings settings(kSettingsOrganisation, kSettingsApplication);
  const chips::ChipFacts* facts = controller_->facts().Find(chip.toStdString());
  for (const auto& [id, key, digits] :
       {std::tuple{ControlId::FuseText, "fuses", 6}, std::tuple{ControlId::LockText, "lock", 2}}) {
    QString text = settings.value(ChipTextKey(key, chip)).toString();
    if (!IsHexText(text, digits) && facts != nullptr)
      text = QString::fromStdString(digits == 6 ? control::FuseTextOf(facts->factory)
                                                : control::LockTextOf(facts->factory));
    if (IsHexText(text, digits)) static_cast<QLineEdit*>(Control(id))->setText(text);
  }
  acceptedFuse_ = static_cast<QLineEdit*>(Control(ControlId::FuseText))->text();
  ShowFuseNote();
}

// Only while Auto would write the fuses: the fields of the selected chip whose values differ
// from the factory's, by name.
void ProgrammerDialog::ShowFuseNote() {
  const chips::ChipFacts* facts = controller_ ? controller_->facts().Find(textsChip_.toStdString()) : nullptr;
  chips::FuseSet fuses = facts != nullptr ? facts->factory : chips::FuseSet{};
  QStringList changed;
  if (facts != nullptr && IsChecked(ControlId::AutoWriteFuses) &&
      control::ParseFuseText(static_cast<QLineEdit*>(Control(ControlId::FuseText))->text().toStdString(),
                             fuses)) {
    for (const chips::FuseField& field : facts->Fields()) {
      const auto byte = static_cast<std::size_t>(field.byte);
      if (field.byte != chips::FuseByte::kLock &&
          field.ValueIn(fuses.bytes[byte]) != field.ValueIn(facts->factory.bytes[byte]))
        changed << QString::fromStdString(field.name);
    }
  }
  const QString note = changed.isEmpty()
                           ? QString()
                           : Tr(captions::kFusesNotFactoryPattern).arg(changed.join(QStringLiteral(", ")));
  fuseNote_->setText(note);
  fuseNote_->setToolTip(note);
}

void ProgrammerDialog::RememberFile(control::FileDialogKind kind, const QString& path) const {
  QSettings settings(kSettingsOrganisation, kSettingsApplication);
  const QFileInfo file(path);
  settings.setValue(FolderKey(kind), file.absolutePath());
  const QString key = RecentKey(kind);
  if (key.isEmpty()) return;
  QStringList recent = settings.value(key).toStringList();
  recent.removeAll(file.absoluteFilePath());
  recent.prepend(file.absoluteFilePath());
  settings.setValue(key, recent.mid(0, kRecentFiles));
}

QString ProgrammerDialog::SavedFolder(control::FileDialogKind kind) const {
  const QString folder =
      QSettings(kSettingsOrganisation, kSettingsApplication).value(FolderKey(kind)).toString();
  return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

QStringList ProgrammerDialog::RecentFiles(control::FileDialogKind kind) const {
  QStringList files;
  if (RecentKey(kind).isEmpty()) return files;
  for (const QString& file :
       QSettings(kSettingsOrganisation, kSettingsApplication).value(RecentKey(kind)).toStringList())
    if (QFileInfo(file).isFile()) files << file;
  return files;
}

}  // namespace kestrel::ui
