#include "ui/HexView.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cstring>

namespace kestrel::ui {
namespace {

constexpr int kMargin = 4;
constexpr int kAddressChars = 7;  // five hex digits and two blanks: 256 KiB fits
// Sixteen pairs with a blank after each, one more blank between the two halves of a row.
constexpr int kHexChars = HexView::kBytesPerRow * 3 + 1;
constexpr int kRowChars = kAddressChars + kHexChars + 1 + HexView::kBytesPerRow;

constexpr char kDigits[] = "0123456789ABCDEF";

int HexDigitValue(const QString& text) {
  if (text.size() != 1) return -1;
  const QChar c = text.at(0);
  if (c >= u'0' && c <= u'9') return c.unicode() - u'0';
  if (c >= u'a' && c <= u'f') return c.unicode() - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c.unicode() - u'A' + 10;
  return -1;
}

QChar Printable(std::uint8_t byte) {
  return (byte >= 0x20 && byte < 0x7F) ? QChar(byte) : QChar(u'.');
}

}  // namespace

HexView::HexView(QWidget* parent) : QAbstractScrollArea(parent) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPointSize(9);
  setFont(font);
  setFocusPolicy(Qt::StrongFocus);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setAutoFillBackground(true);
  QPalette colours = viewport()->palette();
  colours.setColor(QPalette::Base, Qt::white);
  viewport()->setPalette(colours);
  viewport()->setBackgroundRole(QPalette::Base);
  UpdateScrollBars();
}

void HexView::SetData(const std::uint8_t* bytes, std::size_t length) {
  if (bytes == nullptr) length = 0;
  bytes_.assign(bytes, bytes + length);
  if (cursor_ >= bytes_.size() * 2) cursor_ = 0;
  UpdateScrollBars();
  viewport()->update();
}

void HexView::GetData(std::uint8_t* bytes, std::size_t length) const {
  if (bytes == nullptr) return;
  const std::size_t held = std::min(length, bytes_.size());
  if (held > 0) std::memcpy(bytes, bytes_.data(), held);
  if (length > held) std::memset(bytes + held, 0xFF, length - held);
}

void HexView::SetViewColour(const QColor& colour) {
  colour_ = colour;
  viewport()->update();
}

int HexView::RowCount() const {
  return static_cast<int>((bytes_.size() + kBytesPerRow - 1) / kBytesPerRow);
}

int HexView::CharWidth() const {
  return std::max(1, fontMetrics().horizontalAdvance(u'0'));
}

int HexView::LineHeight() const {
  return std::max(1, fontMetrics().height());
}

int HexView::VisibleRows() const {
  return std::max(1, viewport()->height() / LineHeight());
}

int HexView::HexColumnX(int byteInRow) const {
  const int chars = kAddressChars + byteInRow * 3 + (byteInRow >= kBytesPerRow / 2 ? 1 : 0);
  return kMargin + chars * CharWidth();
}

int HexView::TextColumnX() const {
  return kMargin + (kAddressChars + kHexChars + 1) * CharWidth();
}

void HexView::UpdateScrollBars() {
  QScrollBar* vertical = verticalScrollBar();
  vertical->setRange(0, std::max(0, RowCount() - VisibleRows()));
  vertical->setPageStep(VisibleRows());
  vertical->setSingleStep(1);
  const int contentWidth = 2 * kMargin + kRowChars * CharWidth();
  QScrollBar* horizontal = horizontalScrollBar();
  horizontal->setRange(0, std::max(0, contentWidth - viewport()->width()));
  horizontal->setPageStep(viewport()->width());
  horizontal->setSingleStep(CharWidth());
}

