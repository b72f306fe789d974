#include "ui/ProductionRun.h"

#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <charconv>
#include <optional>
#include <set>

#include "ui/Captions.h"
#include "ui/LogListModel.h"
#include "ui/ProductionPage.h"
#include "ui/Translation.h"

namespace kestrel::ui {
namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

ProductionRun::ProductionRun(ProductionPage& page, LogListModel& log, device::UsbBus& bus, TonePlayer& tones,
                             std::string database, QObject* parent)
    : QObject(parent), page_(page), log_(log), bus_(bus), tones_(tones), database_(std::move(database)) {
  page_.SetDatabase(Q(database_), std::nullopt);  // opened with the first job, not before
}

ProductionRun::~ProductionRun() {
  for (auto& [address, station] : stations_) {
    station->RequestStop();
    station->RequestStop();
  }
  stations_.clear();
}

QString ProductionRun::OpenJob(const QString& path, const chips::ChipFactsTable& facts) {
  production::JobLoad load = production::LoadJob(path.toStdString(), facts);
  if (!load.job) return Q(load.refusal);
  job_ = std::make_unique<production::Job>(std::move(*load.job));
  page_.SetJob(Q(job_->name), path);
  QString error;
  if (ConnectDatabase(error)) ShowChips();
  return {};
}

bool ProductionRun::ConnectDatabase(QString& error) {
  if (!store_) {
    std::string reason;
    bool unreachable = false;
    store_ = production::OpenStore(database_, {production::HostName(), getpid()}, reason, &unreachable);
    error = Q(reason);
  }
  page_.SetDatabase(Q(database_), store_ != nullptr);
  return store_ != nullptr;
}

bool ProductionRun::Start(const QStringList& addresses, const chips::ChipBooks& books, QString& error) {
  if (!job_ || Running() || addresses.isEmpty()) return false;
  if (!ConnectDatabase(error)) return false;
  production::JobVersion version;
  if (!store_->RegisterJob(*job_, version)) {
    error = Q(store_->Error());
    page_.SetDatabase(Q(database_), !store_->Unreachable());
    return false;
  }
  jobId_ = version.id;
  page_.SetProgrammers(addresses);
  page_.SetRunning(true);
  programming_.clear();
  const std::string station = production::HostName();
  for (const QString& address : addresses) {
    production::StationSettings settings;
    settings.address = address.toStdString();
    settings.loop.station = station;
    settings.tones = &tones_;
    production::StationObserver& observer = *this;
    auto made =
        std::make_unique<production::Station>(*job_, jobId_, *store_, bus_, books, settings, observer);
    stations_[address] = std::move(made);
  }
  for (auto& [address, station] : stations_) station->Start();
  emit runningChanged(true);
  return true;
}

void ProductionRun::StopAll() {
  for (auto& [address, station] : stations_) station->RequestStop();
}

void ProductionRun::Stop(const QString& address) {
  if (const auto found = stations_.find(address); found != stations_.end()) found->second->RequestStop();
}

bool ProductionRun::ExportCsv(const QString& path, QString& error) {
  std::vector<production::ChipRecord> chips;
  production::ReportFilter filter;
  if (job_) filter.job = job_->name;
  if (!ConnectDatabase(error)) return false;
  if (!store_->Chips(filter, chips)) {
    error = Q(store_->Error());
    return false;
  }
  QFile file(path);
  const std::string text = production::ChipsCsv(chips);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
      file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
      !file.flush()) {
    error = file.errorString();
    return false;
  }
  return true;
}

// The observer's calls come on the stations' threads: each becomes a call queued to this
// object's thread, the window's, with copies of what it tells.

void ProductionRun::Waiting(const std::string& address) {
  QMetaObject::invokeMethod(
      this,
      [this, a = Q(address)] {
        programming_[a] = false;
        page_.ShowWaiting(a);
      },
      Qt::QueuedConnection);
}

void ProductionRun::Programming(const std::string& address, const std::string& serial) {
  QMetaObject::invokeMethod(
      this,
      [this, a = Q(address), s = Q(serial)] {
        programming_[a] = true;
        page_.ShowProgramming(a, s);
        page_.SetDatabase(Q(database_), true);  // it has just given the chip its serial
        ShowNextSerial();
      },
      Qt::QueuedConnection);
}

void ProductionRun::Progress(const std::string& address, const control::RunProgress& progress) {
  const int percent = progress.position;
  QMetaObject::invokeMethod(
      this, [this, a = Q(address), percent] { page_.ShowProgress(a, percent); }, Qt::QueuedConnection);
}

