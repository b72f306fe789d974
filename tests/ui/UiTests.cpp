#include <QClipboard>
#include <QCompleter>
#include <QFileDialog>
#include <QLabel>
#include <QListView>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <algorithm>

#include "DialogFixture.h"
#include "app/StartOptions.h"
#include "base/Texts.h"
#include "ui/DialogTemplate.h"
#include "ui/HexView.h"
#include "ui/Translation.h"
#include "ui/UiTestRegistry.h"

using kestrel::uitest::DialogFixture;
using kestrel::uitest::ReadFile;
namespace texts = kestrel::texts;
namespace ui = kestrel::ui;
using C = ui::ControlId;

// The program's options, and OnInitDialog's order (pages, catalogue, chip list, start values,
// images, views, introduction, probe) with and without a catalogue and a programmer.
class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  // Qt's own options (and their values) are left for QApplication; a mistake is named.
  void ParsesTheOptions() {
    using kestrel::app::ParseStartOptions;
    const auto options = ParseStartOptions({"-platform", "xcb", "-reverse", "-h", "--sim-latency-ms", "250"});
    QVERIFY(options.error.empty() && options.help && options.simulate && options.latencyMs == 250);
    QVERIFY(ParseStartOptions({"-style=fusion", "--sim-absent"}).simulateAbsent);
    QVERIFY(ParseStartOptions({"--simulat"}).error.find("--simulat") != std::string::npos);
    for (const char* bad : {"--sim-latency-ms", "--sim-latency-ms=1001", "--sim-latency-ms=5ms"})
      QVERIFY2(ParseStartOptions({bad}).error.find("latency") != std::string::npos, bad);
    QVERIFY(ParseStartOptions({"--lang", "pt_BR"}).language == "pt_BR" && !ParseStartOptions({}).language);
    for (const char* bad : {"--lang", "--lang=", "--lang=en-GB", "--lang=../en"})
      QVERIFY2(ParseStartOptions({bad}).error.find("language") != std::string::npos, bad);
  }

  // With the translation loaded as the program loads it (English for a language without one
  // of its own), the window's captions are English; without it they are its own again.
  void ShowsTheTranslatedCaptions() {
    const auto folders = ui::TranslationSearchPaths(QCoreApplication::applicationDirPath().toStdString());
    QTranslator english;
    QVERIFY(ui::LoadTranslation(english, "de", folders) && english.language() == "en");
    for (const bool translated : {true, false}) {
      if (translated) QCoreApplication::installTranslator(&english);
      DialogFixture f;
      QCOMPARE(static_cast<QPushButton*>(f.dialog.Control(C::ReadSignatureButton))->text(),
               translated ? "read" : "read读");
      QCOMPARE(static_cast<QLabel*>(f.dialog.Control(C::FuseLockLabel))->text(),
               translated ? "fuse & lock" : "熔丝与锁定:fuse & lock");
      QCoreApplication::removeTranslator(&english);
    }
  }

  // The list keeps the catalogue's order and shows entry 0; only a user's pick sets the geometry.
  // The programmer shows as gone after an unplugged request, back when a device arrives (quietly).
  void WithCatalogueAndProgrammer() {
    QTemporaryDir dir;
    const std::string catalogue = dir.filePath("chip.txt").toStdString();
    std::ofstream(catalogue) << "ATmega2560|1024:128|1024:4<ATmega128|512:128|1024:4<ATtiny13|32:16|16:4<";
    DialogFixture f;
    QVERIFY(f.Start({catalogue}) && f.dialogs.empty() && f.dialog.flashHexView().Length() == 1024);
    QVERIFY(f.Lines().size() == 1 && f.Lines()[0].endsWith("编程器:就绪.") && f.tones.size() == 1);
    QCOMPARE(f.Field(C::FuseText).text() + f.Field(C::LockText).text(), "E199FFFF");
    QVERIFY(f.ChipList().currentIndex() == 0 && f.ChipList().itemText(1) == "ATmega128");
    QCOMPARE(f.dialog.controller().geometry(), kestrel::chips::ChipGeometry{});
    emit f.ChipList().activated(0);
    QCOMPARE(f.dialog.controller().geometry().EepromSize(), 4096);
    f.bus.InjectFaults(0, 1);
    QVERIFY(f.Press({C::ReadSignatureButton}) &&
            f.dialog.connectionLabel().text() == "未连接 not connected · PP_20");
    f.bus.InjectFaults(0, 0);
    const int finds = f.bus.findDevicesCount();
    f.dialog.OnDeviceArrival();
    QVERIFY(f.bus.findDevicesCount() == finds + 1 && f.dialogs.empty());
    QCOMPARE(f.dialog.connectionLabel().text(), "已连接 connected 001:002 · PP_20");
  }

  // With two programmers plugged in, the connection line lists them; choosing one opens it.
  void TwoProgrammersAreListed() {
    DialogFixture f({.programmers = 2});
    QVERIFY(f.Start());
    auto* list = f.dialog.findChild<QComboBox*>("programmerList");
    QVERIFY(list->isVisibleTo(&f.dialog) && list->count() == 2 && list->currentText() == "001:002");
    list->setCurrentIndex(1);
    emit list->activated(1);
    QVERIFY(f.Press({}) && f.dialog.controller().Idle() && list->currentText() == "001:003");
    f.bus.programmer(1).lock = 0xFC;
    QVERIFY(f.Press({C::ReadFuseLockButton}) && f.Field(C::FuseLockText).text().endsWith("FC"));
  }

  // The next start has the chip, mode, texts, boxes, place, folders and recent files of the last
  // (a file gone since passed over); the file dialog opens in its folder, closes its completion.
  void TheNextStartRestoresTheLast() {
    QTemporaryDir dir;
    {
      DialogFixture f;
      f.chosenFiles = {KESTREL_TEST_DATA "/hex/program.hex", dir.filePath("gone.bin").toStdString()};
      QVERIFY(f.Start() && f.Press({C::OpenFlashButton, C::OpenFlashButton, C::ModeIsp, C::AutoErase}));
      f.Pick("ATmega328P");
      f.Field(C::FuseText).setText("E2D9FE");
      f.dialog.move(40, 30);
      f.dialog.done(0);
    }
    DialogFixture f({}, true);
    QVERIFY(f.Start() && f.ChipList().currentText() == "ATmega328P" && f.dialog.pos() == QPoint(40, 30));
    QVERIFY(f.Checked(C::ModeIsp) && f.Checked(C::AutoErase) && !f.Checked(C::AutoWriteFlash) &&
            f.Field(C::FuseText).text() == "E2D9FE");
    QVERIFY(f.dialog.controller().geometry().FlashSize() == 32768 &&
            f.dialog.RecentFiles(kestrel::control::FileDialogKind::OpenFlash) ==
                QStringList{KESTREL_TEST_DATA "/hex/program.hex"});
    f.dialog.SetFileChooser(nullptr);
    QTimer::singleShot(0, [&] {
      auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      QVERIFY(files->testOption(QFileDialog::DontUseNativeDialog) && files->directory() == QDir(dir.path()));
      files->findChild<QLineEdit*>("fileNameEdit")->completer()->popup()->show();
      static_cast<QDialog*>(files)->reject();
    });
    QVERIFY(f.Press({C::OpenFlashButton}) && !QApplication::activePopupWidget());
  }

  // No catalogue: the pages, then a message naming where it looked, and nothing after.
  void WithoutCatalogueStopsAfterThePages() {
    DialogFixture f;
    QVERIFY(!f.Start({"/nonexistent/a/chip.txt", "/nonexistent/b/chip.txt"}));
    QVERIFY(f.dialog.pageTabs()->count() == 6 && f.dialogs.size() == 1);
    QVERIFY(f.dialogs[0].find("/nonexistent/b/chip.txt") != std::string::npos);
    QVERIFY(f.ChipList().count() == 0 && f.Field(C::FuseText).text().isEmpty());
    QVERIFY(f.dialog.flashHexView().Length() == 0 && f.bus.findDevicesCount() == 0);
  }

  // No programmer: the message and no status line; the window still works, and a device
  // arriving brings the message again.
  void WithoutProgrammerStaysUsable() {
    DialogFixture f({.programmerPresent = false});
    QVERIFY(!f.Start() && f.Lines().empty() && f.dialog.flashHexView().Length() == 1024);
    QCOMPARE(f.dialogs, std::vector<std::string>{texts::InsertProgrammerMessage()});
    QVERIFY(f.Press({C::ReadSignatureButton}) && !f.Lines().empty());
    f.dialog.OnDeviceArrival();
    QCOMPARE(f.dialogs.size(), 2u);
  }
};

