#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "control/FrontEndPorts.h"

class QLabel;

namespace kestrel::ui {

// A hex editor for one memory: a caption line saying which bytes these are, then 16 bytes a
// row addressed from 0, hex pairs and a text column. It draws the buffer it is shown; the
// keyboard overwrites its bytes there, nibble by nibble in the hex column and byte by byte (a
// printable character) in the text column, never inserting or deleting. Bytes edited since the
// buffer was shown are coloured and counted in the caption; Ctrl+Z undoes the edits one by
// one, Ctrl+Shift+Z and Ctrl+Y redo them. Each edit is announced as edited; a local file
// dropped on it as fileDropped. Only the visible rows are painted, so large memories stay
// cheap.
class HexView : public QAbstractScrollArea, public control::HexViewPort {
  Q_OBJECT

 public:
  static constexpr int kBytesPerRow = 16;

  explicit HexView(QWidget* parent = nullptr);

  // While a run goes on a worker may read or fill the buffer: the keys then change nothing.
  void SetLocked(bool locked) { locked_ = locked; }

  // The colour of the hex digits.
  void SetViewColour(const QColor& colour);
  QColor ViewColour() const { return colour_; }
  // The caption says whose bytes these are; the view adds how many of them were edited.
  void SetCaption(const QString& text);
  QString Caption() const;
  // Shows `buffer` in place of the one shown, which holds the same bytes (a copy), keeping the
  // edits, their undo and the cursor; `edited` runs after each edit from now on.
  void MoveTo(device::ChipBuffer& buffer, std::function<void(std::size_t)> edited);
  // Bytes that differ from what they were when the buffer was shown.
  std::size_t EditedCount() const;
  // Edited since the buffer was shown or last saved.
  bool Unsaved() const { return unsaved_; }
  void MarkSaved() { unsaved_ = false; }

  std::size_t Length() const { return length(); }
  std::size_t CursorByte() const { return cursor_ / 2; }
  bool CursorOnLowNibble() const { return cursor_ % 2 != 0; }
  // Whether the byte differs from what it was when its buffer was shown.
  bool IsEdited(std::size_t index) const;
  // Where a click in the hex column (on the high nibble) or the text column selects the byte,
  // in viewport coordinates.
  QPoint CellCentre(std::size_t index, bool textColumn) const;

 signals:
  void fileDropped(const QString& path);
  void edited();

 protected:
  void Redraw() override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  int RowCount() const;
  int VisibleRows() const;
  int CharWidth() const;
  int LineHeight() const;
  int HexColumnX(int byteInRow) const;  // left edge of a byte's pair, in viewport pixels
  int TextColumnX() const;
  void MoveCursorTo(long long nibble);
  void OverwriteNibble(int value);
  void OverwriteByte(std::uint8_t value);  // in the text column
  void Overwrite(std::size_t index, std::uint8_t value);
  void Undo();
  void Redo();
  void Changed();  // after an edit, its undo or its redo
  void EnsureCursorVisible();
  void UpdateScrollBars();

  struct UndoStep {
    std::size_t index;
    std::uint8_t before;
    std::size_t cursor;
  };

  std::unordered_map<std::size_t, std::uint8_t> originals_;  // of the edited bytes, as shown
  std::vector<UndoStep> undo_;
  std::vector<UndoStep> redo_;  // each with the value to put back
  bool unsaved_ = false;
  bool keepEdits_ = false;  // MoveTo shows the copy of what is shown
  QString captionText_;
  bool locked_ = false;
  std::size_t cursor_ = 0;   // nibble index: byte * 2 + (0 high, 1 low)
  bool textColumn_ = false;  // typing goes to the text column
  QColor colour_{Qt::black};
  QLabel* caption_ = nullptr;
};

}  // namespace kestrel::ui
