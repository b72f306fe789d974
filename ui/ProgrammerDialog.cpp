#include "ui/ProgrammerDialog.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>
#include <tuple>

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
#include "ui/ProductionPage.h"
#include "ui/ProductionRun.h"
#include "ui/Resources.h"
#include "ui/Translation.h"

namespace kestrel::ui {
namespace {

constexpr int kButtonImagePixels = 18;

constexpr int kPageImagePixels = 16;

QString ControlName(ControlId id) {
  return id == ControlId::ChipSelectLabel ? QStringLiteral("ctlChipSelectLabel")
                                          : QStringLiteral("ctl%1").arg(static_cast<int>(id));
}

QString Utf8(const char* text) {
  return QString::fromUtf8(text);
}

// Widens a control whose text does not fit its template slot in the font at hand.
void FitText(QWidget* widget, QRect& pixels) {
  pixels.setWidth(std::max(pixels.width(), widget->sizeHint().width()));
}

// The room for the window on the screen it opens on, less a title bar and frame.
QSize AvailableRoom(const QScreen* screen) {
  if (screen == nullptr) return {1 << 16, 1 << 16};
  return screen->availableGeometry().size() - QSize(16, 48);
}

// The window's button that presses this operation.
ControlId ButtonOf(control::OperationButton operation) {
  const auto* entry = std::ranges::find(kButtonOperations, operation, &ButtonOperation::operation);
  return entry->button;
}

QRect TemplateRect(ControlId id) {
  for (const ControlTemplate& control : MainDialogTemplate())
    if (control.id == id) return control.rect;
  return {};
}

}  // namespace

ProgrammerDialog::ProgrammerDialog(device::UsbBus& bus, TonePlayer& tones, QWidget* parent)
    : QDialog(parent), tones_(tones), channel_(this), bus_(bus) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  setWindowTitle(Tr(captions::kDialogCaption) + QString(8, u' ') + Utf8(texts::kMakerLine));
  setFont(FitDialogFont(DialogFont(), AvailableRoom(screen())));
  ApplyDialogBackground(this);
  CreateControls();
  controller_ = std::make_unique<control::ProgrammerController>(bus, *this, channel_);
  channel_.SetHandler([this](device::Status code, std::uint32_t argument) { OnStatus(code, argument); });
  ConnectHandlers();
  AddShortcuts();
  AddLogMenu();
}

ProgrammerDialog::~ProgrammerDialog() {
  // QDialog's destructor hides the window, and the chip list's field then loses the focus.
  disconnect(chipCombo_->lineEdit(), nullptr, this, nullptr);
  // The close guard keeps runs from outliving the window; should one still go on (the program
  // is being torn down some other way), stop it and let its status reports through until no
  // operation runs. A worker hands its final code over after it has cleared TransferRunning,
  // and joining it before that code has been handled would wait for this thread for ever.
  if (controller_) controller_->StopTransfer();
  while (controller_ && !controller_->Idle()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  controller_.reset();
}

void ProgrammerDialog::CreateControls() {
  const BaseUnits base = BaseUnitsOf(font());
  const QSize size = DialogUnitsToPixels(kMainDialogSize, base);
  setMinimumSize(size);
  resize(size);
  modeGroup_ = new QButtonGroup(this);
  std::vector<QGroupBox*> frames;
  for (const ControlTemplate& control : MainDialogTemplate()) {
    QWidget* widget = CreateControl(control, base);
    widget->setObjectName(ControlName(control.id));
    controls_[control.id] = widget;
    if (auto* frame = qobject_cast<QGroupBox*>(widget)) frames.push_back(frame);
    if (control.hidden) widget->hide();
  }
  // Frames are drawn behind the controls they surround.
  for (QGroupBox* frame : frames) frame->lower();
  modeGroup_->button(0)->setChecked(true);
  RefreshSelectedMode();
  for (const auto& [id, tip] : captions::kButtonTips) controls_.at(id)->setToolTip(Tr(tip));
  controls_.at(ControlId::FastVerifyBox)->setToolTip(Tr(captions::kFastVerifyTip));
  controls_.at(ControlId::StopButton)->setEnabled(false);
  LimitFuseFields();
  connection_ = static_cast<QLabel*>(controls_.at(ControlId::ConnectionLabel));
  connection_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  // Left of the fuse box, in the room between the FLASH column and the box.
  fuseNote_ = new QLabel(this);
  fuseNote_->setObjectName(QStringLiteral("fuseNote"));
  fuseNote_->setWordWrap(true);
  fuseNote_->setAlignment(Qt::AlignRight | Qt::AlignTop);
  fuseNote_->setGeometry(DialogUnitsToPixels(QRect(121, 196, 48, 44), base));
  QPalette noteColours = fuseNote_->palette();
  noteColours.setColor(QPalette::WindowText, kFailedColour);
  fuseNote_->setPalette(noteColours);
  for (QAbstractButton* mode : modeGroup_->buttons()) mode->installEventFilter(this);
  bottomLine_ = progressBar_->geometry().united(connection_->geometry());
  connectionWidth_ = connection_->width();
  programmers_ = new QComboBox(this);
  programmers_->setObjectName(QStringLiteral("programmerList"));
  programmers_->setToolTip(Tr(captions::kProgrammerListTip));
  programmers_->hide();
  sideLog_ = new QListView(this);
  sideLog_->setObjectName(QStringLiteral("sideLog"));
  sideLog_->setModel(&logModel_);
  sideLog_->setUniformItemSizes(true);
  sideLog_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  sideLog_->setFocusPolicy(Qt::ClickFocus);
  sideLog_->hide();
  connect(&logModel_, &QAbstractItemModel::rowsInserted, sideLog_, &QListView::scrollToBottom);
  CreateFusePage();
  CreateProductionPage();
}

// Six and two hex digits: what the writes send, and nothing they would leave out.
void ProgrammerDialog::LimitFuseFields() {
  for (const auto& [id, digits] : {std::pair{ControlId::FuseText, 6}, std::pair{ControlId::LockText, 2}}) {
    auto* field = static_cast<QLineEdit*>(controls_.at(id));
    field->setMaxLength(digits);
    field->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9A-Fa-f]{0,%1}").arg(digits)), field));
  }
}

