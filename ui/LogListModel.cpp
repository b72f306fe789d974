#include "ui/LogListModel.h"

#include <QListView>
#include <QTimer>
#include <algorithm>

#include "ui/DialogColours.h"

namespace kestrel::ui {

LogListModel::LogListModel(QObject* parent) : QAbstractListModel(parent) {}

void LogListModel::AttachView(QListView* view) {
  view_ = view;
  view->setModel(this);
}

void LogListModel::InsertLine(int index, const std::string& text) {
  const int count = static_cast<int>(lines_.size());
  QString line = QString::fromStdString(text);
  if (index < 0 || index >= count) {
    lines_.push_back(std::move(line));
    failed_.push_back(false);
    ScheduleFlush();
    return;
  }
  // A line in the middle: the view must learn of it in place, so bring it up to date first.
  Flush();
  beginInsertRows(QModelIndex(), index, index);
  lines_.insert(lines_.begin() + index, std::move(line));
  failed_.insert(failed_.begin() + index, false);
  ++announced_;
  endInsertRows();
}

void LogListModel::SelectLine(int index) {
  pendingSelect_ = index;
  ScheduleFlush();
}

void LogListModel::ResetLines() {
  beginResetModel();
  lines_.clear();
  failed_.clear();
  announced_ = 0;
  pendingSelect_ = -1;
  endResetModel();
}

void LogListModel::MarkFailureLine(int index) {
  if (index < 0 || index >= static_cast<int>(failed_.size())) return;
  failed_[static_cast<std::size_t>(index)] = true;
  if (index < announced_) emit dataChanged(this->index(index), this->index(index), {Qt::ForegroundRole});
}

int LogListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : announced_;
}

QVariant LogListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= announced_) return {};
  const auto row = static_cast<std::size_t>(index.row());
  if (role == Qt::ForegroundRole) return failed_[row] ? QVariant(kFailureLineColour) : QVariant();
  // The whole line as its tip too: a line wider than the page is cut with "…". A tip costs
  // nothing until it is shown, where wrapping would measure every line.
  return role == Qt::DisplayRole || role == Qt::ToolTipRole ? QVariant(lines_[row]) : QVariant();
}

void LogListModel::ScheduleFlush() {
  if (flushScheduled_) return;
  flushScheduled_ = true;
  QTimer::singleShot(0, this, [this] { Flush(); });
}

void LogListModel::Flush() {
  flushScheduled_ = false;
  const int count = static_cast<int>(lines_.size());
  if (count > announced_) {
    beginInsertRows(QModelIndex(), announced_, count - 1);
    announced_ = count;
    endInsertRows();
  }
  if (pendingSelect_ >= 0 && pendingSelect_ < announced_ && view_) {
    const QModelIndex selected = index(pendingSelect_);
    view_->setCurrentIndex(selected);
    view_->scrollTo(selected);
  }
  pendingSelect_ = -1;
}

}  // namespace kestrel::ui
