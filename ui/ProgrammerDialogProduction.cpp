// The main window's side of the production page: the job and CSV dialogs, the stations'
// start, and the operation buttons that wait while production runs.
#include <QFileDialog>

#include "production/ProductionDatabase.h"
#include "ui/Captions.h"
#include "ui/ControlId.h"
#include "ui/FusePage.h"
#include "ui/ProductionPage.h"
#include "ui/ProductionRun.h"
#include "ui/ProgrammerDialog.h"
#include "ui/Translation.h"

namespace kestrel::ui {

void ProgrammerDialog::CreateProductionPage() {
  productionPage_ = new ProductionPage(this);
  productionPage_->setObjectName(QStringLiteral("productionPage"));
  productionPage_->hide();  // until it becomes a page
  connect(productionPage_, &ProductionPage::openJobPressed, this, [this] {
    QFileDialog dialog(this, Tr(captions::kOpenJobButton));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({Tr(captions::kJobFilter), Tr(captions::kAllFilesFilter) + QStringLiteral(" (*)")});
    if (const QString path = RunFileDialog(dialog); !path.isEmpty()) OpenJob(path);
  });
  connect(productionPage_, &ProductionPage::startPressed, this, &ProgrammerDialog::StartProduction);
  connect(productionPage_, &ProductionPage::stopPressed, this, [this] { production_->StopAll(); });
  connect(productionPage_, &ProductionPage::stopOnePressed, this,
          [this](const QString& address) { production_->Stop(address); });
  connect(productionPage_, &ProductionPage::exportPressed, this, &ProgrammerDialog::ExportProductionCsv);
  UseProductionDatabase(production::DefaultDatabaseTarget());
}

void ProgrammerDialog::UseProductionDatabase(const std::string& target) {
  if (ProductionRunning()) return;
  production_ = std::make_unique<ProductionRun>(*productionPage_, logModel_, bus_, tones_, target);
  connect(production_.get(), &ProductionRun::runningChanged, this,
          &ProgrammerDialog::ProductionRunningChanged);
}

bool ProgrammerDialog::ProductionRunning() const {
  return production_ && production_->Running();
}

void ProgrammerDialog::OpenJob(const QString& path) {
  if (ProductionRunning()) return;
  const chips::ChipBooks books = chips::LoadChipBooks(cataloguePaths_, factsLookup_);
  if (const QString refusal = production_->OpenJob(path, books.facts); !refusal.isEmpty())
    ShowMessage(Tr(captions::kProductionFailedPattern).arg(refusal).toStdString());
}

void ProgrammerDialog::StartProduction() {
  if (ProductionRunning() || !controller_->Idle()) return;
  QStringList addresses;
  for (const std::string& each : controller_->ProgrammerChoice()) addresses << QString::fromStdString(each);
  if (addresses.isEmpty() && !address_.empty()) addresses << QString::fromStdString(address_);
  QString error;
  if (!production_->Start(addresses, chips::LoadChipBooks(cataloguePaths_, factsLookup_), error) &&
      !error.isEmpty())
    ShowMessage(Tr(captions::kProductionFailedPattern).arg(error).toStdString());
}

void ProgrammerDialog::ProductionRunningChanged(bool running) {
  for (const auto& [id, operation] : kButtonOperations) {
    if (QWidget* button = Control(id)) button->setEnabled(!running);
  }
  fusePage_->setEnabled(!running);
}

void ProgrammerDialog::ExportProductionCsv() {
  QFileDialog dialog(this, Tr(captions::kExportCsvButton));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(Tr(captions::kCsvFilter));
  dialog.setDefaultSuffix(QStringLiteral("csv"));
  const QString path = RunFileDialog(dialog);
  QString error;
  if (!path.isEmpty() && !production_->ExportCsv(path, error))
    ShowMessage(Tr(captions::kProductionFailedPattern).arg(error).toStdString());
}

}  // namespace kestrel::ui