// Options, then operations, each row by row from the left (the mode group one stop, its
// buttons walked with the arrow keys), then the page tabs and the pages.
void ProgrammerDialog::SetTabOrder() {
  const QRect options = TemplateRect(ControlId::OptionFrame);
  std::vector<std::tuple<bool, int, int, QWidget*>> stops;
  for (const ControlTemplate& control : MainDialogTemplate()) {
    QWidget* widget = controls_.at(control.id);
    if (!(widget->focusPolicy() & Qt::TabFocus) || control.kind == ControlKind::HexView) continue;
    // Rows lie at least ten dialog units apart.
    stops.emplace_back(!options.contains(control.rect.topLeft()), control.rect.y() / 10, control.rect.x(),
                       widget);
  }
  std::stable_sort(stops.begin(), stops.end(), [](const auto& a, const auto& b) {
    return std::tie(std::get<0>(a), std::get<1>(a), std::get<2>(a)) <
           std::tie(std::get<0>(b), std::get<1>(b), std::get<2>(b));
  });
  QWidget* previous = nullptr;
  for (const auto& stop : stops) {
    if (previous != nullptr) setTabOrder(previous, std::get<3>(stop));
    previous = std::get<3>(stop);
  }
  for (QWidget* page : {static_cast<QWidget*>(pageTabs_->tabBar()), static_cast<QWidget*>(flashHexView_),
                        static_cast<QWidget*>(eepromHexView_), static_cast<QWidget*>(logList_),
                        static_cast<QWidget*>(introEdit_)}) {
    setTabOrder(previous, page);
    previous = page;
  }
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
      auto* radio = new QRadioButton(Tr(control.caption), this);
      ApplyDialogText(radio);
      modeGroup_->addButton(radio, static_cast<int>(modeGroup_->buttons().size()));
      FitText(radio, pixels);
      widget = radio;
      break;
    }
    case ControlKind::GroupBox:
      widget = new QGroupBox(Tr(control.caption), this);
      widget->setFocusPolicy(Qt::NoFocus);
      break;
    case ControlKind::PushButton: {
      auto* button = new QPushButton(Tr(control.caption), this);
      button->setFlat(true);
      button->setStyleSheet(QString::fromLatin1(kFlatButtonStyle));
      button->setAutoDefault(false);
      button->setFocusPolicy(Qt::StrongFocus);
      button->setIconSize(QSize(kButtonImagePixels, kButtonImagePixels));
      widget = button;
      break;
    }
    case ControlKind::CheckBox: {
      auto* box = new QCheckBox(Tr(control.caption), this);
      box->setFocusPolicy(Qt::StrongFocus);
      FitText(box, pixels);
      widget = box;
      break;
    }
    case ControlKind::Label: {
      auto* label = new QLabel(LabelText(Tr(control.caption)), this);
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
      progressBar_->setFormat(QString());  // a transfer's pages, then the run's outcome
      progressBar_->setAlignment(Qt::AlignCenter);
      widget = progressBar_;
      break;
    case ControlKind::PageTabs:
      pageTabs_ = new QTabWidget(this);
      pageTabs_->setTabPosition(QTabWidget::South);
      pageTabs_->setIconSize(QSize(kPageImagePixels, kPageImagePixels));
      // The tab bar is a stop of its own (the arrow keys switch pages), after the operations;
      // as the tab widget's focus proxy it would also take Tab from the last page.
      pageTabs_->setFocusPolicy(Qt::NoFocus);
      pageTabs_->setFocusProxy(nullptr);
      pageTabs_->tabBar()->setFocusPolicy(Qt::TabFocus);
      // No scroll buttons, which would be stops too: in a cramped window the tab texts are cut.
      pageTabs_->setUsesScrollButtons(false);
      pageTabs_->setElideMode(Qt::ElideRight);
      pagesRect_ = pixels;
      widget = pageTabs_;
      break;
    case ControlKind::HexView: {
      auto* view = new HexView(this);
      // Made smaller with the dialog's font when the window had to fit a small screen.
      QFont scaled = view->font();
      scaled.setPointSizeF(scaled.pointSizeF() * font().pointSizeF() / DialogFont().pointSizeF());
      view->setFont(scaled);
      (control.id == ControlId::FlashHexView ? flashHexView_ : eepromHexView_) = view;
      view->hide();  // until it becomes a page
      widget = view;
      break;
    }
    case ControlKind::LogList:
      logList_ = new QListView(this);
      logList_->setUniformItemSizes(true);
      logList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
      logList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
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
  using control::OperationButton;
  for (const auto& [id, operation] : kButtonOperations) {
    auto* button = static_cast<QPushButton*>(controls_.at(id));
    connect(button, &QPushButton::clicked, this, [this, operation] { Press(operation); });
  }
  connect(static_cast<QPushButton*>(controls_.at(ControlId::StopButton)), &QPushButton::clicked, this,
          [this] { controller_->StopTransfer(); });
  // Group position n is mode n: PP_20, ISP, HVSP, PP_2313 in template order.
  connect(modeGroup_, &QButtonGroup::idClicked, this, &ProgrammerDialog::ModeChosen);
  connect(programmers_, &QComboBox::activated, this,
          [this](int index) { controller_->SwitchProgrammer(programmers_->itemText(index).toStdString()); });
  // Only a pick by the user: selecting entry 0 at start-up leaves the geometry alone.
  connect(chipCombo_, &QComboBox::activated, this, &ProgrammerDialog::PickChip);
  connect(chipCombo_->lineEdit(), &QLineEdit::editingFinished, this, &ProgrammerDialog::TakeTypedChip);
  connect(pageTabs_, &QTabWidget::currentChanged, this, [this] { OnTabSelected(); });
  connect(flashHexView_, &HexView::edited, this, [this] { TakeEdit(control::MemoryKind::Flash); });
  connect(eepromHexView_, &HexView::edited, this, [this] { TakeEdit(control::MemoryKind::Eeprom); });
  connect(flashHexView_, &HexView::fileDropped, this,
          [this](const QString& path) { OpenFile(OperationButton::OpenFlashFile, path); });
  connect(eepromHexView_, &HexView::fileDropped, this,
          [this](const QString& path) { OpenFile(OperationButton::OpenEepromFile, path); });
  for (const auto& [id, open] : kButtonOperations) {
    if (open != OperationButton::OpenFlashFile && open != OperationButton::OpenEepromFile) continue;
    QWidget* button = controls_.at(id);
    button->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(button, &QWidget::customContextMenuRequested, this,
            [this, open](const QPoint& where) { ShowRecentFiles(open, where); });
  }

  // An identify or a fuse read started here keeps this page in front of the log it writes.
  connect(fusePage_, &FusePage::operationChosen, this, [this](OperationButton button) {
    Press(button, button == OperationButton::Identify || button == OperationButton::ReadFuseLock);
  });
  auto* fuseField = static_cast<QLineEdit*>(controls_.at(ControlId::FuseText));
  auto* lockField = static_cast<QLineEdit*>(controls_.at(ControlId::LockText));
  connect(fusePage_, &FusePage::fuseTextChosen, fuseField, &QLineEdit::setText);
  connect(fusePage_, &FusePage::lockTextChosen, lockField, &QLineEdit::setText);
  connect(fuseField, &QLineEdit::textChanged, fusePage_, &FusePage::TakeFuseText);
  connect(lockField, &QLineEdit::textChanged, fusePage_, &FusePage::TakeLockText);
  connect(fuseField, &QLineEdit::textChanged, this, &ProgrammerDialog::ShowFuseNote);
  connect(static_cast<QCheckBox*>(controls_.at(ControlId::AutoWriteFuses)), &QCheckBox::toggled, this,
          &ProgrammerDialog::ShowFuseNote);
}

