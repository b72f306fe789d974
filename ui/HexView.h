#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <cstdint>
#include <vector>

#include "control/FrontEndPorts.h"

namespace kestrel::ui {

// A hex editor for one memory: 16 bytes a row addressed from 0, hex pairs and a text column.
// It holds its own copy of the bytes; the keyboard overwrites them nibble by nibble (never
// inserts or deletes). Only the visible rows are painted, so large memories stay cheap.
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

  std::size_t Length() const { return bytes_.size(); }
  std::size_t CursorByte() const { return cursor_ / 2; }
  bool CursorOnLowNibble() const { return cursor_ % 2 != 0; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  int RowCount() const;
  int VisibleRows() const;
  int CharWidth() const;
  int LineHeight() const;
  int HexColumnX(int byteInRow) const;  // left edge of a byte's pair, in viewport pixels
  int TextColumnX() const;
  void MoveCursorTo(long long nibble);
  void OverwriteNibble(int value);
  void EnsureCursorVisible();
  void UpdateScrollBars();

  std::vector<std::uint8_t> bytes_;
  std::size_t cursor_ = 0;  // nibble index: byte * 2 + (0 high, 1 low)
  QColor colour_{Qt::black};
};

}  // namespace kestrel::ui
