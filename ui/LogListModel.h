#pragma once

#include <QAbstractListModel>
#include <QPointer>
#include <QString>
#include <vector>

#include "control/ActivityLog.h"

class QListView;

namespace kestrel::ui {

// The lines of the log page. A verify report may add hundreds of thousands of lines in one
// go on the window thread, so new lines are kept at once but announced to the view, and the
// selection applied, only once per event-loop turn (or on Flush).
class LogListModel : public QAbstractListModel, public control::LogListPort {
  Q_OBJECT

 public:
  explicit LogListModel(QObject* parent = nullptr);

  // The view whose selection follows SelectLine.
  void AttachView(QListView* view);

  void InsertLine(int index, const std::string& text) override;
  void SelectLine(int index) override;
  void ResetLines() override;
  // Shown in red.
  void MarkFailureLine(int index) override;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  // Every line written, announced or not.
  const std::vector<QString>& Lines() const { return lines_; }
  // Announces the waiting lines and applies the waiting selection now.
  void Flush();

 private:
  void ScheduleFlush();

  std::vector<QString> lines_;
  std::vector<bool> failed_;  // beside lines_
  int announced_ = 0;         // rows the view knows of
  int pendingSelect_ = -1;    // line to select at the next flush
  bool flushScheduled_ = false;
  QPointer<QListView> view_;
};

}  // namespace kestrel::ui