void ProgrammerDialog::AddShortcuts() {
  const std::pair<QKeySequence, ControlId> pressed[] = {
      {QKeySequence(Qt::CTRL | Qt::Key_O), ControlId::OpenFlashButton},
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), ControlId::OpenEepromButton},
      {QKeySequence(Qt::CTRL | Qt::Key_S), ControlId::SaveFlashButton},
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), ControlId::SaveEepromButton},
      {QKeySequence(Qt::Key_F5), ControlId::AutoButton}};
  for (const auto& [keys, id] : pressed) {
    auto* button = static_cast<QPushButton*>(controls_.at(id));
    connect(new QShortcut(keys, this), &QShortcut::activated, button, &QPushButton::click);
  }
  connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this), &QShortcut::activated, this,
          &QDialog::close);
}

void ProgrammerDialog::AddLogMenu() {
  const auto add = [this](const char* caption, const char* name, auto handler) {
    auto* action = new QAction(Tr(caption), logList_);
    action->setObjectName(QLatin1String(name));
    connect(action, &QAction::triggered, this, handler);
    logList_->addAction(action);
    return action;
  };
  QAction* copy = add(captions::kCopyLogEntry, "logCopy", [this] {
    QModelIndexList rows = logList_->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    QStringList lines;
    for (const QModelIndex& row : rows) lines << row.data().toString();
    QGuiApplication::clipboard()->setText(lines.join(u'\n'));
  });
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);
  add(captions::kSaveLogEntry, "logSave", [this] {
    QFileDialog dialog(this, Tr(captions::kSaveLogEntry));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(Tr(captions::kLogFileFilter));
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (const QString path = RunFileDialog(dialog); !path.isEmpty()) SaveLog(path);
  });
  add(captions::kClearLogEntry, "logClear", [this] { controller_->log().ClearLog(); });
  logList_->setContextMenuPolicy(Qt::ActionsContextMenu);
}