void HexView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.setFont(font());
  painter.translate(-horizontalScrollBar()->value(), 0);
  const int lineHeight = LineHeight();
  const int ascent = fontMetrics().ascent();
  const int charWidth = CharWidth();
  const int firstRow = verticalScrollBar()->value();
  const int lastRow = std::min(RowCount(), firstRow + VisibleRows() + 1);
  const std::size_t cursorByte = CursorByte();
  const QColor cursorFill = hasFocus() ? QColor(255, 226, 140) : QColor(225, 225, 225);
  const QColor addressColour(110, 110, 110);
  const QColor textColour(40, 40, 40);

  for (int row = firstRow; row < lastRow; ++row) {
    const int top = (row - firstRow) * lineHeight;
    const int baseline = top + ascent;
    const std::size_t rowStart = static_cast<std::size_t>(row) * kBytesPerRow;

    painter.setPen(addressColour);
    painter.drawText(kMargin, baseline, QString::number(rowStart, 16).toUpper().rightJustified(5, u'0'));

    const std::size_t rowEnd = std::min(bytes_.size(), rowStart + kBytesPerRow);
    for (std::size_t index = rowStart; index < rowEnd; ++index) {
      const int column = static_cast<int>(index - rowStart);
      const std::uint8_t byte = bytes_[index];
      const int x = HexColumnX(column);
      if (index == cursorByte) {
        const int nibbleX = x + (CursorOnLowNibble() ? charWidth : 0);
        painter.fillRect(nibbleX, top, charWidth, lineHeight, cursorFill);
        painter.fillRect(TextColumnX() + column * charWidth, top, charWidth, lineHeight, cursorFill);
      }
      const QChar pair[2] = {QChar(kDigits[byte >> 4]), QChar(kDigits[byte & 0x0F])};
      painter.setPen(colour_);
      painter.drawText(x, baseline, QString(pair, 2));
      painter.setPen(textColour);
      painter.drawText(TextColumnX() + column * charWidth, baseline, QString(Printable(byte)));
    }
  }
}

void HexView::MoveCursorTo(long long nibble) {
  const long long last = static_cast<long long>(bytes_.size()) * 2 - 1;
  if (last < 0) return;
  cursor_ = static_cast<std::size_t>(std::clamp(nibble, 0LL, last));
  EnsureCursorVisible();
  viewport()->update();
}

void HexView::OverwriteNibble(int value) {
  if (bytes_.empty()) return;
  std::uint8_t& byte = bytes_[CursorByte()];
  byte = CursorOnLowNibble() ? static_cast<std::uint8_t>((byte & 0xF0) | value)
                             : static_cast<std::uint8_t>((byte & 0x0F) | (value << 4));
  MoveCursorTo(static_cast<long long>(cursor_) + 1);
  viewport()->update();
}

void HexView::EnsureCursorVisible() {
  const int row = static_cast<int>(CursorByte() / kBytesPerRow);
  QScrollBar* vertical = verticalScrollBar();
  if (row < vertical->value())
    vertical->setValue(row);
  else if (row >= vertical->value() + VisibleRows())
    vertical->setValue(row - VisibleRows() + 1);
}

void HexView::keyPressEvent(QKeyEvent* event) {
  const long long here = static_cast<long long>(cursor_);
  const long long rowNibbles = kBytesPerRow * 2;
  const long long pageNibbles = rowNibbles * VisibleRows();
  const bool control = event->modifiers() & Qt::ControlModifier;
  switch (event->key()) {
    case Qt::Key_Left:
      MoveCursorTo(here - 1);
      return;
    case Qt::Key_Right:
      MoveCursorTo(here + 1);
      return;
    case Qt::Key_Up:
      MoveCursorTo(here - rowNibbles);
      return;
    case Qt::Key_Down:
      MoveCursorTo(here + rowNibbles);
      return;
    case Qt::Key_PageUp:
      MoveCursorTo(here - pageNibbles);
      return;
    case Qt::Key_PageDown:
      MoveCursorTo(here + pageNibbles);
      return;
    case Qt::Key_Home:
      MoveCursorTo(control ? 0 : here - here % rowNibbles);
      return;
    case Qt::Key_End:
      MoveCursorTo(control ? static_cast<long long>(bytes_.size()) * 2 - 1
                           : here - here % rowNibbles + rowNibbles - 1);
      return;
    default:
      break;
  }
  const int digit =
      (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) ? -1 : HexDigitValue(event->text());
  if (digit >= 0) {
    OverwriteNibble(digit);
    return;
  }
  QAbstractScrollArea::keyPressEvent(event);
}

void HexView::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  const int x = event->position().toPoint().x() + horizontalScrollBar()->value();
  const int row = verticalScrollBar()->value() + event->position().toPoint().y() / LineHeight();
  const int charWidth = CharWidth();
  for (int column = 0; column < kBytesPerRow; ++column) {
    const int left = HexColumnX(column);
    if (x >= left && x < left + 2 * charWidth) {
      MoveCursorTo((static_cast<long long>(row) * kBytesPerRow + column) * 2 + (x - left) / charWidth);
      return;
    }
    const int textLeft = TextColumnX() + column * charWidth;
    if (x >= textLeft && x < textLeft + charWidth) {
      MoveCursorTo((static_cast<long long>(row) * kBytesPerRow + column) * 2);
      return;
    }
  }
}

void HexView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void HexView::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  viewport()->update();
}

void HexView::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  viewport()->update();
}

}  // namespace kestrel::ui
