#include "ui/ProgrammerDialog.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>

#include "base/Texts.h"
#include "chips/ChipCatalogue.h"
#include "control/Wording.h"
#include "ui/AboutDialog.h"
#include "ui/Captions.h"
#include "ui/DeviceArrivalMonitor.h"
#include "ui/DialogColours.h"
#include "ui/DialogTemplate.h"
#include "ui/FusePage.h"
#include "ui/HexView.h"
#include "ui/IntroText.h"
#include "ui/Resources.h"

namespace kestrel::ui {
namespace {

constexpr int kButtonImagePixels = 18;

constexpr int kPageImagePixels = 16;

QString ControlName(int id) {
  return id == kNoId ? QStringLiteral("ctlChipSelectLabel") : QStringLiteral("ctl%1").arg(id);
}

QString Utf8(const char* text) {
  return QString::fromUtf8(text);
}

// Widens a control whose text does not fit its template slot in the font at hand.
void FitText(QWidget* widget, QRect& pixels) {
  pixels.setWidth(std::max(pixels.width(), widget->sizeHint().width()));
}

}  // namespace

ProgrammerDialog::ProgrammerDialog(device::UsbBus& bus, TonePlayer& tones, QWidget* parent)
    : QDialog(parent), tones_(tones), channel_(this) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setWindowTitle(Utf8(captions::kDialogCaption) + QString(8, u' ') + Utf8(texts::kMakerLine));
  setFont(DialogFont());
  ApplyDialogBackground(this);
  CreateControls();
  controller_ = std::make_unique<control::ProgrammerController>(bus, *this, channel_);
  channel_.SetHandler([this](std::uint32_t code, std::uint32_t argument) {
    controller_->OnProgrammerStatus(code, argument);
  });
  ConnectHandlers();
}