bool ProgrammerDialog::SaveLog(const QString& path) {
  QFile file(path);
  QByteArray text;
  for (const QString& line : logModel_.Lines()) text += line.toUtf8() + '\n';
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size() &&
      file.flush()) {
    return true;
  }
  ShowMessage(Tr(captions::kSaveLogFailedPattern).arg(file.errorString()).toStdString());
  return false;
}

void ProgrammerDialog::ShowRecentFiles(control::OperationButton button, const QPoint& where) {
  const QStringList files =
      RecentFiles(button == control::OperationButton::OpenFlashFile ? control::FileDialogKind::OpenFlash
                                                                    : control::FileDialogKind::OpenEeprom);
  QMenu menu(this);
  menu.addSection(Tr(captions::kRecentFilesTitle));
  if (files.isEmpty()) menu.addAction(Tr(captions::kNoRecentFiles))->setEnabled(false);
  for (const QString& file : files) {
    connect(menu.addAction(QFileInfo(file).fileName()), &QAction::triggered, this,
            [this, button, file] { OpenFile(button, file); });
    menu.actions().constLast()->setToolTip(file);
  }
  menu.setToolTipsVisible(true);
  menu.exec(controls_.at(ButtonOf(button))->mapToGlobal(where));
}

bool ProgrammerDialog::OnInitDialog(const std::vector<std::string>& catalogueSearchPaths,
                                    const chips::FactsLookup& facts) {
  cataloguePaths_ = catalogueSearchPaths;
  factsLookup_ = facts;
  AddAboutEntry();
  setWindowIcon(AppIcon());
  arrival_ = new DeviceArrivalMonitor([this] { OnDeviceArrival(); }, this);
  AddPages();
  SetTabOrder();
  ShowPage(control::LogPage);

  const chips::CatalogueLoad load = controller_->LoadCatalogue(catalogueSearchPaths, facts);
  if (!load.loaded) {
    ShowMessage(control::CatalogueMissingLine(load));
    return false;
  }
  FillChipList();
  // The texts of a catalogue without facts; a chip with facts starts from its factory values.
  static_cast<QLineEdit*>(controls_.at(ControlId::FuseText))->setText(Utf8(texts::kStartFuseText));
  static_cast<QLineEdit*>(controls_.at(ControlId::LockText))->setText(Utf8(texts::kStartLockText));
  LoadChipTexts(chipCombo_->currentText());
  RestoreSettings();
  SetButtonImages();
  ConfigureViews();
  introEdit_->setPlainText(IntroText());
  const bool found = controller_->ProbeProgrammer();
  if (!found) ConnectionChanged(std::string());
  return found;
}

