#include "ui/ProductionPage.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "production/ProductionLoop.h"
#include "ui/Captions.h"
#include "ui/DialogColours.h"
#include "ui/Translation.h"

namespace kestrel::ui {
namespace {

QString Coloured(const QString& text, const QColor& colour) {
  return QStringLiteral("<span style=\"color:%1\">%2</span>").arg(colour.name(), text.toHtmlEscaped());
}

QColor StateColour(TileState state) {
  switch (state) {
    case TileState::Pass:
      return kPassedColour;
    case TileState::Fail:
    case TileState::WrongChip:
    case TileState::DatabaseUnreachable:
      return kFailedColour;
    case TileState::Programming:
      return kFlashViewColour;
    case TileState::Idle:
    case TileState::Waiting:
      break;
  }
  return QColor(80, 80, 80);
}

const char* StateCaption(TileState state) {
  switch (state) {
    case TileState::Idle:
      return captions::kIdleState;
    case TileState::Waiting:
      return captions::kWaitingState;
    case TileState::Programming:
      return captions::kProgrammingState;
    case TileState::Pass:
      return captions::kPassState;
    case TileState::Fail:
      return captions::kFailState;
    case TileState::WrongChip:
      return captions::kWrongChipState;
    case TileState::DatabaseUnreachable:
      return captions::kDatabaseUnreachable;
  }
  return captions::kIdleState;
}

QPushButton* Button(const char* caption, const char* name, const QString& tip, QWidget* parent) {
  auto* button = new QPushButton(Tr(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setToolTip(tip);
  return button;
}

}  // namespace

ProgrammerTile::ProgrammerTile(const QString& address, QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("tile_") + address);
  setFrameShape(QFrame::StyledPanel);
  auto* layout = new QHBoxLayout(this);
  auto* addressLabel = new QLabel(address, this);
  QFont mono = addressLabel->font();
  mono.setFamily(QStringLiteral("monospace"));
  mono.setBold(true);
  addressLabel->setFont(mono);
  layout->addWidget(addressLabel);

  auto* middle = new QVBoxLayout;
  state_label_ = new QLabel(this);
  state_label_->setObjectName(QStringLiteral("tileState"));
  QFont big = state_label_->font();
  big.setPointSizeF(big.pointSizeF() * 1.8);
  big.setBold(true);
  state_label_->setFont(big);
  middle->addWidget(state_label_);
  detail_ = new QLabel(this);
  detail_->setObjectName(QStringLiteral("tileDetail"));
  middle->addWidget(detail_);
  progress_ = new QProgressBar(this);
  progress_->setRange(0, 100);
  progress_->setTextVisible(true);
  middle->addWidget(progress_);
  layout->addLayout(middle, 1);

  auto* right = new QVBoxLayout;
  last_ = new QLabel(this);
  last_->setObjectName(QStringLiteral("tileLast"));
  right->addWidget(last_);
  stop_ = Button(captions::kStopButton, "tileStop", Tr(captions::kTileStopTipPattern).arg(address), this);
  stop_->setEnabled(false);
  connect(stop_, &QPushButton::clicked, this, &ProgrammerTile::stopPressed);
  right->addWidget(stop_);
  layout->addLayout(right);
  Show(TileState::Idle);
}

QString ProgrammerTile::stateText() const {
  return Tr(StateCaption(state_));
}

void ProgrammerTile::Show(TileState state, const QString& detail) {
  state_ = state;
  state_label_->setText(Coloured(stateText(), StateColour(state)));
  detail_->setText(detail);
  progress_->setVisible(state == TileState::Programming);
  if (state == TileState::Programming) progress_->setValue(0);
  // The last result stays beside the tile's state until the next chip ends.
  if (state == TileState::Pass || state == TileState::Fail || state == TileState::WrongChip) {
    const QString result = detail.isEmpty() ? stateText() : stateText() + QStringLiteral(" ") + detail;
    last_->setText(Coloured(Tr(captions::kLastResultPattern).arg(result), StateColour(state)));
  }
  emit stateShown(state);
}

void ProgrammerTile::ShowProgress(int percent) {
  progress_->setValue(std::clamp(percent, 0, 100));
}

void ProgrammerTile::SetRunning(bool running) {
  stop_->setEnabled(running);
}

ProductionPage::ProductionPage(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);