ProgrammerDialog::~ProgrammerDialog() {
  // The close guard keeps transfers from outliving the window; should one still run (the
  // program is being torn down some other way), let its blocked status reports through
  // rather than join a worker that waits for this thread.
  while (controller_ && !controller_->Idle() && controller_->engine().TransferRunning()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  controller_.reset();
}

void ProgrammerDialog::CreateControls() {
  const BaseUnits base = BaseUnitsOf(font());
  setFixedSize(DialogUnitsToPixels(kMainDialogSize, base));
  modeGroup_ = new QButtonGroup(this);
  QWidget* previous = nullptr;
  std::vector<QGroupBox*> frames;
  for (const ControlTemplate& control : MainDialogTemplate()) {
    QWidget* widget = CreateControl(control, base);
    widget->setObjectName(ControlName(control.id));
    controls_[control.id] = widget;
    if (auto* frame = qobject_cast<QGroupBox*>(widget)) frames.push_back(frame);
    if (control.hidden) widget->hide();
    if (widget->focusPolicy() != Qt::NoFocus) {
      if (previous != nullptr) setTabOrder(previous, widget);
      previous = widget;
    }
  }
  // Frames are drawn behind the controls they surround.
  for (QGroupBox* frame : frames) frame->lower();
  modeGroup_->button(0)->setChecked(true);
  RefreshModeIndex();
  CreateFusePage();
}

void ProgrammerDialog::CreateFusePage() {
  fusePage_ = new FusePage(this);
  fusePage_->setObjectName(QStringLiteral("fusePage"));
  fusePage_->hide();  // until it becomes a page
}

QWidget* ProgrammerDialog::CreateControl(const ControlTemplate& control, const BaseUnits& base) {
  QRect pixels = DialogUnitsToPixels(control.rect, base);
  QWidget* widget = nullptr;
  switch (control.kind) {
    case ControlKind::RadioButton: {
      auto* radio = new QRadioButton(Utf8(control.caption), this);
      radio->setFocusPolicy(Qt::NoFocus);  // not a tab stop
      ApplyDialogText(radio);
      modeGroup_->addButton(radio, static_cast<int>(modeGroup_->buttons().size()));
      FitText(radio, pixels);
      widget = radio;
      break;
    }
    case ControlKind::GroupBox:
      widget = new QGroupBox(Utf8(control.caption), this);
      widget->setFocusPolicy(Qt::NoFocus);
      break;
    case ControlKind::PushButton: {
      auto* button = new QPushButton(Utf8(control.caption), this);
      button->setFlat(true);
      button->setStyleSheet(QString::fromLatin1(kFlatButtonStyle));
      button->setAutoDefault(false);
      button->setFocusPolicy(Qt::StrongFocus);
      button->setIconSize(QSize(kButtonImagePixels, kButtonImagePixels));
      widget = button;
      break;
    }
    case ControlKind::CheckBox: {
      auto* box = new QCheckBox(Utf8(control.caption), this);
      box->setFocusPolicy(Qt::StrongFocus);
      FitText(box, pixels);
      widget = box;
      break;
    }
    case ControlKind::Label: {
      auto* label = new QLabel(LabelText(control.caption), this);
      label->setTextFormat(Qt::PlainText);
      ApplyDialogText(label);
      FitText(label, pixels);
      pixels.setHeight(std::max(pixels.height(), label->sizeHint().height()));
      widget = label;
      break;
    }
    case ControlKind::Edit:
    case ControlKind::ReadOnlyEdit:
    case ControlKind::ThemedReadOnlyEdit: {
      auto* edit = new QLineEdit(this);
      edit->setReadOnly(control.kind != ControlKind::Edit);
      if (control.kind == ControlKind::ReadOnlyEdit) ApplyDialogText(edit);
      edit->setFocusPolicy(control.kind == ControlKind::Edit ? Qt::StrongFocus : Qt::ClickFocus);
      edit->setTextMargins(0, 0, 0, 0);
      pixels.setHeight(std::max(pixels.height(), edit->fontMetrics().height() + 4));
      widget = edit;
      break;
    }
    case ControlKind::ProgressBar:
      progressBar_ = new QProgressBar(this);
      progressBar_->setRange(0, 100);
      progressBar_->setValue(0);
      progressBar_->setTextVisible(false);
      widget = progressBar_;
      break;
    case ControlKind::PageTabs:
      pageTabs_ = new QTabWidget(this);
      pageTabs_->setTabPosition(QTabWidget::South);
      pageTabs_->setIconSize(QSize(kPageImagePixels, kPageImagePixels));
      pageTabs_->setFocusPolicy(Qt::NoFocus);
      pageTabs_->tabBar()->setFocusPolicy(Qt::NoFocus);
      widget = pageTabs_;
      break;
    case ControlKind::HexView: {
      auto* view = new HexView(this);
      (control.id == 1016 ? flashHexView_ : eepromHexView_) = view;
      view->hide();  // until it becomes a page
      widget = view;
      break;
    }
    case ControlKind::LogList:
      logList_ = new QListView(this);
      logList_->setUniformItemSizes(true);
      logList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
      logList_->setSelectionMode(QAbstractItemView::SingleSelection);
      logList_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      logModel_.AttachView(logList_);
      logList_->hide();
      widget = logList_;
      break;
    case ControlKind::IntroEdit:
      introEdit_ = new QPlainTextEdit(this);
      introEdit_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
      introEdit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      introEdit_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      introEdit_->hide();
      widget = introEdit_;
      break;
    case ControlKind::ChipCombo: {
      chipCombo_ = new QComboBox(this);
      chipCombo_->setEditable(true);
      chipCombo_->setInsertPolicy(QComboBox::NoInsert);
      chipCombo_->setFocusPolicy(Qt::StrongFocus);
      // The template height is that of the open list.
      const int itemHeight = std::max(1, chipCombo_->fontMetrics().height() + 2);
      chipCombo_->setMaxVisibleItems(
          std::max(1, (pixels.height() - chipCombo_->sizeHint().height()) / itemHeight));
      pixels.setHeight(chipCombo_->sizeHint().height());
      widget = chipCombo_;
      break;
    }
  }
  widget->setGeometry(pixels);
  return widget;
}

void ProgrammerDialog::ConnectHandlers() {
  for (const ControlTemplate& control : MainDialogTemplate()) {
    if (control.kind != ControlKind::PushButton) continue;
    auto* button = static_cast<QPushButton*>(controls_.at(control.id));
    const auto operation = static_cast<control::OperationButton>(control.id);
    connect(button, &QPushButton::clicked, this,
            [this, operation] { controller_->OnOperationButton(operation); });
  }
  // Group position n is mode n: PP_20, ISP, HVSP, PP_2313 in template order.
  connect(modeGroup_, &QButtonGroup::idClicked, this,
          [this](int mode) { controller_->SetMode(static_cast<std::uint8_t>(mode)); });
  // Only a pick by the user: selecting entry 0 at start-up leaves the geometry alone.
  connect(chipCombo_, &QComboBox::activated, this, [this](int index) {
    controller_->OnChipSelChange(index);
    chipPicked_ = true;
    ShowSelectedFacts();
  });
  connect(pageTabs_, &QTabWidget::currentChanged, this, [this] { OnTabSelected(); });

  connect(fusePage_, &FusePage::operationChosen, this,
          [this](control::OperationButton button) { controller_->OnOperationButton(button); });
  connect(fusePage_, &FusePage::signatureCheckChanged, this,
          [this](bool on) { controller_->SetSignatureCheck(on); });
  auto* fuseField = static_cast<QLineEdit*>(controls_.at(1009));
  auto* lockField = static_cast<QLineEdit*>(controls_.at(1014));
  connect(fusePage_, &FusePage::fuseTextChosen, fuseField, &QLineEdit::setText);
  connect(fusePage_, &FusePage::lockTextChosen, lockField, &QLineEdit::setText);
  connect(fuseField, &QLineEdit::textChanged, fusePage_, &FusePage::TakeFuseText);
  connect(lockField, &QLineEdit::textChanged, fusePage_, &FusePage::TakeLockText);
}

bool ProgrammerDialog::OnInitDialog(const std::vector<std::string>& catalogueSearchPaths) {
  AddAboutEntry();
  setWindowIcon(AppIcon());
  arrival_ = new DeviceArrivalMonitor([this] { OnDeviceArrival(); }, this);
  AddPages();
  ShowPage(control::LogPage);

  const chips::CatalogueLoad load = controller_->LoadCatalogue(catalogueSearchPaths);
  if (!load.loaded) {
    ShowMessage(control::CatalogueMissingLine(load));
    return false;
  }
  FillChipList();
  static_cast<QLineEdit*>(controls_.at(1009))->setText(Utf8(texts::kStartFuseText));
  static_cast<QLineEdit*>(controls_.at(1014))->setText(Utf8(texts::kStartLockText));
  SetButtonImages();
  ConfigureViews();
  introEdit_->setPlainText(QString::fromStdString(IntroText()));
  return controller_->ProbeProgrammer();
}

void ProgrammerDialog::AddAboutEntry() {
  // Window managers own the window menu: the entry lives in the dialog's context menu and on F1.
  auto* about = new QAction(Utf8(captions::kAboutMenuEntry), this);
  about->setObjectName(QStringLiteral("aboutAction"));
  about->setShortcut(QKeySequence(Qt::Key_F1));
  about->setShortcutContext(Qt::WindowShortcut);
  connect(about, &QAction::triggered, this, &ProgrammerDialog::ShowAbout);
  addAction(about);
  setContextMenuPolicy(Qt::ActionsContextMenu);
}

void ProgrammerDialog::AddPages() {
  const QSignalBlocker quiet(pageTabs_);
  pageTabs_->addTab(flashHexView_, PageImage(0), Utf8(captions::kFlashPageTab));
  pageTabs_->addTab(eepromHexView_, PageImage(1), Utf8(captions::kEepromPageTab));
  pageTabs_->addTab(logList_, PageImage(2), Utf8(captions::kLogPageTab));
  pageTabs_->addTab(introEdit_, PageImage(3), Utf8(captions::kIntroPageTab));
  pageTabs_->addTab(fusePage_, PageImage(4), Utf8(captions::kFusePageTab));
}

void ProgrammerDialog::FillChipList() {
  const chips::ChipCatalogue& catalogue = controller_->catalogue();
  for (std::uint32_t i = 0; i < catalogue.recordCount; ++i) {
    chipCombo_->insertItem(static_cast<int>(i),
                           QString::fromStdString(chips::DisplayChipName(catalogue.records[i])));
  }
  chipCombo_->setCurrentIndex(catalogue.recordCount > 0 ? 0 : -1);
}

void ProgrammerDialog::SetButtonImages() {
  for (const int id : {1001, 1028, 1037, 1023, 1027, 1008}) {
    static_cast<QPushButton*>(controls_.at(id))->setIcon(ButtonImage(id));
  }
}

void ProgrammerDialog::ConfigureViews() {
  controller_->BindImageViews();
  flashHexView_->SetViewColour(kFlashViewColour);
  eepromHexView_->SetViewColour(kEepromViewColour);
}

void ProgrammerDialog::ShowAbout() {
  AboutDialog about(this);
  about.exec();
}

void ProgrammerDialog::ShowSelectedFacts() {
  fusePage_->SetChip(controller_->SelectedFacts(), chipPicked_);
}

void ProgrammerDialog::OnTabSelected() {
  ShowPage(pageTabs_->currentIndex());
}

void ProgrammerDialog::OnDeviceArrival() {
  controller_->OnDeviceArrival();
}

bool ProgrammerDialog::ArrivalDetectionActive() const {
  return arrival_ != nullptr && arrival_->Active();
}

QWidget* ProgrammerDialog::Control(int id) const {
  const auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

void ProgrammerDialog::RefreshModeIndex() {
  modeIndex_ = modeGroup_->checkedId();
}

void ProgrammerDialog::done(int result) {
  if (controller_ && controller_->RefuseWhileBusy()) return;
  QDialog::done(result);
}

void ProgrammerDialog::keyPressEvent(QKeyEvent* event) {
  // Return ends the dialog like the close box unless a push button has the focus (then it
  // presses that button, as it does anyway).
  const bool returnKey = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (returnKey && event->modifiers() == Qt::NoModifier) {
    if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
      button->click();
    } else {
      accept();
    }
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace kestrel::ui
