#pragma once

#include <QString>
#include <QWidget>
#include <vector>

#include "chips/ChipFacts.h"

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QScrollArea;

namespace kestrel::ui {

// Edits a chip's fuse and lock bytes field by field: a row per field of the chip's facts,
// grouped by byte; single bits as check boxes (checked = programmed = 0), wider fields as
// drop-downs of the values the maker lists. A value outside that list, as read from a chip,
// stays selectable as an extra entry, and bits that belong to no field keep whatever they were
// set to, so reading, editing and writing back loses nothing. The resulting bytes are shown as
// the hex digits of the dialog's fuse and lock text fields, with or without a chip's facts.
class FuseEditor : public QWidget {
  Q_OBJECT

 public:
  explicit FuseEditor(QWidget* parent = nullptr);

  // The chip whose fields are shown; nullptr shows, above the hex digits, only a line:
  // `whyNone` or else one saying there are no facts. The facts must outlive the editor or the
  // next call. The bytes stay as they are.
  void SetChip(const chips::ChipFacts* facts, const QString& whyNone = {});
  void SetFuses(const chips::FuseSet& fuses);
  const chips::FuseSet& Fuses() const { return fuses_; }

  // Low, high and extended byte as six upper-case hex digits ("E199FF"); the extended byte is
  // kept as given on chips with two fuse bytes.
  QString FuseText() const;
  QString LockText() const;  // two upper-case hex digits
  // Take exactly six (two) hex digits of either case; anything else is refused with false and
  // changes nothing.
  bool SetFuseText(const QString& text);
  bool SetLockText(const QString& text);

 signals:
  // The user changed a row; not sent for changes made through the setters.
  void fusesEdited(const kestrel::chips::FuseSet& fuses);

 private:
  struct Row {
    const chips::FuseField* field = nullptr;
    QCheckBox* box = nullptr;     // a single-bit field
    QComboBox* choice = nullptr;  // a wider field
    QString tip;                  // why the field deserves care; empty for most
  };

  void BuildRows();
  void AddRow(const chips::FuseField& field, QFormLayout* form);
  void ShowFuses();
  void ShowTip(const Row& row);
  void ShowText();
  void Edit(std::size_t row, std::uint8_t value);

  const chips::ChipFacts* facts_ = nullptr;
  chips::FuseSet fuses_;
  std::vector<Row> rows_;
  QLabel* noFacts_ = nullptr;
  QLineEdit* fuseText_ = nullptr;
  QLineEdit* lockText_ = nullptr;
  QScrollArea* scroll_ = nullptr;
};

}  // namespace kestrel::ui
