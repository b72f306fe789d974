#pragma once

#include <QElapsedTimer>
#include <QFrame>
#include <QString>
#include <QWidget>
#include <map>
#include <optional>
#include <vector>

#include "production/ProductionDatabase.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QVBoxLayout;

namespace kestrel::ui {

// The big state of one programmer on the production page.
enum class TileState { Idle, Waiting, Programming, Pass, Fail, WrongChip, DatabaseUnreachable };

// One programmer's tile: its address, its state in large letters (with the progress while it
// programs, the cause under FAIL), its last result in green or red, and its own Stop.
class ProgrammerTile : public QFrame {
  Q_OBJECT

 public:
  ProgrammerTile(const QString& address, QWidget* parent);

  // `detail`: the serial while programming, the cause of a FAIL or a wrong chip.
  void Show(TileState state, const QString& detail = {});
  void ShowProgress(int percent);
  void SetRunning(bool running);  // its Stop is enabled only while its station runs
  TileState state() const { return state_; }
  QString stateText() const;

 signals:
  void stopPressed();
  void stateShown(kestrel::ui::TileState state);

 private:
  TileState state_ = TileState::Idle;
  QLabel* state_label_ = nullptr;
  QLabel* detail_ = nullptr;
  QLabel* last_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* stop_ = nullptr;
};

// The production page: the job, Start and Stop for every programmer, a tile per programmer,
// the counters over all of them, the database and whether it answers, and the last chips it
// recorded. The page runs nothing itself: its buttons become signals, and whoever runs the
// stations tells it what happens through the Show calls, on the GUI thread.
class ProductionPage : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kRecentChips = 20;

  explicit ProductionPage(QWidget* parent = nullptr);

  // The job loaded from `path` (its name), or none (empty name): Start needs one.
  void SetJob(const QString& name, const QString& path);
  // Whether the database answered when last asked; nothing before it is first asked.
  void SetDatabase(const QString& target, std::optional<bool> reachable);
  // One tile per programmer address, in this order; the counters start again.
  void SetProgrammers(const QStringList& addresses);
  // Production runs on some programmer: Start and the job button wait, Stop acts.
  void SetRunning(bool running);
  bool running() const { return running_; }

  void ShowWaiting(const QString& address);
  void ShowProgramming(const QString& address, const QString& serial);
  void ShowProgress(const QString& address, int percent);
  // A chip's row is recorded: the tile shows its result and the counters count it.
  void ShowChipEnded(const QString& address, production::ChipResult result, const QString& cause);
  void ShowDatabaseUnreachable(const QString& address);
  void ShowStationEnded(const QString& address);
  void ShowNextSerial(const QString& serial);
  // The chips the database holds, oldest first: the last kRecentChips of them are listed.
  void ShowRecentChips(const std::vector<production::ChipRecord>& chips);

  ProgrammerTile* Tile(const QString& address) const;
  QString CountersText() const;

 signals:
  void openJobPressed();
  void startPressed();
  void stopPressed();
  void stopOnePressed(const QString& address);
  void exportPressed();
  // Each state a tile shows, in order, however quickly the next follows.
  void tileStateShown(const QString& address, kestrel::ui::TileState state);

 private:
  void ShowCounters();

  QLabel* job_ = nullptr;
  QLabel* database_ = nullptr;
  QPushButton* open_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* stop_ = nullptr;
  QVBoxLayout* tilesLayout_ = nullptr;
  QWidget* tilesBox_ = nullptr;
  std::map<QString, ProgrammerTile*> tiles_;
  QLabel* counters_ = nullptr;
  QTableWidget* chips_ = nullptr;
  bool hasJob_ = false;
  bool running_ = false;
  int passed_ = 0;
  int failed_ = 0;
  int wrongChips_ = 0;
  QString nextSerial_;
  QElapsedTimer clock_;  // since Start, for the chips per hour
};

}  // namespace kestrel::ui