// What the window adds to the controller (its controls and their bindings, its pages), and
// one session end to end.
class OperationsTest : public QObject {
  Q_OBJECT

 private slots:
  // Every control of the template exists, every push button but Stop presses an operation, and
  // each its own: the vendor requests it sends (runs shown once), the file dialog it opens, or
  // its report.
  void ButtonsReachTheirOperations() {
    const char* const kNothingRead =
        "运行未开始：输入被拒绝，未向芯片发送任何内容";  // a verify without a read
    // clang-format off
    const std::pair<C, const char*> rows[] = {
        {C::ReadSignatureButton, "3"}, {C::ReadCalibrationButton, "4"}, {C::ReadFuseLockButton, "5"}, {C::EraseButton, "2 5"}, {C::WriteFusesButton, "6 5"}, {C::WriteLockButton, "7 5"}, {C::WriteFlashButton, "8 0"},
        {C::ReadFlashButton, "10 0"}, {C::WriteEepromButton, "9 0"}, {C::ReadEepromButton, "11 0"}, {C::BurnButton, "3 4 2 8 0 10 0 6 7 5"}, {C::OpenFlashButton, "file 0"},
        {C::OpenEepromButton, "file 1"}, {C::SaveFlashButton, "file 2"}, {C::SaveEepromButton, "file 3"}, {C::VerifyFlashButton, kNothingRead},
        {C::VerifyEepromButton, kNothingRead}};
    // clang-format on
    for (const auto& control : ui::MainDialogTemplate()) {
      const bool pressed = std::ranges::any_of(ui::kButtonOperations,
                                               [&](const auto& entry) { return entry.button == control.id; });
      QCOMPARE(pressed, control.kind == ui::ControlKind::PushButton && control.id != C::StopButton);
    }
    for (const auto& [button, effect] : rows) {
      DialogFixture f;
      QSettings(ui::kSettingsOrganisation, ui::kSettingsApplication).setValue("askBeforeErase", false);
      for (const auto& control : kestrel::ui::MainDialogTemplate()) QVERIFY(f.dialog.Control(control.id));
      QVERIFY(f.Start());
      f.LoadImages();
      f.bus.ClearRequests();
      QVERIFY(f.Press({button}));
      QStringList seen;
      for (const auto& sent : f.bus.requests()) seen << QString::number(sent.request.request);
      for (const auto& opened : f.dialogs) seen << QString::fromStdString(opened);
      seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
      QCOMPARE(seen.isEmpty() ? f.Lines().back() : seen.join(' '), QString::fromUtf8(effect));
    }
  }

