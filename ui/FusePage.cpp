#include "ui/FusePage.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <string_view>
#include <utility>

#include "base/Bytes.h"
#include "ui/Captions.h"
#include "ui/DialogColours.h"
#include "ui/FuseEditor.h"
#include "ui/Translation.h"

namespace kestrel::ui {
namespace {

using control::OperationButton;

bool SameFuseBytes(const chips::FuseSet& a, const chips::FuseSet& b) {
  return a[chips::FuseByte::kLow] == b[chips::FuseByte::kLow] &&
         a[chips::FuseByte::kHigh] == b[chips::FuseByte::kHigh] &&
         a[chips::FuseByte::kExtended] == b[chips::FuseByte::kExtended];
}

}  // namespace

FusePage::FusePage(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->setSpacing(6);

  auto* chipRow = new QHBoxLayout;
  auto* chipLabel = new QLabel(Tr(captions::kChipLabel), this);
  ApplyDialogText(chipLabel);
  chipRow->addWidget(chipLabel);
  chip_ = new QLineEdit(this);
  chip_->setObjectName(QStringLiteral("fuseChip"));
  chip_->setReadOnly(true);
  chip_->setFocusPolicy(Qt::ClickFocus);
  ApplyDialogText(chip_);
  chipRow->addWidget(chip_, 1);
  QPushButton* identify = AddButton(captions::kIdentifyButton, captions::kIdentifyTip, "fuseIdentify");
  connect(identify, &QPushButton::clicked, this, [this] { emit operationChosen(OperationButton::Identify); });
  chipRow->addWidget(identify);
  chipRow->addSpacing(12);
  signatureCheck_ = new QCheckBox(Tr(captions::kSignatureCheckBox), this);
  signatureCheck_->setObjectName(QStringLiteral("fuseSignatureCheck"));
  signatureCheck_->setToolTip(Tr(captions::kSignatureCheckTip));
  signatureCheck_->setChecked(true);  // as the controller starts
  chipRow->addWidget(signatureCheck_);
  layout->addLayout(chipRow);

  editor_ = new FuseEditor(this);
  connect(editor_, &FuseEditor::fusesEdited, this, [this] { Announce(false); });
  layout->addWidget(editor_, 1);

  auto* buttons = new QHBoxLayout;
  const std::pair<const char*, OperationButton> sent[] = {{"fuseRead", OperationButton::ReadFuseLock},
                                                          {"fuseWrite", OperationButton::WriteFuses}};
  for (const auto& [name, operation] : sent) {
    const bool read = operation == OperationButton::ReadFuseLock;
    QPushButton* button = AddButton(read ? captions::kFuseReadButton : captions::kFuseWriteButton,
                                    read ? captions::kFuseReadTip : captions::kFuseWriteTip, name);
    connect(button, &QPushButton::clicked, this, [this, operation] {
      // What is written is what the page shows, also after a read that only the editor took.
      if (operation == OperationButton::WriteFuses) emit fuseTextChosen(editor_->FuseText());
      emit operationChosen(operation);
    });
    buttons->addWidget(button);
  }
  buttons->addStretch();
  factoryValues_ =
      AddButton(captions::kFactoryValuesButton, captions::kFactoryValuesTip, "fuseFactoryValues");
  connect(factoryValues_, &QPushButton::clicked, this, [this] {
    if (facts_ != nullptr) LoadFuses(facts_->factory);
  });
  buttons->addWidget(factoryValues_);
  QPushButton* reset =
      AddButton(captions::kFactoryResetButton, captions::kFactoryResetTip, "fuseFactoryReset");
  connect(reset, &QPushButton::clicked, this,
          [this] { emit operationChosen(OperationButton::FactoryReset); });
  buttons->addWidget(reset);
  layout->addLayout(buttons);

  // The whole chip at once: its file, a backup of it, that backup written back, and whether a new
  // chip is blank.
  auto* wholeChip = new QHBoxLayout;
  const struct {
    const char* caption;
    const char* tip;
    const char* name;
    OperationButton operation;
  } wholeChipButtons[] = {
      {captions::kOpenWholeChipButton, captions::kOpenWholeChipTip, "fuseOpenWholeChip",
       OperationButton::OpenWholeChipFile},
      {captions::kBackupButton, captions::kBackupTip, "fuseBackup", OperationButton::Backup},
      {captions::kRestoreButton, captions::kRestoreTip, "fuseRestore", OperationButton::Restore},
      {captions::kBlankCheckButton, captions::kBlankCheckTip, "fuseBlankCheck", OperationButton::BlankCheck}};
  for (const auto& button : wholeChipButtons) {
    const OperationButton operation = button.operation;
    QPushButton* pushed = AddButton(button.caption, button.tip, button.name);
    connect(pushed, &QPushButton::clicked, this, [this, operation] { emit operationChosen(operation); });
    wholeChip->addWidget(pushed);
  }
  wholeChip->addStretch();
  layout->addLayout(wholeChip);
  SetChip(nullptr, false);
}

QPushButton* FusePage::AddButton(const char* caption, const char* tip, const char* name) {
  auto* button = new QPushButton(Tr(caption), this);
  button->setObjectName(QLatin1String(name));
  button->setToolTip(Tr(tip));
  button->setFlat(true);
  button->setStyleSheet(QString::fromLatin1(kFlatButtonStyle));
  button->setAutoDefault(false);
  // The flat style leaves almost no padding; these buttons stand alone and get some.
  button->setMinimumSize(button->fontMetrics().horizontalAdvance(button->text()) + 16,
                         button->fontMetrics().height() + 8);
  return button;
}

void FusePage::ShowChipText(const QString& names) {
  chip_->setText(names);
  chip_->setCursorPosition(0);
}

void FusePage::SetChip(const chips::ChipFacts* facts, bool picked) {
  facts_ = facts;
  editor_->SetChip(facts, picked ? QString() : Tr(captions::kNoChipPicked));
  factoryValues_->setEnabled(facts != nullptr);
}

void FusePage::TakeFuseText(const QString& text) {
  if (editor_->SetFuseText(text)) shown_ = editor_->Fuses();
}

void FusePage::TakeLockText(const QString& text) {
  if (editor_->SetLockText(text)) shown_ = editor_->Fuses();
}

void FusePage::TakeFuseLockRead(const QString& text) {
  const QByteArray digits = QString(text).remove(u'：').toLatin1();
  chips::FuseSet fuses;
  if (digits.size() != 8 || !ParseHexText(std::string_view(digits.constData(), 8), 4, fuses.bytes.data()))
    return;
  // The fields keep what the user typed there: a fuse write reads back, and the lock write
  // that follows must still send the lock text, not what was read.
  editor_->SetFuses(fuses);
  shown_ = fuses;
}

void FusePage::LoadFuses(const chips::FuseSet& fuses) {
  editor_->SetFuses(fuses);
  Announce(true);
}

void FusePage::Announce(bool all) {
  const chips::FuseSet before = std::exchange(shown_, editor_->Fuses());
  // The fields hand their new text back through TakeFuseText, which then changes nothing.
  if (all || !SameFuseBytes(before, shown_)) emit fuseTextChosen(editor_->FuseText());
  if (all || before[chips::FuseByte::kLock] != shown_[chips::FuseByte::kLock]) {
    emit lockTextChosen(editor_->LockText());
  }
}

bool FusePage::SignatureCheckOn() const {
  return signatureCheck_->isChecked();
}

}  // namespace kestrel::ui
