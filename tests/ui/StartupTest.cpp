#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include "control/Texts.h"
#include "ui/AboutDialog.h"
#include "ui/HexView.h"
#include "ui/IntroText.h"
#include "ui/UiTestRegistry.h"
#include "DialogFixture.h"

using kestrel::uitest::DialogFixture;
using kestrel::uitest::WriteFile;
namespace texts = kestrel::texts;

namespace {

QString FieldText(DialogFixture& f, int id) { return static_cast<QLineEdit*>(f.dialog.Control(id))->text(); }

QComboBox& ChipList(DialogFixture& f) { return *static_cast<QComboBox*>(f.dialog.Control(1043)); }

}  // namespace

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void StartsOnTheLogPageWithTheStartValuesAndTheReadyLine() {
    DialogFixture f;
    QVERIFY(f.Start());
    QVERIFY(f.messages.empty());
    QCOMPARE(f.dialog.pageTabs()->count(), 4);
    QCOMPARE(f.dialog.pageTabs()->currentIndex(), 2);
    QCOMPARE(FieldText(f, 1009), QStringLiteral("E199FF"));
    QCOMPARE(FieldText(f, 1014), QStringLiteral("FF"));
    for (const int id : {1045, 1046, 1047}) QVERIFY(FieldText(f, id).isEmpty());
    // The probe's status 0: the ready line, then the success beep.
    QCOMPARE(f.Lines().size(), std::size_t{1});
    QVERIFY(f.HasLineEnding("编程器:就绪."));
    QCOMPARE(f.tones.Count(kestrel::device::kSuccessToneHz), 1);
    QCOMPARE(f.tones.Count(kestrel::device::kErrorToneHz), 0);
    // PP_20 checked, mode 0, the introduction and the button images in place.
    QVERIFY(static_cast<QRadioButton*>(f.dialog.Control(1055))->isChecked());
    QCOMPARE(f.dialog.modeIndex(), 0);
    QCOMPARE(int{f.dialog.controller().link().currentMode}, 0);
    QCOMPARE(static_cast<QPlainTextEdit*>(f.dialog.Control(1041))->toPlainText(),
             QString::fromStdString(kestrel::ui::IntroText()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    QVERIFY(!static_cast<QPushButton*>(f.dialog.Control(1001))->icon().isNull());
    QVERIFY(f.dialog.Control(1066)->isHidden());
  }

  // Whatever entry 0 is, nothing selects it for the geometry: the views get the start-up sizes.
  void ChipListKeepsCatalogueOrderAndViewsKeepStartLengths() {
    QTemporaryDir dir;
    const std::string catalogue =
        WriteFile(dir, "chip.txt", "ATmega2560|1024:128|1024:8<ATmega128|512:128|1024:8<ATtiny13|32:16|16:4<");
    DialogFixture f;
    QVERIFY(f.Start({catalogue}));
    QComboBox& chips = ChipList(f);
    QCOMPARE(chips.count(), 3);
    QCOMPARE(chips.itemText(1), QStringLiteral("ATmega128"));
    QCOMPARE(chips.currentIndex(), 0);
    QCOMPARE(f.dialog.flashHexView().Length(), std::size_t{1024});
    QCOMPARE(f.dialog.eepromHexView().Length(), std::size_t{64});
    QCOMPARE(f.dialog.controller().geometry(), kestrel::chips::ChipGeometry{});

    // A pick by the user does set the geometry, and leaves the views at their length.
    chips.setCurrentIndex(1);
    emit chips.activated(1);
    QCOMPARE(f.dialog.controller().geometry().FlashSize(), 512 * 128 * 2);
    QCOMPARE(f.dialog.flashHexView().Length(), std::size_t{1024});
  }

  // No catalogue: the pages and the log page, then a message naming where it looked, and
  // nothing of what follows (chip list, start values, images, views, introduction, probe).
  void WithoutCatalogueStopsAfterThePages() {
    DialogFixture f;
    QVERIFY(!f.Start({"/nonexistent/a/chip.txt", "/nonexistent/b/chip.txt"}));
    QCOMPARE(f.dialog.pageTabs()->count(), 4);
    QCOMPARE(f.dialog.pageTabs()->currentIndex(), 2);
    QCOMPARE(f.messages.size(), std::size_t{1});
    QVERIFY(f.messages[0].find("/nonexistent/a/chip.txt") != std::string::npos);
    QVERIFY(f.messages[0].find("/nonexistent/b/chip.txt") != std::string::npos);
    QCOMPARE(ChipList(f).count(), 0);
    QVERIFY(FieldText(f, 1009).isEmpty());
    QVERIFY(FieldText(f, 1014).isEmpty());
    QVERIFY(static_cast<QPushButton*>(f.dialog.Control(1001))->icon().isNull());
    QCOMPARE(f.dialog.flashHexView().Length(), std::size_t{0});
    QVERIFY(static_cast<QPlainTextEdit*>(f.dialog.Control(1041))->toPlainText().isEmpty());
    QCOMPARE(f.bus.findDevicesCount(), 0);
    QVERIFY(!f.HasLineEnding("编程器:就绪."));
  }

  void EmptyCatalogueLeavesTheListEmpty() {
    QTemporaryDir dir;
    DialogFixture f;
    QVERIFY(f.Start({WriteFile(dir, "chip.txt", "")}));
    QCOMPARE(ChipList(f).count(), 0);
    QCOMPARE(ChipList(f).currentIndex(), -1);
    QCOMPARE(FieldText(f, 1009), QStringLiteral("E199FF"));
  }

  // No programmer: the message, no status line, and the window goes on working.
  void WithoutProgrammerShowsTheMessageAndStaysUsable() {
    kestrel::device::SimulatorOptions absent;
    absent.programmerPresent = false;
    DialogFixture f(absent);
    QVERIFY(!f.Start());
    QCOMPARE(f.messages, std::vector<std::string>{texts::InsertProgrammerMessage()});
    QVERIFY(f.Lines().empty());
    QCOMPARE(f.dialog.pageTabs()->currentIndex(), 2);
    QCOMPARE(FieldText(f, 1009), QStringLiteral("E199FF"));
    QCOMPARE(f.dialog.flashHexView().Length(), std::size_t{1024});

    f.Click(1000);
    QVERIFY(f.WaitIdle());
    QVERIFY(!f.Lines().empty());
    // A device arriving triggers discovery again; still nothing there, so the message again.
    f.dialog.OnDeviceArrival();
    QCOMPARE(f.messages.size(), std::size_t{2});
  }

  void ArrivalOfTheProgrammerOpensItQuietly() {
    DialogFixture f;
    QVERIFY(f.Start());
    const int finds = f.bus.findDevicesCount();
    f.dialog.OnDeviceArrival();
    QCOMPARE(f.bus.findDevicesCount(), finds + 1);
    QVERIFY(f.messages.empty());
    QCOMPARE(f.Lines().size(), std::size_t{1});
  }

  void AboutEntryAndBox() {
    DialogFixture f;
    QVERIFY(f.Start());
    QAction* about = f.dialog.findChild<QAction*>(QStringLiteral("aboutAction"));
    QVERIFY(about != nullptr);
    QCOMPARE(about->shortcut(), QKeySequence(Qt::Key_F1));
    QCOMPARE(f.dialog.contextMenuPolicy(), Qt::ActionsContextMenu);

    kestrel::ui::AboutDialog box;
    auto* maker = box.findChild<QLabel*>(QStringLiteral("aboutMaker"));
    auto* ok = box.findChild<QPushButton*>(QStringLiteral("aboutOk"));
    QVERIFY(maker && ok);
    QVERIFY(!box.findChild<QLabel*>(QStringLiteral("aboutIcon"))->pixmap().isNull());
    // Nothing is cut: the maker line fits and the button does not cover it.
    QVERIFY(maker->width() >= maker->sizeHint().width());
    QVERIFY(ok->geometry().left() > maker->geometry().right());
    QVERIFY(box.rect().contains(ok->geometry()));
    box.show();
    QTest::keyClick(&box, Qt::Key_Return);
    QVERIFY(!box.isVisible());
    QCOMPARE(box.result(), int{QDialog::Accepted});
  }
};

KESTREL_UI_TEST(StartupTest);

#include "StartupTest.moc"
