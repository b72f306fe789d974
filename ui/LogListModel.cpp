#include "ui/LogListModel.h"

#include <QListView>
#include <QTimer>
#include <algorithm>

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
    ScheduleFlush();
    return;
  }
  // A line in the middle: the view must learn of it in place, so bring it up to date first.
  Flush();
  beginInsertRows(QModelIndex(), index, index);
  lines_.insert(lines_.begin() + index, std::move(line));
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
  announced_ = 0;
  pendingSelect_ = -1;
  endResetModel();
}

int LogListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : announced_;
}

QVariant LogListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= announced_ || role != Qt::DisplayRole) return {};
  return lines_[static_cast<std::size_t>(index.row())];
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