  auto* top = new QHBoxLayout;
  open_ = Button(captions::kOpenJobButton, "productionOpenJob", Tr(captions::kOpenJobTip), this);
  start_ = Button(captions::kStartButton, "productionStart", Tr(captions::kStartTip), this);
  stop_ = Button(captions::kStopButton, "productionStop", Tr(captions::kStopAllTip), this);
  job_ = new QLabel(Tr(captions::kNoJob), this);
  job_->setObjectName(QStringLiteral("productionJob"));
  top->addWidget(open_);
  top->addWidget(job_, 1);
  top->addWidget(start_);
  top->addWidget(stop_);
  layout->addLayout(top);
  connect(open_, &QPushButton::clicked, this, &ProductionPage::openJobPressed);
  connect(start_, &QPushButton::clicked, this, &ProductionPage::startPressed);
  connect(stop_, &QPushButton::clicked, this, &ProductionPage::stopPressed);

  database_ = new QLabel(this);
  database_->setObjectName(QStringLiteral("productionDatabase"));
  database_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(database_);

  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  tilesBox_ = new QWidget(scroll);
  tilesLayout_ = new QVBoxLayout(tilesBox_);
  tilesLayout_->setContentsMargins(0, 0, 0, 0);
  tilesLayout_->addStretch(1);
  scroll->setWidget(tilesBox_);
  layout->addWidget(scroll, 2);

  counters_ = new QLabel(this);
  counters_->setObjectName(QStringLiteral("productionCounters"));
  layout->addWidget(counters_);

  chips_ = new QTableWidget(0, 5, this);
  chips_->setObjectName(QStringLiteral("productionChips"));
  chips_->setHorizontalHeaderLabels({Tr(captions::kChipTimeColumn), Tr(captions::kChipProgrammerColumn),
                                     Tr(captions::kChipSerialColumn), Tr(captions::kChipResultColumn),
                                     Tr(captions::kChipCauseColumn)});
  for (int column = 0; column < 4; ++column)
    chips_->horizontalHeader()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  chips_->horizontalHeader()->setSectionResizeMode(4, QHeaderView::Stretch);
  chips_->verticalHeader()->hide();
  chips_->verticalHeader()->setDefaultSectionSize(chips_->fontMetrics().height() + 4);
  chips_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  chips_->setSelectionBehavior(QAbstractItemView::SelectRows);
  layout->addWidget(chips_, 3);

  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  QPushButton* exportCsv =
      Button(captions::kExportCsvButton, "productionExport", Tr(captions::kExportCsvTip), this);
  connect(exportCsv, &QPushButton::clicked, this, &ProductionPage::exportPressed);
  bottom->addWidget(exportCsv);
  layout->addLayout(bottom);

