#include "ui/HexView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QUrl>
#include <algorithm>

#include "base/Bytes.h"
#include "ui/Captions.h"
#include "ui/DialogColours.h"
#include "ui/Translation.h"

namespace kestrel::ui {
namespace {

constexpr int kMargin = 4;
constexpr int kAddressChars = 7;  // five hex digits and two blanks: 256 KiB fits
// Sixteen pairs with a blank after each, one more blank between the two halves of a row.
constexpr int kHexChars = HexView::kBytesPerRow * 3 + 1;
constexpr int kRowChars = kAddressChars + kHexChars + 1 + HexView::kBytesPerRow;

constexpr char kDigits[] = "0123456789ABCDEF";

QChar Printable(std::uint8_t byte) {
  return (byte >= 0x20 && byte < 0x7F) ? QChar(byte) : QChar(u'.');
}

// The local file a drag carries, or an empty string.
QString DroppedFile(const QMimeData* mime) {
  // urls() builds a new list at each call; it is kept here, so that the URL read from it lives
  // as long as it is used (a platform's drag data may hold no other copy).
  const QList<QUrl> urls = mime != nullptr ? mime->urls() : QList<QUrl>();
  return !urls.isEmpty() && urls.constFirst().isLocalFile() ? urls.constFirst().toLocalFile() : QString();
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
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setToolTip(Tr(captions::kHexViewTip));
  caption_ = new QLabel(this);
  caption_->setObjectName(QStringLiteral("hexCaption"));
  caption_->setTextFormat(Qt::PlainText);
  caption_->setContentsMargins(kMargin, 1, kMargin, 1);
  setViewportMargins(0, caption_->sizeHint().height(), 0, 0);
  UpdateScrollBars();
}

void HexView::SetCaption(const QString& text) {
  captionText_ = text;
  const std::size_t count = EditedCount();
  caption_->setText(count == 0 ? text : text + Tr(captions::kEditedCaptionPattern).arg(count));
}

QString HexView::Caption() const {
  return caption_->text();
}

void HexView::MoveTo(device::ChipBuffer& buffer, std::function<void(std::size_t)> edited) {
  keepEdits_ = true;
  Show(buffer, length(), std::move(edited));
  keepEdits_ = false;
}

std::size_t HexView::EditedCount() const {
  return static_cast<std::size_t>(std::ranges::count_if(
      originals_, [this](const auto& entry) { return entry.second != At(entry.first); }));
}

void HexView::Redraw() {
  if (keepEdits_) return viewport()->update();
  originals_.clear();
  undo_.clear();
  redo_.clear();
  unsaved_ = false;
  SetCaption(captionText_);
  if (cursor_ >= length() * 2) cursor_ = 0;
  UpdateScrollBars();
  viewport()->update();
}

bool HexView::IsEdited(std::size_t index) const {
  const auto original = originals_.find(index);
  return original != originals_.end() && original->second != At(index);
}

void HexView::SetViewColour(const QColor& colour) {
  colour_ = colour;
  viewport()->update();
}

int HexView::RowCount() const {
  return static_cast<int>((length() + kBytesPerRow - 1) / kBytesPerRow);
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

    const std::size_t rowEnd = std::min(length(), rowStart + kBytesPerRow);
    for (std::size_t index = rowStart; index < rowEnd; ++index) {
      const int column = static_cast<int>(index - rowStart);
      const std::uint8_t byte = At(index);
      const int x = HexColumnX(column);
      const bool edited = IsEdited(index);
      if (edited) painter.fillRect(x, top, 2 * charWidth, lineHeight, kEditedByteFill);
      if (index == cursorByte) {
        // The column that takes the keys gets the whole cell, the other a nibble's or a character's.
        const int nibbleX = x + (CursorOnLowNibble() && !textColumn_ ? charWidth : 0);
        painter.fillRect(nibbleX, top, textColumn_ ? charWidth / 2 : charWidth, lineHeight, cursorFill);
        painter.fillRect(TextColumnX() + column * charWidth, top, charWidth, lineHeight, cursorFill);
      }
      const QChar pair[2] = {QChar(kDigits[byte >> 4]), QChar(kDigits[byte & 0x0F])};
      painter.setPen(edited ? kEditedByteColour : colour_);
      painter.drawText(x, baseline, QString(pair, 2));
      painter.setPen(edited ? kEditedByteColour : textColour);
      painter.drawText(TextColumnX() + column * charWidth, baseline, QString(Printable(byte)));
    }
  }
}

void HexView::MoveCursorTo(long long nibble) {
  const long long last = static_cast<long long>(length()) * 2 - 1;
  if (last < 0) return;
  cursor_ = static_cast<std::size_t>(std::clamp(nibble, 0LL, last));
  EnsureCursorVisible();
  viewport()->update();
}

void HexView::OverwriteNibble(int value) {
  if (length() == 0 || locked_) return;
  const std::uint8_t byte = At(CursorByte());
  Overwrite(CursorByte(), CursorOnLowNibble() ? static_cast<std::uint8_t>((byte & 0xF0) | value)
                                              : static_cast<std::uint8_t>((byte & 0x0F) | (value << 4)));
  MoveCursorTo(static_cast<long long>(cursor_) + 1);
}

void HexView::OverwriteByte(std::uint8_t value) {
  if (length() == 0 || locked_) return;
  Overwrite(CursorByte(), value);
  MoveCursorTo(static_cast<long long>(CursorByte()) * 2 + 2);
}

void HexView::Overwrite(std::size_t index, std::uint8_t value) {
  undo_.push_back({index, At(index), cursor_});
  redo_.clear();
  originals_.try_emplace(index, At(index));
  Edit(index, value);
  Changed();
}

void HexView::Changed() {
  unsaved_ = true;
  SetCaption(captionText_);
  viewport()->update();
  emit edited();
}

void HexView::Undo() {
  if (undo_.empty() || locked_) return;
  const UndoStep step = undo_.back();
  undo_.pop_back();
  redo_.push_back({step.index, At(step.index), step.cursor});
  Edit(step.index, step.before);
  MoveCursorTo(static_cast<long long>(step.cursor));
  Changed();
}

void HexView::Redo() {
  if (redo_.empty() || locked_) return;
  const UndoStep step = redo_.back();
  redo_.pop_back();
  undo_.push_back({step.index, At(step.index), step.cursor});
  Edit(step.index, step.before);
  MoveCursorTo(static_cast<long long>(step.cursor));
  Changed();
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
    case Qt::Key_Left:  // by a byte in the text column
      MoveCursorTo(textColumn_ ? (here / 2 - 1) * 2 : here - 1);
      return;
    case Qt::Key_Right:
      MoveCursorTo(textColumn_ ? (here / 2 + 1) * 2 : here + 1);
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
      MoveCursorTo(control ? static_cast<long long>(length()) * 2 - 1
                           : here - here % rowNibbles + rowNibbles - 1);
      return;
    default:
      break;
  }
  if (event->matches(QKeySequence::Undo)) return Undo();
  // Both of the usual keys, whichever the desktop's own is.
  const QKeyCombination keys = event->keyCombination();
  if (event->matches(QKeySequence::Redo) || keys == QKeyCombination(Qt::CTRL | Qt::SHIFT, Qt::Key_Z) ||
      keys == QKeyCombination(Qt::CTRL, Qt::Key_Y))
    return Redo();
  const bool typed =
      !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && event->text().size() == 1;
  const QChar character = typed ? event->text().at(0) : QChar();
  if (textColumn_ && typed && character.unicode() >= 0x20 && character.unicode() < 0x7F) {
    return OverwriteByte(static_cast<std::uint8_t>(character.unicode()));
  }
  // A character beyond Latin-1 reads as 0, which is no digit either.
  const int digit = textColumn_ ? -1 : HexDigitValue(character.toLatin1());
  if (digit >= 0) return OverwriteNibble(digit);
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
      textColumn_ = false;
      MoveCursorTo((static_cast<long long>(row) * kBytesPerRow + column) * 2 + (x - left) / charWidth);
      return;
    }
    const int textLeft = TextColumnX() + column * charWidth;
    if (x >= textLeft && x < textLeft + charWidth) {
      textColumn_ = true;
      MoveCursorTo((static_cast<long long>(row) * kBytesPerRow + column) * 2);
      return;
    }
  }
}

QPoint HexView::CellCentre(std::size_t index, bool textColumn) const {
  const int column = static_cast<int>(index % kBytesPerRow);
  const int row = static_cast<int>(index / kBytesPerRow) - verticalScrollBar()->value();
  const int x = (textColumn ? TextColumnX() + column * CharWidth() : HexColumnX(column)) + CharWidth() / 2;
  return {x - horizontalScrollBar()->value(), row * LineHeight() + LineHeight() / 2};
}

void HexView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  const int frame = frameWidth();
  caption_->setGeometry(frame, frame, width() - 2 * frame, viewport()->y() - frame);
  UpdateScrollBars();
}

void HexView::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void HexView::dragMoveEvent(QDragMoveEvent* event) {
  if (!DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void HexView::dropEvent(QDropEvent* event) {
  const QString path = DroppedFile(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  emit fileDropped(path);
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