void ProgrammerDialog::AddAboutEntry() {
  // Window managers own the window menu: the entry lives in the dialog's context menu and on F1.
  auto* about = new QAction(Tr(captions::kAboutMenuEntry), this);
  about->setObjectName(QStringLiteral("aboutAction"));
  about->setShortcut(QKeySequence(Qt::Key_F1));
  about->setShortcutContext(Qt::WindowShortcut);
  connect(about, &QAction::triggered, this, &ProgrammerDialog::ShowAbout);
  addAction(about);
  setContextMenuPolicy(Qt::ActionsContextMenu);
}

void ProgrammerDialog::AddPages() {
  const QSignalBlocker quiet(pageTabs_);
  pageTabs_->addTab(flashHexView_, PageImage(0), Tr(captions::kFlashPageTab));
  pageTabs_->addTab(eepromHexView_, PageImage(1), Tr(captions::kEepromPageTab));
  pageTabs_->addTab(logList_, PageImage(2), Tr(captions::kLogPageTab));
  pageTabs_->addTab(introEdit_, PageImage(3), Tr(captions::kIntroPageTab));
  pageTabs_->addTab(fusePage_, PageImage(4), Tr(captions::kFusePageTab));
  pageTabs_->addTab(productionPage_, PageImage(5), Tr(captions::kProductionPageTab));
}

void ProgrammerDialog::FillChipList() {
  const chips::ChipCatalogue& catalogue = controller_->catalogue();
  for (std::size_t i = 0; i < catalogue.chips.size(); ++i) {
    chipCombo_->insertItem(static_cast<int>(i), QString::fromStdString(catalogue.chips[i].displayName));
  }
  chipCombo_->setCurrentIndex(catalogue.chips.empty() ? -1 : 0);
}

void ProgrammerDialog::SetButtonImages() {
  for (const ControlId id :
       {ControlId::OpenFlashButton, ControlId::SaveFlashButton, ControlId::SaveEepromButton,
        ControlId::OpenEepromButton, ControlId::AutoButton, ControlId::EraseButton}) {
    static_cast<QPushButton*>(controls_.at(id))->setIcon(ButtonImage(id));
  }
}

void ProgrammerDialog::ConfigureViews() {
  controller_->BindImageViews();
  flashHexView_->SetViewColour(kFlashViewColour);
  eepromHexView_->SetViewColour(kEepromViewColour);
  for (HexView* view : {flashHexView_, eepromHexView_}) view->SetCaption(Tr(captions::kImageCaption));
}

void ProgrammerDialog::ShowAbout() {
  AboutDialog about(this);
  about.exec();
}

void ProgrammerDialog::ShowSelectedFacts() {
  fusePage_->SetChip(controller_->SelectedFacts(), chipPicked_);
  LoadChipTexts(chipCombo_->currentText());
}

void ProgrammerDialog::PickChip(int index) {
  controller_->OnChipSelChange(index);
  chipPicked_ = true;
  ShowSelectedFacts();
}