  SetRunning(false);
  ShowCounters();
}

void ProductionPage::SetJob(const QString& name, const QString& path) {
  hasJob_ = !name.isEmpty();
  job_->setText(hasJob_ ? Tr(captions::kJobPattern).arg(name) : Tr(captions::kNoJob));
  job_->setToolTip(path);
  SetRunning(running_);
}

void ProductionPage::SetDatabase(const QString& target, std::optional<bool> reachable) {
  QString state;
  if (reachable)
    state = *reachable ? Coloured(Tr(captions::kDatabaseReachable), kPassedColour)
                       : Coloured(Tr(captions::kDatabaseUnreachable), kFailedColour);
  database_->setText(Tr(captions::kDatabasePattern).arg(target.toHtmlEscaped(), state));
}

void ProductionPage::SetProgrammers(const QStringList& addresses) {
  for (auto& [address, tile] : tiles_) delete tile;
  tiles_.clear();
  for (const QString& address : addresses) {
    auto* tile = new ProgrammerTile(address, tilesBox_);
    connect(tile, &ProgrammerTile::stopPressed, this, [this, address] { emit stopOnePressed(address); });
    connect(tile, &ProgrammerTile::stateShown, this,
            [this, address](TileState state) { emit tileStateShown(address, state); });
    tilesLayout_->insertWidget(tilesLayout_->count() - 1, tile);
    tiles_[address] = tile;
  }
  passed_ = failed_ = wrongChips_ = 0;
  clock_.start();
  ShowCounters();
}

void ProductionPage::SetRunning(bool running) {
  running_ = running;
  open_->setEnabled(!running);
  start_->setEnabled(!running && hasJob_);
  stop_->setEnabled(running);
  for (auto& [address, tile] : tiles_) tile->SetRunning(running);
}

ProgrammerTile* ProductionPage::Tile(const QString& address) const {
  const auto found = tiles_.find(address);
  return found == tiles_.end() ? nullptr : found->second;
}

void ProductionPage::ShowWaiting(const QString& address) {
  if (ProgrammerTile* tile = Tile(address)) tile->Show(TileState::Waiting);
}

void ProductionPage::ShowProgramming(const QString& address, const QString& serial) {
  if (ProgrammerTile* tile = Tile(address))
    tile->Show(TileState::Programming,
               serial.isEmpty() ? QString() : Tr(captions::kSerialPattern).arg(serial));
}

void ProductionPage::ShowProgress(const QString& address, int percent) {
  if (ProgrammerTile* tile = Tile(address)) tile->ShowProgress(percent);
}

void ProductionPage::ShowChipEnded(const QString& address, production::ChipResult result,
                                   const QString& cause) {
  using production::ChipResult;
  TileState state = TileState::Fail;
  if (result == ChipResult::Pass) {
    state = TileState::Pass;
    ++passed_;
  } else if (result == ChipResult::WrongChip) {
    state = TileState::WrongChip;
    ++wrongChips_;
  } else {
    ++failed_;
  }
  if (ProgrammerTile* tile = Tile(address)) tile->Show(state, cause);
  ShowCounters();
}

void ProductionPage::ShowDatabaseUnreachable(const QString& address) {
  if (ProgrammerTile* tile = Tile(address)) tile->Show(TileState::DatabaseUnreachable);
}

void ProductionPage::ShowStationEnded(const QString& address) {
  ProgrammerTile* tile = Tile(address);
  if (tile == nullptr) return;
  tile->SetRunning(false);
  // A result stays; a station stopped while it waited is idle again.
  if (tile->state() == TileState::Waiting || tile->state() == TileState::Programming ||
      tile->state() == TileState::DatabaseUnreachable)
    tile->Show(TileState::Idle);
}

void ProductionPage::ShowNextSerial(const QString& serial) {
  nextSerial_ = serial;
  ShowCounters();
}

void ProductionPage::ShowRecentChips(const std::vector<production::ChipRecord>& chips) {
  const std::size_t shown = std::min<std::size_t>(chips.size(), kRecentChips);
  chips_->setRowCount(static_cast<int>(shown));
  // The newest first.
  for (std::size_t row = 0; row < shown; ++row) {
    const production::ChipRecord& chip = chips[chips.size() - 1 - row];
    const QString cells[] = {QString::fromStdString(chip.end), QString::fromStdString(chip.programmer),
                             QString::fromStdString(chip.serial),
                             QString::fromLatin1(production::ChipResultName(chip.result)),
                             QString::fromStdString(chip.cause)};
    for (int column = 0; column < 5; ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      if (column == 3)
        item->setForeground(chip.result == production::ChipResult::Pass ? kPassedColour : kFailedColour);
      chips_->setItem(static_cast<int>(row), column, item);
    }
  }
}

QString ProductionPage::CountersText() const {
  return counters_->text();
}

void ProductionPage::ShowCounters() {
  const production::LoopTotals totals{passed_, failed_, wrongChips_,
                                      clock_.isValid() ? clock_.elapsed() / 1000.0 : 0};
  counters_->setText(Tr(captions::kCountersPattern)
                         .arg(passed_)
                         .arg(failed_)
                         .arg(wrongChips_)
                         .arg(totals.Yield() * 100, 0, 'f', 1)
                         .arg(totals.ChipsPerHour(), 0, 'f', 0)
                         .arg(nextSerial_.isEmpty() ? QStringLiteral("—") : nextSerial_));
}

}  // namespace kestrel::ui
