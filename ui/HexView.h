#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <cstdint>
#include <vector>

#include "control/FrontEndPorts.h"

class QLabel;

namespace kestrel::ui {

// A hex editor for one memory: a caption line saying which bytes these are, then 16 bytes a
// row addressed from 0, hex pairs and a text column. It holds its own copy of the bytes; the
// keyboard overwrites them, nibble by nibble in the hex column and byte by byte (a printable
// character) in the text column, never inserting or deleting. Bytes that differ from what
// SetData put there are coloured; Ctrl+Z undoes the edits one by one. A local file dropped on
// it is announced as fileDropped. Only the visible rows are painted, so large memories stay
// cheap.
class HexView : public QAbstractScrollArea, public control::HexViewPort {
  Q_OBJECT

 public:
  static constexpr int kBytesPerRow = 16;

  explicit HexView(QWidget* parent = nullptr);

  void SetData(const std::uint8_t* bytes, std::size_t length) override;
  // Copies min(length, content) bytes out and fills the rest of `bytes` with 0xFF.
  void GetData(std::uint8_t* bytes, std::size_t length) const override;

  // The colour of the hex digits.
  void SetViewColour(const QColor& colour);
  QColor ViewColour() const { return colour_; }
  void SetCaption(const QString& text);
  QString Caption() const;

  std::size_t Length() const { return bytes_.size(); }
  std::size_t CursorByte() const { return cursor_ / 2; }
  bool CursorOnLowNibble() const { return cursor_ % 2 != 0; }
  // Whether the byte differs from what SetData put there.
  bool IsEdited(std::size_t index) const { return index < bytes_.size() && bytes_[index] != shown_[index]; }
  // Where a click in the hex column (on the high nibble) or the text column selects the byte,
  // in viewport coordinates.
  QPoint CellCentre(std::size_t index, bool textColumn) const;

 signals:
  void fileDropped(const QString& path);

 protected:
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
  void EnsureCursorVisible();
  void UpdateScrollBars();

  struct Edit {
    std::size_t index;
    std::uint8_t before;
    std::size_t cursor;
  };

  std::vector<std::uint8_t> bytes_;
  std::vector<std::uint8_t> shown_;  // as SetData put them
  std::vector<Edit> undo_;
  std::size_t cursor_ = 0;   // nibble index: byte * 2 + (0 high, 1 low)
  bool textColumn_ = false;  // typing goes to the text column
  QColor colour_{Qt::black};
  QLabel* caption_ = nullptr;
};

}  // namespace kestrel::ui