  // The radio buttons set the mode of the next request; a page switch updates the selected mode.
  void RadioButtonsSetTheMode() {
    DialogFixture f;
    QVERIFY(f.Start());
    using enum kestrel::device::ProgrammingMode;
    for (const auto& [radio, mode] :
         {std::pair{C::ModeIsp, ISP}, {C::ModeHvsp, HVSP}, {C::ModePP2313, PP_2313}, {C::ModePP20, PP_20}}) {
      QVERIFY(f.Press({radio, C::ReadSignatureButton}));
      QVERIFY(f.bus.requests().back().request.request == static_cast<int>(mode) * 16 + 3 &&
              f.dialog.selectedMode() == mode);
    }
  }

  // Each box sets its own part of Auto (the boxes in the order of the selection's members);
  // the fuse and lock fields are what the writes send.
  void BoxesAndFieldsFeedTheOperations() {
    DialogFixture f;
    const C boxes[] = {C::AutoErase,        C::AutoWriteFlash,  C::AutoReadFlash,
                       C::AutoVerifyFlash,  C::AutoWriteEeprom, C::AutoReadEeprom,
                       C::AutoVerifyEeprom, C::AutoWriteFuses,  C::AutoWriteLock};
    for (int i = 0; i < 9; ++i) {
      const kestrel::control::AutoSelection expected{i == 0, i == 1, i == 2, i == 3, i == 4,
                                                     i == 5, i == 6, i == 7, i == 8};
      QVERIFY(f.Press({boxes[i]}) && f.dialog.AutoBoxes() == expected && f.Press({boxes[i]}));
    }
    QVERIFY(f.Start());
    f.Field(C::FuseText).setText("E4D9FE");
    f.Field(C::LockText).setText("FC");
    QVERIFY(f.Press({C::WriteFusesButton, C::WriteLockButton}) && f.bus.programmer().lock == 0xFC);
    QCOMPARE(f.bus.programmer().fuses, (std::array<std::uint8_t, 3>{0xE4, 0xD9, 0xFE}));
  }