// Only a catalogue name, as the command line's --chip takes it, is a chip: another text goes
// back to the chip selected, so that the list never shows a name whose sizes it does not use.
// The list holds the catalogue in its order, so an entry's index is its row.
void ProgrammerDialog::TakeTypedChip() {
  const QString typed = chipCombo_->currentText();
  const int index = chips::FindChip(controller_->catalogue(), typed.toStdString());
  if (index < 0) return chipCombo_->setEditText(chipCombo_->itemText(chipCombo_->currentIndex()));
  if (index == chipCombo_->currentIndex() && typed == chipCombo_->itemText(index)) return;
  chipCombo_->setCurrentIndex(index);
  chipCombo_->setEditText(chipCombo_->itemText(index));
  PickChip(index);
}

void ProgrammerDialog::OnTabSelected() {
  ShowPage(pageTabs_->currentIndex());
}

void ProgrammerDialog::OnDeviceArrival() {
  // While a run goes on the controller looks for the programmer once the operation has ended.
  controller_->OnDeviceArrival();
}

bool ProgrammerDialog::ArrivalDetectionActive() const {
  return arrival_ != nullptr && arrival_->Active();
}

QWidget* ProgrammerDialog::Control(ControlId id) const {
  const auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

void ProgrammerDialog::RefreshSelectedMode() {
  selectedMode_ = static_cast<device::ProgrammingMode>(modeGroup_->checkedId());
}

void ProgrammerDialog::done(int result) {
  if (controller_ && controller_->RefuseWhileBusy()) return;
  if (ProductionRunning()) return;  // its page says so; Stop ends it
  if (!SettleEdits(control::MemoryKind::Flash) || !SettleEdits(control::MemoryKind::Eeprom)) return;
  SaveSettings();
  QDialog::done(result);
}

void ProgrammerDialog::keyPressEvent(QKeyEvent* event) {
  // Return presses the push button that has the focus; in a field it has done what it does
  // there, and no more. Neither Return nor Escape ends the window, which would lose the log,
  // the images and the edits.
  const bool returnKey = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (returnKey && event->modifiers() == Qt::NoModifier) {
    if (auto* button = qobject_cast<QPushButton*>(focusWidget())) button->click();
    return;
  }
  if (returnKey || event->key() == Qt::Key_Escape) return;
  QDialog::keyPressEvent(event);
}

bool ProgrammerDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  const int key = static_cast<QKeyEvent*>(event)->key();
  const QPoint step = key == Qt::Key_Up      ? QPoint(0, -1)
                      : key == Qt::Key_Down  ? QPoint(0, 1)
                      : key == Qt::Key_Left  ? QPoint(-1, 0)
                      : key == Qt::Key_Right ? QPoint(1, 0)
                                             : QPoint();
  if (step.isNull()) return QDialog::eventFilter(watched, event);
  // The nearest button that way, else the farthest the other way: the focus walks round. Qt's
  // own walk would select the next mode, and the mode decides which pins get 12 V.
  const QPoint from = static_cast<QWidget*>(watched)->geometry().center();
  QAbstractButton* nearest = nullptr;
  QAbstractButton* farthest = nullptr;
  int nearestDistance = 0;
  int farthestDistance = 0;
  for (QAbstractButton* button : modeGroup_->buttons()) {
    const QPoint offset = button->geometry().center() - from;
    const int along = offset.x() * step.x() + offset.y() * step.y();
    const int distance =
        std::abs(along) + 2 * (std::abs(offset.x() * step.y()) + std::abs(offset.y() * step.x()));
    if (along > 0 && (nearest == nullptr || distance < nearestDistance)) {
      nearest = button;
      nearestDistance = distance;
    }
    if (along < 0 && (farthest == nullptr || distance > farthestDistance)) {
      farthest = button;
      farthestDistance = distance;
    }
  }
  if (QAbstractButton* next = nearest != nullptr ? nearest : farthest) next->setFocus(Qt::TabFocusReason);
  return true;
}

void ProgrammerDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  // The controls keep their places; the pages take the room beyond the template.
  if (pageTabs_ != nullptr)
    pageTabs_->setGeometry(pagesRect_.adjusted(0, 0, width() - minimumWidth(), height() - minimumHeight()));
  // The room under the controls shows the log, once there is room for a few lines.
  if (sideLog_ != nullptr) {
    const int top = bottomLine_.bottom() + bottomLine_.height() / 2;
    const QRect room(bottomLine_.left(), top, bottomLine_.width(), pageTabs_->geometry().bottom() - top);
    sideLog_->setGeometry(room);
    sideLog_->setVisible(room.height() >= 5 * sideLog_->fontMetrics().height());
  }
}

}  // namespace kestrel::ui
