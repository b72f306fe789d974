#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTest>

#include "chips/ChipFacts.h"
#include "ui/FuseEditor.h"
#include "ui/UiTestRegistry.h"

using kestrel::chips::ChipFacts;
using kestrel::chips::FuseSet;
using kestrel::ui::FuseEditor;

class FuseEditorTest : public QObject {
  Q_OBJECT

 private:
  static const ChipFacts* Chip(const char* name) {
    static kestrel::chips::ChipFactsTable table;
    static const bool loaded = LoadChipFacts({KESTREL_SOURCE_DIR "/data/chip-facts.tsv"}, table).loaded;
    return loaded ? table.Find(name) : nullptr;
  }
  template <typename Widget>
  static Widget* Row(const FuseEditor& editor, const char* field) {
    return editor.findChild<Widget*>(QStringLiteral("fuseField_") + QLatin1String(field));
  }

 private slots:
  // Rows show the bytes set from outside; each user change edits one field and is announced
  // once, setting from outside is not.
  void RowsFollowTheBytesAndUserEditsChangeOneField() {
    FuseEditor editor;
    editor.SetChip(Chip("ATmega328P"));
    int edits = 0;
    FuseSet announced;
    connect(&editor, &FuseEditor::fusesEdited, [&](const FuseSet& fuses) { ++edits, announced = fuses; });
    QVERIFY(editor.SetFuseText("E2D9FF") && editor.SetLockText("FF"));
    QVERIFY(!Row<QCheckBox>(editor, "CKDIV8")->isChecked());
    QComboBox* clock = Row<QComboBox>(editor, "SUT_CKSEL");
    QVERIFY(clock->currentData() == 0x22 &&
            clock->currentText().contains(QStringLiteral("RC oscillator 8 MHz")));
    Row<QCheckBox>(editor, "RSTDISBL")->click();  // high bit 7
    QCOMPARE(editor.FuseText(), QStringLiteral("E259FF"));
    QVERIFY(edits == 1 && announced == editor.Fuses());
    QComboBox* boot = Row<QComboBox>(editor, "BOOTSZ");
    QTest::keyClick(boot, Qt::Key_Down);         // 2048 to 1024 words: high bits 2..1
    emit boot->activated(boot->currentIndex());  // the shown value again: no change
    QCOMPARE(editor.FuseText(), QStringLiteral("E25BFF"));
    QCOMPARE(edits, 2);
    // The fields that can lock ISP out stand out and say what they do.
    QVERIFY(Row<QCheckBox>(editor, "DWEN")->palette() != Row<QCheckBox>(editor, "WDTON")->palette());
    QVERIFY(Row<QCheckBox>(editor, "SPIEN")->toolTip().contains(QStringLiteral("unprogramming this")));
    editor.SetFuses(FuseSet{{0x62, 0xD9, 0xFF, 0xFF}});
    QVERIFY(editor.SetFuseText("ff00ff"));
    QCOMPARE(edits, 2);
  }

  // Text to editor to text, exactly six and two hex digits; anything else changes nothing.
  void TextRoundTripsAndRefusesOtherTexts() {
    FuseEditor editor;
    editor.SetChip(Chip("ATmega328P"));
    QVERIFY(editor.SetFuseText("e2d9fd") && editor.SetLockText("cf"));
    QCOMPARE(editor.FuseText() + editor.LockText(), QStringLiteral("E2D9FDCF"));
    for (const char* text : {"", "E2D9F", "E2D9FFF", "E2D9FG", " E2D9F", "Ｅ2D9FF"})
      QVERIFY2(!editor.SetFuseText(QString::fromUtf8(text)), text);
    for (const char* text : {"", "F", "FFF", "G0", "ＦＦ"})
      QVERIFY2(!editor.SetLockText(QString::fromUtf8(text)), text);
    QCOMPARE(editor.FuseText() + editor.LockText(), QStringLiteral("E2D9FDCF"));
  }

  // Reserved values, bits outside every field and a missing extended byte all come back out
  // as they went in after another field is edited.
  void EditingKeepsWhatNoRowShows() {
    FuseEditor editor;
    editor.SetChip(Chip("ATmega328P"));
    QVERIFY(editor.SetFuseText("E1D9FF") && editor.SetLockText("3D"));  // SUT_CKSEL 21, LB 1
    QCOMPARE(Row<QComboBox>(editor, "LB")->currentText(),
             QString::fromUtf8("未列出的值 0x01 unlisted value"));
    Row<QCheckBox>(editor, "CKDIV8")->click();
    QCOMPARE(editor.FuseText() + editor.LockText(), QStringLiteral("61D9FF3D"));
    QVERIFY(editor.SetFuseText("E2D9FF"));  // a listed value from outside drops the extra entry
    QCOMPARE(Row<QComboBox>(editor, "SUT_CKSEL")->findText(QStringLiteral("0x21"), Qt::MatchContains), -1);
    editor.SetChip(Chip("ATtiny13"));  // two fuse bytes, high bits 7..5 unused
    QVERIFY(editor.SetFuseText("6A0F12"));
    Row<QCheckBox>(editor, "CKDIV8")->click();  // low bit 4
    QCOMPARE(editor.FuseText(), QStringLiteral("7A0F12"));
    editor.SetChip(nullptr);
    QVERIFY(editor.findChild<QLabel*>(QStringLiteral("fuseNoFacts"))->isVisibleTo(&editor));
    QVERIFY(!Row<QCheckBox>(editor, "CKDIV8"));
  }
};

KESTREL_UI_TEST(FuseEditorTest);

#include "FuseEditorTest.moc"
