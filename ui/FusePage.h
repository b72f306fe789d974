#pragma once

#include <QString>
#include <QWidget>

#include "chips/ChipFacts.h"
#include "control/Operations.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace kestrel::ui {

class FuseEditor;

// The fuse page: the chip its signature names, the fuse editor of the chip selected in the
// list, and the buttons of the fuse operations. The page sends nothing itself: its buttons
// become operationChosen; the window reads its check box into each run's request.
//
// The editor keeps in step with the window's fuse and lock fields: their texts come in through
// TakeFuseText and TakeLockText, and a change made on the page (a row edited, the factory
// values loaded) goes out as fuseTextChosen / lockTextChosen, for the field whose bytes it
// changed. A fuse-and-lock read fills only the editor; the page's write button first hands the
// editor's fuse text to the field, so that what is written is what the page shows.
class FusePage : public QWidget {
  Q_OBJECT

 public:
  explicit FusePage(QWidget* parent = nullptr);

  // The chips the signature names, "ATmega8,ATmega8A".
  void ShowChipText(const QString& names);
  // The chip selected in the list, or nullptr: none has been picked yet (`picked` false) or
  // it has no facts. The facts must outlive the page or the next call.
  void SetChip(const chips::ChipFacts* facts, bool picked);

  // A field's text; anything but exactly six (two) hex digits leaves the editor as it is.
  void TakeFuseText(const QString& text);
  void TakeLockText(const QString& text);
  // The text of a fuse-and-lock read, "62：D9：FF：FF": low, high, extended, lock; the
  // fields stay as they are.
  void TakeFuseLockRead(const QString& text);

  FuseEditor& editor() const { return *editor_; }
  // Whether a run compares the chip's signature before it changes the chip.
  bool SignatureCheckOn() const;

 signals:
  void operationChosen(kestrel::control::OperationButton button);
  void fuseTextChosen(const QString& text);
  void lockTextChosen(const QString& text);

 private:
  QPushButton* AddButton(const char* caption, const char* tip, const char* name);
  // The editor shows `fuses` and both fields follow.
  void LoadFuses(const chips::FuseSet& fuses);
  // Tells the fields of the bytes the editor changed since `shown_` (all when `all`).
  void Announce(bool all);

  const chips::ChipFacts* facts_ = nullptr;
  chips::FuseSet shown_;  // the editor's bytes before the user's next edit
  QLineEdit* chip_ = nullptr;
  QCheckBox* signatureCheck_ = nullptr;
  FuseEditor* editor_ = nullptr;
  QPushButton* factoryValues_ = nullptr;
};

}  // namespace kestrel::ui