void ProductionRun::ChipEnded(const std::string& address, const production::ChipReport& report) {
  const QString cause = report.result == production::ChipResult::Pass ? QString()
                        : report.result == production::ChipResult::WrongChip
                            ? QStringLiteral("%1 %2 %3")
                                  .arg(report.signature[0], 2, 16, QLatin1Char('0'))
                                  .arg(report.signature[1], 2, 16, QLatin1Char('0'))
                                  .arg(report.signature[2], 2, 16, QLatin1Char('0'))
                                  .toUpper()
                            : Q(production::CauseWords(report));
  QMetaObject::invokeMethod(
      this,
      [this, a = Q(address), result = report.result, cause, number = report.number,
       serial = Q(report.serial)] {
        programming_[a] = false;
        page_.ShowChipEnded(a, result, cause);
        QString line =
            QStringLiteral("[%1] chip %2 %3").arg(a).arg(number).arg(production::ChipResultName(result));
        if (!serial.isEmpty()) line += QStringLiteral(" serial ") + serial;
        if (!cause.isEmpty()) line += QStringLiteral(" ") + cause;
        AddLogLine(line, result != production::ChipResult::Pass);
        ShowChips();
      },
      Qt::QueuedConnection);
}

void ProductionRun::DatabaseUnreachable(const std::string& address) {
  QMetaObject::invokeMethod(
      this,
      [this, a = Q(address)] {
        page_.ShowDatabaseUnreachable(a);
        page_.SetDatabase(Q(database_), false);
      },
      Qt::QueuedConnection);
}

void ProductionRun::LogLine(const std::string& address, const std::string& text) {
  QMetaObject::invokeMethod(
      this,
      [this, a = Q(address), t = Q(text)] {
        if (programming_[a]) AddLogLine(QStringLiteral("[%1] %2").arg(a, t), false);
      },
      Qt::QueuedConnection);
}

void ProductionRun::Ended(const std::string& address, production::LoopEnd end,
                          const production::LoopTotals& totals, const std::string& error) {
  QString line = QStringLiteral("[%1] %2 passed, %3 failed, %4 wrong")
                     .arg(Q(address))
                     .arg(totals.passed)
                     .arg(totals.failed)
                     .arg(totals.wrongChips);
  if (!error.empty()) line += QStringLiteral(": ") + Q(error);
  const bool failure =
      end == production::LoopEnd::StoreFailed || end == production::LoopEnd::ProgrammerFailed;
  QMetaObject::invokeMethod(
      this,
      [this, a = Q(address), line, failure] {
        AddLogLine(line, failure);
        StationEnded(a);
      },
      Qt::QueuedConnection);
}

void ProductionRun::StationEnded(const QString& address) {
  programming_[address] = false;
  page_.ShowStationEnded(address);
  for (const auto& [each, station] : stations_)
    if (!station->Finished()) return;
  stations_.clear();  // each has ended: this joins them
  page_.SetRunning(false);
  ShowChips();
  emit runningChanged(false);
}

void ProductionRun::AddLogLine(const QString& text, bool failure) {
  const int index = static_cast<int>(log_.Lines().size());
  log_.InsertLine(index, text.toStdString());
  if (failure) log_.MarkFailureLine(index);
  log_.SelectLine(index);
}

void ProductionRun::ShowChips() {
  if (!store_ || !job_) return;
  production::ReportFilter filter;
  filter.job = job_->name;
  std::vector<production::ChipRecord> chips;
  if (store_->Chips(filter, chips)) page_.ShowRecentChips(chips);
  ShowNextSerial();
}

void ProductionRun::ShowNextSerial() {
  if (!store_ || !job_) return;
  std::vector<production::ProductionStore::SerialRow> serials;
  if (!job_->serial || !store_->Serials(job_->name, serials)) return;
  const production::SerialPlan& plan = *job_->serial;
  QString next;
  if (plan.source == production::SerialSource::Sequence) {
    // As the store picks it: on after the highest number the job's name was given, when that
    // is not below this version's start. An earlier version of the job may have given list or
    // random values, hex bytes, under the same name: they are no numbers of the sequence.
    std::optional<std::uint64_t> highest;
    for (const production::ProductionStore::SerialRow& row : serials) {
      std::uint64_t number = 0;
      const char* const end = row.value.data() + row.value.size();
      if (const auto [stop, error] = std::from_chars(row.value.data(), end, number);
          error == std::errc() && stop == end)
        highest = std::max(highest.value_or(0), number);
    }
    std::optional<std::uint64_t> number = plan.start;
    if (highest && *highest >= plan.start)
      number = *highest <= plan.LastNumber() && plan.LastNumber() - *highest >= plan.step
                   ? std::optional(*highest + plan.step)
                   : std::nullopt;
    if (number && *number <= plan.LastNumber()) next = QString::number(*number);
  } else if (plan.source == production::SerialSource::List) {
    // The first value of the list not given yet, as the store picks it: the values an earlier
    // version gave under the same name need not be the first ones of this list.
    std::set<std::string> given;
    for (const production::ProductionStore::SerialRow& row : serials) given.insert(row.value);
    const auto first = std::ranges::find_if(
        plan.list, [&given](const production::SerialValue& value) { return !given.contains(value.text); });
    if (first != plan.list.end()) next = Q(first->text);
  }
  page_.ShowNextSerial(next);
}

}  // namespace kestrel::ui
