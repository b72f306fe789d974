#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <string>

#include "base/TonePlayer.h"
#include "chips/ChipBooks.h"
#include "device/UsbBus.h"
#include "production/Job.h"
#include "production/ProductionDatabase.h"
#include "production/Station.h"

namespace kestrel::ui {

class LogListModel;
class ProductionPage;

// The production page's runs: the job opened, the database, and one Station per programmer.
// Stations tell what happens on their own threads; each event crosses to the window's thread
// as a queued call before it reaches the page or the log. Of a station's log only the lines of
// a chip being programmed reach the window's log: the signature polls of an empty socket,
// five a second per programmer, would bury everything else.
class ProductionRun : public QObject, private production::StationObserver {
  Q_OBJECT

 public:
  // `database`: a SQLite file or a PostgreSQL connection string (production::OpenStore).
  ProductionRun(ProductionPage& page, LogListModel& log, device::UsbBus& bus, TonePlayer& tones,
                std::string database, QObject* parent = nullptr);
  ~ProductionRun() override;  // stops the stations, the chip in each socket after its page

  // Loads the job at `path`; the refusal naming the key and the reason, or empty.
  QString OpenJob(const QString& path, const chips::ChipFactsTable& facts);
  // Connects to the database (again) and shows whether it answers; false and the reason when not.
  bool ConnectDatabase(QString& error);
  // One station per address; false (and why) when there is no job or the database refuses it.
  bool Start(const QStringList& addresses, const chips::ChipBooks& books, QString& error);
  void StopAll();
  void Stop(const QString& address);
  bool Running() const { return !stations_.empty(); }
  // The job's chips recorded, as CSV; false and why when the database cannot list them.
  bool ExportCsv(const QString& path, QString& error);

 signals:
  void runningChanged(bool running);

 private:
  // StationObserver, on the stations' threads.
  void Waiting(const std::string& address) override;
  void Programming(const std::string& address, const std::string& serial) override;
  void Progress(const std::string& address, const control::RunProgress& progress) override;
  void ChipEnded(const std::string& address, const production::ChipReport& report) override;
  void DatabaseUnreachable(const std::string& address) override;
  void LogLine(const std::string& address, const std::string& text) override;
  void Ended(const std::string& address, production::LoopEnd end, const production::LoopTotals& totals,
             const std::string& error) override;

  void AddLogLine(const QString& text, bool failure);
  void ShowChips();  // the recent chips and the next serial, from the database
  void ShowNextSerial();
  void StationEnded(const QString& address);

  ProductionPage& page_;
  LogListModel& log_;
  device::UsbBus& bus_;
  TonePlayer& tones_;
  std::string database_;
  std::unique_ptr<production::Job> job_;
  std::unique_ptr<production::ProductionStore> store_;
  std::int64_t jobId_ = 0;
  std::map<QString, bool> programming_;  // on the window's thread: whose chip is under way
  std::map<QString, std::unique_ptr<production::Station>> stations_;  // last: they use the rest
};

}  // namespace kestrel::ui