  // While a transfer runs, neither the close box nor Ctrl+Q closes the window: each gives the
  // busy line and the error beep (no failure of the run). Once it has ended, Ctrl+Q closes it.
  void CloseIsRefusedWhileBusy() {
    DialogFixture f({.latencyMs = 5});
    QVERIFY(f.Start());
    f.LoadImages();
    QVERIFY(f.Show());
    static_cast<QAbstractButton*>(f.dialog.Control(C::WriteFlashButton))->click();
    f.dialog.close();
    QTest::keyClick(&f.dialog, Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(f.dialog.isVisible() && f.Press({}) && f.Log().count(texts::kBusyLine.c_str()) == 2);
    QCOMPARE(f.dialog.progressBar().text(), "通过 PASS");
    QCOMPARE(std::count(f.tones.begin(), f.tones.end(), kestrel::kErrorToneHz), 2L);
    QTest::keyClick(&f.dialog, Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!f.dialog.isVisible());
  }

  // Return and Escape end nothing; Tab walks the controls row by row; arrows walk the modes; every
  // button has its own tip. The window fits the screen (800 pixels here), its pages take more.
  void TheWindowAsTheKeyboardAndScreenFindIt() {
    DialogFixture f;
    QVERIFY(f.Start() && f.Show());
    for (QWidget* w :
         {(QWidget*)&f.Field(C::FuseText), (QWidget*)&f.dialog.flashHexView(), (QWidget*)&f.ChipList()})
      for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) QTest::keyClick(w, key);
    QStringList walked;
    f.ChipList().setFocus();
    for (int i = 0; i < 34; ++i, QTest::keyClick(f.dialog.focusWidget(), Qt::Key_Tab))
      walked << f.dialog.focusWidget()->objectName();
    QStringList order;
    for (const C id : {C::ChipList,
                       C::ReadSignatureButton,
                       C::ModePP20,
                       C::ReadFuseLockButton,
                       C::ReadCalibrationButton,
                       C::OpenFlashButton,
                       C::SaveFlashButton,
                       C::OpenEepromButton,
                       C::SaveEepromButton,
                       C::AutoErase,
                       C::AutoReadEeprom,
                       C::ReadEepromButton,
                       C::AutoWriteFlash,
                       C::WriteFlashButton,
                       C::AutoVerifyEeprom,
                       C::VerifyEepromButton,
                       C::AutoReadFlash,
                       C::ReadFlashButton,
                       C::FastVerifyBox,
                       C::AutoVerifyFlash,
                       C::VerifyFlashButton,
                       C::AutoWriteFuses,
                       C::FuseText,
                       C::WriteFusesButton,
                       C::AutoWriteEeprom,
                       C::WriteEepromButton,
                       C::AutoWriteLock,
                       C::LockText,
                       C::WriteLockButton,
                       C::EraseButton,
                       C::AutoButton})
      order << f.dialog.Control(id)->objectName();
    order << f.dialog.pageTabs()->tabBar()->objectName() << f.dialog.Control(C::LogList)->objectName()
          << f.dialog.Control(C::ChipList)->objectName();
    QCOMPARE(walked, order);
    // An arrow moves the focus only (to PP_2313, mode 3, below); Space selects, which is said.
    f.dialog.Control(C::ModePP20)->setFocus();
    QTest::keyClick(f.dialog.Control(C::ModePP20), Qt::Key_Down);
    QVERIFY(f.Checked(C::ModePP20) && f.dialog.focusWidget() == f.dialog.Control(C::ModePP2313));
    QTest::keyClick(f.dialog.focusWidget(), Qt::Key_Space);
    QVERIFY(f.Lines().back() == "编程模式 mode：PP_2313" &&
            f.dialog.connectionLabel().text().endsWith("PP_2313"));
    f.LoadImages();
    for (const char* keys : {"Ctrl+O", "Ctrl+Shift+O", "Ctrl+S", "Ctrl+Shift+S", "F5"})
      QTest::keySequence(&f.dialog, QKeySequence(keys));
    QVERIFY(f.Press({}) && f.Lines().size() == 1 && f.bus.requests().back().request.request == 3 * 16 + 5);
    QCOMPARE(f.dialogs, (std::vector<std::string>{"file 0", "file 1", "file 2", "file 3"}));
    QSet<QString> tips;
    for (const QPushButton* b : f.dialog.findChildren<QPushButton*>())
      QVERIFY(QRegularExpression("\\p{Han}.*\n[a-z]+ [a-z]+").match(*tips.insert(b->toolTip())).hasMatch());
    QCOMPARE(tips.size(), f.dialog.findChildren<QPushButton*>().size());
    const QSize least = ui::DialogUnitsToPixels(ui::kMainDialogSize, ui::BaseUnitsOf(f.dialog.font()));
    QVERIFY(f.dialog.minimumSize() == least &&
            least.width() <= f.dialog.screen()->availableGeometry().width());
    QVERIFY(ui::FitDialogFont(ui::DialogFont(), {4000, 4000}) == ui::DialogFont() &&
            (f.dialog.windowFlags() & Qt::WindowMaximizeButtonHint));
    const QRect pages = f.dialog.pageTabs()->geometry();
    f.dialog.resize(least + QSize(300, 200));
    QTRY_COMPARE(f.dialog.pageTabs()->geometry(), pages.adjusted(0, 0, 300, 200));
  }

