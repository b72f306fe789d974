#include <QCheckBox>
#include <QTabWidget>
#include <QTest>

#include "DialogFixture.h"
#include "base/Texts.h"
#include "ui/FuseEditor.h"
#include "ui/UiTestRegistry.h"

using kestrel::uitest::DialogFixture;
using C = kestrel::ui::ControlId;

// The fuse page on the simulated programmer (an ATmega328P, fuses 62 D9 FF, lock FF).
class FusePageTest : public QObject {
  Q_OBJECT

 private slots:
  // Typed fields reach the editor, edited rows the field of their byte only; a read fills the
  // editor alone, and the page's write then sends what the editor shows.
  void EditorAndFieldsStayInStep() {
    DialogFixture f;
    QVERIFY(f.Start());
    f.Pick("ATmega328P");
    kestrel::ui::FuseEditor& editor = f.dialog.fusePage().editor();
    f.Field(C::FuseText).clear();
    QTest::keyClicks(&f.Field(C::FuseText), "e2d9f");  // five digits: not yet
    QCOMPARE(editor.FuseText(), "62D9FF");
    QTest::keyClicks(&f.Field(C::FuseText), "d");
    f.Field(C::LockText).setText("FC");
    QCOMPARE(editor.FuseText() + editor.LockText(), "E2D9FDFC");
    f.Field(C::LockText).setText("F");
    editor.findChild<QCheckBox*>("fuseField_CKDIV8")->click();
    QVERIFY(f.Field(C::FuseText).text() == "62D9FD" && f.Field(C::LockText).text() == "F");
    f.bus.programmer().fuses = {0xE4, 0xD9, 0xFE};
    f.bus.programmer().lock = 0xEF;
    QVERIFY(f.PressFuse({"fuseRead"}));
    QVERIFY(editor.FuseText() + editor.LockText() == "E4D9FEEF" && f.Field(C::FuseText).text() == "62D9FD");
    QVERIFY(f.PressFuse({"fuseFactoryValues"}) &&
            f.Field(C::FuseText).text() + f.Field(C::LockText).text() == "62D9FFFF");
    QVERIFY(f.PressFuse({"fuseRead", "fuseWrite"}) && f.bus.programmer().fuses[2] == 0xFE);
    QCOMPARE(f.Field(C::FuseText).text(), "E4D9FE");
  }

  // The whole-chip buttons open their file dialogs, a restore after the question naming what it
  // erases. A chip picked brings its own fuse texts: those kept for it, else its factory values.
  // Without the signature check, fuses go to any chip. Identify names the chip on the page
  // (which stays in front) and picks it in the list.
  void IdentifyPicksTheChip() {
    DialogFixture f;
    QVERIFY(f.Start());
    f.Pick("ATmega328P");
    QVERIFY(f.PressFuse({"fuseOpenWholeChip", "fuseBackup"}) && f.PressFuse({"fuseRestore"}));
    QCOMPARE(f.dialogs, (std::vector<std::string>{
                            "file 4", "file 5",
                            "question 这将擦除 ATmega328P 的 FLASH 32 KiB 和 EEPROM 1 KiB，继续吗？\n"
                            "this erases FLASH 32 KiB and EEPROM 1 KiB of ATmega328P: go on?"}));
    f.Field(C::FuseText).setText("E2D9FF");
    f.Pick("ATtiny13");
    QCOMPARE(f.Field(C::FuseText).text() + f.Field(C::LockText).text(), "6AFFFFFF");
    f.Pick("ATmega328P");
    QCOMPARE(f.Field(C::FuseText).text(), "E2D9FF");
    f.Pick("ATtiny13");
    f.dialog.fusePage().findChild<QCheckBox*>("fuseSignatureCheck")->click();  // off: nothing compares
    QVERIFY(f.PressFuse({"fuseWrite"}) && f.bus.programmer().fuses[0] == 0x6A);
    f.dialog.ShowPage(4);
    QVERIFY(f.PressFuse({"fuseIdentify"}) && f.dialog.pageTabs()->currentIndex() == 4);
    QCOMPARE(f.dialog.fusePage().findChild<QLineEdit*>("fuseChip")->text(), "ATmega328P");
    QCOMPARE(f.ChipList().currentText(), "ATmega328P");
    QVERIFY(f.dialog.fusePage().editor().findChild<QCheckBox*>("fuseField_RSTDISBL"));
  }

  // In ISP mode: a factory reset puts the factory fuses in the field and on the chip; fuses
  // that lock ISP out are written only when the question is answered Yes.
  void FactoryResetAndLockoutQuestion() {
    DialogFixture f;
    QVERIFY(f.Start() && f.Press({C::ModeIsp}));
    f.Pick("ATmega328P");
    f.bus.programmer().fuses = {0xE2, 0xD9, 0xFE};
    f.answerYes = true;  // to the erase
    QVERIFY(f.PressFuse({"fuseFactoryReset"}) && f.Log().contains("恢复出厂OK"));
    f.answerYes = false;
    QCOMPARE(f.Field(C::FuseText).text(), "62D9FF");
    QCOMPARE(f.bus.programmer().fuses, (std::array<std::uint8_t, 3>{0x62, 0xD9, 0xFF}));
    f.Field(C::FuseText).setText("6259FF");  // RSTDISBL programmed
    f.bus.ClearRequests();
    QVERIFY(f.PressFuse({"fuseWrite"}) && f.Log().contains(kestrel::texts::kLockoutRefusedLine.c_str()));
    const QString question = QString::fromStdString(f.dialogs.at(1));  // Chinese, then English
    QVERIFY(f.dialogs.size() == 2 && question.contains("复位引脚") &&
            question.contains("Write them anyway?"));
    for (const auto& sent : f.bus.requests()) QVERIFY(sent.request.request != 16 + 6);
    QCOMPARE(f.Field(C::FuseText).text(), "62D9FF");  // the refused text is not kept
    f.Field(C::FuseText).setText("6259FF");
    f.answerYes = true;
    QVERIFY(f.PressFuse({"fuseWrite"}) && f.bus.programmer().fuses[1] == 0x59 && f.dialogs.size() == 3);
    QVERIFY(f.Log().contains(kestrel::texts::kLockoutTookEffectLine.c_str()));
  }
};

KESTREL_UI_TEST(FusePageTest);

#include "FusePageTest.moc"