  // Only catalogue names, six and two hex digits are taken; a dropped file opens into its page,
  // which says whose bytes it shows and marks edits; the log's menu copies, saves and clears.
  void InputsPagesAndLog() {
    QTemporaryDir dir;
    DialogFixture f;
    QVERIFY(f.Start());
    for (const char* typed : {"ATbogus\r", "atmega328p\r"}) {
      f.ChipList().lineEdit()->selectAll();
      QTest::keyClicks(&f.ChipList(), typed);
      QCOMPARE(f.ChipList().currentText(), typed[0] == 'A' ? f.ChipList().itemText(0) : "ATmega328P");
    }
    for (const auto& [id, typed] : {std::pair{C::FuseText, "e2d9ff12zz"}, std::pair{C::LockText, "fc0"}})
      f.Field(id).clear(), QTest::keyClicks(&f.Field(id), typed);
    QVERIFY(f.Field(C::FuseText).text() + f.Field(C::LockText).text() == "e2d9fffc");
    ui::HexView& view = f.dialog.flashHexView();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(KESTREL_TEST_DATA "/hex/program.hex")});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    for (QDropEvent* event : {static_cast<QDropEvent*>(&enter), &drop})
      QApplication::sendEvent(view.viewport(), event);
    QVERIFY(f.Press({}) && f.dialogs.empty() && view.Caption() == "文件映像 file image：program.hex");
    QVERIFY(f.Press({C::ReadFlashButton}) && view.Caption().startsWith("芯片读出 chip read-back "));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.CellCentre(1, true));
    QTest::keyClicks(&view, "Ok");
    QVERIFY(view.At(1) == 'O' && view.At(2) == 'k' && view.IsEdited(2) && !view.IsEdited(3));
    for (int i = 0; i < 2; ++i) QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(!view.IsEdited(1) && !view.IsEdited(2));
    auto* log = static_cast<QAbstractItemView*>(f.dialog.Control(C::LogList));
    log->selectAll();
    log->findChild<QAction*>("logCopy")->trigger();
    QVERIFY(QApplication::clipboard()->text() == f.Log() && f.dialog.SaveLog(dir.filePath("log")));
    QCOMPARE(QString::fromStdString(ReadFile(dir.filePath("log").toStdString())), f.Log() + "\n");
    log->findChild<QAction*>("logClear")->trigger();
    QVERIFY(f.Lines().empty() && f.Press({C::ReadSignatureButton}) && f.Lines().size() == 1);
  }

  // The bar counts a transfer's pages, then tells whether the run failed. Stop, which works only
  // while a transfer runs, ends it and its run; the failed operation's lines are red.
  void TheBarTellsTheOutcome() {
    DialogFixture f({.latencyMs = 5});
    QVERIFY(f.Start());
    f.LoadImages();
    QProgressBar& bar = f.dialog.progressBar();
    auto& stop = *static_cast<QAbstractButton*>(f.dialog.Control(C::StopButton));
    QStringList shown;
    QObject::connect(&bar, &QProgressBar::valueChanged, [&] { shown << bar.text(); });
    QVERIFY(f.Press({C::ReadFlashButton}) && shown.contains("FLASH 读取 32/32 页") &&
            bar.text() == "通过 PASS");
    QVERIFY(f.Press({C::FastVerifyBox, C::AutoErase, C::AutoWriteFlash, C::AutoReadFlash, C::AutoVerifyFlash,
                     C::AutoButton}) &&
            f.Log().contains("快速校验："));
    static_cast<QAbstractButton*>(f.dialog.Control(C::AutoButton))->click();
    stop.click();
    QVERIFY(f.Press({}) && f.Log().contains("操作已停止 stopped") && !f.Log().contains("FLASH读取开始"));
    const auto red = [&](int i) { return f.dialog.logModel().index(i).data(Qt::ForegroundRole).isValid(); };
    QVERIFY(red(1) && red(2) && !red(0) && bar.text() == "失败 FAIL" && !stop.isEnabled());  // erase, write
  }

  // A plan refused before the first request: Auto writing FLASH with no file open, and in ISP a
  // restore and a Burn whose fuses lock ISP out, the question answered No. The bus carries nothing.
  void ARefusedPlanSendsNothing_data() {
    QTest::addColumn<int>("press");
    QTest::newRow("auto write-flash, no file") << 0;
    QTest::newRow("restore, RSTDISBL") << 1;
    QTest::newRow("burn, RSTDISBL") << 2;
  }
  void ARefusedPlanSendsNothing() {
    QFETCH(int, press);
    QTemporaryDir dir;
    const std::string file = dir.filePath("rstdisbl.hex").toStdString();
    // A whole-chip ATmega328P file: FLASH, fuses 62 59 FF (RSTDISBL programmed), lock FF, signature.
    std::ofstream(file) << ":020000000C945E\n:02000004008278\n:030000006259FF43\n:02000004008377\n"
                           ":01000000FF00\n:02000004008476\n:030000000F951E3B\n:00000001FF\n";
    DialogFixture f;
    f.chosenFiles = {file};
    QSettings(ui::kSettingsOrganisation, ui::kSettingsApplication).setValue("askBeforeErase", false);
    QVERIFY(f.Start() && f.Press({C::ModeIsp}));
    f.Pick("ATmega328P");
    if (press == 2) {  // Burn writes FLASH too: only its fuses are to be refused
      f.LoadImages();
      f.Field(C::FuseText).setText("6259FF");
    }
    f.bus.ClearRequests();
    QVERIFY(press == 0   ? f.Press({C::AutoWriteFlash, C::AutoButton})
            : press == 1 ? f.PressFuse({"fuseRestore"})
                         : f.Press({C::BurnButton}));
    QVERIFY2(f.bus.requests().empty(), qPrintable(f.Log()));
    QCOMPARE(f.dialog.progressBar().text(), "失败 FAIL");
  }

  // Torn down while its worker hands the last code over, the window lets that code through first.
  void TeardownLetsTheLastCodeThrough() {
    DialogFixture f;
    auto dialog = std::make_unique<ui::ProgrammerDialog>(f.bus, f);
    QVERIFY(dialog->OnInitDialog({KESTREL_SOURCE_DIR "/data/chip.txt"}));
    static_cast<QAbstractButton*>(dialog->Control(C::ReadFlashButton))->click();
    // The last page's progress comes just before the final code.
    while (dialog->progressBar().value() < 100) QCoreApplication::processEvents();
  }

  // A finished read brings its page forward, a log line the log page, a tab click its page:
  // its tab selected, its window the only one shown.
  void ResultsAndTabsBringTheirPageForward() {
    DialogFixture f;
    QVERIFY(f.Start());
    f.dialog.show();
    QTabWidget& pages = *f.dialog.pageTabs();
    // The page tabs themselves: a click on the fourth tab.
    for (const auto& [control, page] : {std::pair{C::ReadFlashButton, 0},
                                        {C::ReadEepromButton, 1},
                                        {C::ReadSignatureButton, 2},
                                        {C::PageTabs, 3}}) {
      const bool tab = control == C::PageTabs;
      if (tab) QTest::mouseClick(pages.tabBar(), Qt::LeftButton, {}, pages.tabBar()->tabRect(3).center());
      QVERIFY(tab || f.Press({control}));
      QCOMPARE(pages.currentIndex(), page);
      for (int i = 0; i < 4; ++i) QCOMPARE(pages.widget(i)->isVisible(), i == page);
    }
  }

  // Keys typed into the views are what a save writes: hex digits overwrite the nibble at the
  // cursor and move on, other characters change nothing, the cursor stops at the end.
  void ViewEditsReachTheSave() {
    QTemporaryDir dir;
    DialogFixture f;
    f.chosenFiles = {dir.filePath("f.bin").toStdString(), dir.filePath("e.bin").toStdString()};
    QVERIFY(f.Start());
    QTest::keyClicks(&f.dialog.flashHexView(), "a5Bcx-");
    QTest::keyClick(&f.dialog.flashHexView(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(&f.dialog.flashHexView(), "e1");
    QTest::keyClicks(&f.dialog.eepromHexView(), "12");
    QVERIFY(f.Press({C::SaveFlashButton, C::SaveEepromButton}));
    QCOMPARE(ReadFile(f.chosenFiles[0]), "\xA5\xBC" + std::string(1021, '\xFF') + "\xF1");
    QCOMPARE(ReadFile(f.chosenFiles[1]), "\x12");
  }

  // An edited byte is what a write sends, in a file image and in a read-back (which then becomes
  // the image); the caption counts the edits, Ctrl+Y redoes. What would replace unsaved edits
  // asks first: Cancel keeps them, Discard goes on; a quit asks too.
  void AnEditIsWhatTheChipGets() {
    DialogFixture f;
    f.chosenFiles = {KESTREL_SOURCE_DIR "/data/examples/blink/blink.hex"};
    QVERIFY(f.Start() && f.Press({C::OpenFlashButton}) && f.Show());
    ui::HexView& view = f.dialog.flashHexView();
    QTest::keyClicks(&view, "11");
    QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(&view, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(view.Caption(), "文件映像 file image：blink.hex，已编辑 edited：1 字节");
    QVERIFY(f.Press({C::WriteFlashButton}) && f.Press({C::ReadFlashButton}) &&
            f.bus.programmer().flash[0] == 0x11);
    QVERIFY(f.dialogs.back().starts_with("choice FLASH 窗口页的改动尚未保存") &&
            view.Caption().endsWith("字节"));
    f.choice = ui::ProgrammerDialog::Choice::Discard;
    QVERIFY(f.Press({C::ReadFlashButton}) && view.Caption().startsWith("芯片读出 chip read-back "));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.CellCentre(1, false));
    QTest::keyClicks(&view, "22");
    f.answerYes = true;  // to the erase: flash bits only go from 1 to 0
    QVERIFY(f.Press({C::EraseButton}) && f.Press({C::WriteFlashButton}));
    QVERIFY(f.bus.programmer().flash[1] == 0x22 && f.bus.programmer().flash[0] == 0x11);
    f.choice = ui::ProgrammerDialog::Choice::Cancel;
    const std::size_t asked = f.dialogs.size();
    f.dialog.close();
    QVERIFY(f.dialog.isVisible() && f.dialogs.size() == asked + 1);
    f.choice = ui::ProgrammerDialog::Choice::Discard;
    f.dialog.close();
    QVERIFY(!f.dialog.isVisible());
  }

  // The one session end to end, as a user runs it on the simulated programmer: open a HEX
  // file, tick erase, write, read and verify FLASH, press Auto.
  void OpenAFileAndRunAuto() {
    DialogFixture f;
    f.chosenFiles = {KESTREL_TEST_DATA "/hex/program.hex"};
    QVERIFY(f.Start());
    f.dialog.show();
    QVERIFY(f.Press({C::OpenFlashButton, C::AutoErase, C::AutoWriteFlash, C::AutoReadFlash,
                     C::AutoVerifyFlash, C::AutoButton}));
    const QString log = f.Log();
    QVERIFY(log.count("FLASH编程OK") == 1 && log.count("FLASH读取OK") == 1 &&
            log.count(texts::kFlashVerifyEnd.c_str()) == 1);
    QVERIFY(!log.contains("地址：") && log.endsWith("熔丝与锁定位读取OK"));
    QCOMPARE(f.tones, std::vector<int>(3, kestrel::kSuccessToneHz));  // start-up, file, Auto
    const auto& view =
        *static_cast<QListView*>(f.dialog.Control(C::LogList));  // all lines, the last selected
    QCOMPARE(view.model()->rowCount(), int(f.Lines().size()));
    QCOMPARE(view.currentIndex().row() + 1, view.model()->rowCount());
    std::string shown;
    for (std::size_t i = 0; i < 1024; ++i) shown += static_cast<char>(f.dialog.flashHexView().At(i));
    QCOMPARE(shown, ReadFile(KESTREL_TEST_DATA "/hex/program.bin") + std::string(1024 - 334, '\xFF'));
    QCOMPARE(std::string(f.bus.programmer().flash.begin(), f.bus.programmer().flash.begin() + 1024), shown);
  }
};

KESTREL_UI_TEST(StartupTest);
KESTREL_UI_TEST(OperationsTest);

#include "UiTests.moc"
