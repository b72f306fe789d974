#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include "control/Texts.h"
#include "device/StatusCode.h"
#include "ui/HexView.h"
#include "ui/UiTestRegistry.h"
#include "DialogFixture.h"

using kestrel::uitest::DialogFixture;
using kestrel::uitest::ReadFile;
using kestrel::uitest::WriteFile;

namespace {

constexpr int kPageIds[4] = {1016, 1026, 1034, 1041};

// The page in front: tab selected, its window visible and enabled, the others hidden.
void VerifyFront(DialogFixture& f, int page) {
  QCOMPARE(f.dialog.pageTabs()->currentIndex(), page);
  for (int other = 0; other < 4; ++other) {
    QWidget* window = f.dialog.Control(kPageIds[other]);
    QCOMPARE(window->isVisible(), other == page);
  }
  QVERIFY(f.dialog.Control(kPageIds[page])->isEnabled());
}

std::vector<std::uint8_t> ViewBytes(const kestrel::ui::HexView& view, std::size_t length) {
  std::vector<std::uint8_t> bytes(length);
  view.GetData(bytes.data(), length);
  return bytes;
}

}  // namespace

class PagesTest : public QObject {
  Q_OBJECT

 private slots:
  void ShowPageBringsEachPageForward() {
    DialogFixture f;
    QVERIFY(f.Start());
    f.dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.dialog));
    VerifyFront(f, 2);
    for (const int page : {3, 0, 1, 2, 3}) {
      f.dialog.ShowPage(page);
      VerifyFront(f, page);
    }
    // No such page: nothing changes.
    f.dialog.ShowPage(4);
    VerifyFront(f, 3);
    f.dialog.ShowPage(-1);
    VerifyFront(f, 3);
  }

  void TabClicksSelectTheirPage() {
    DialogFixture f;
    QVERIFY(f.Start());
    f.dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.dialog));
    QTabBar* tabs = f.dialog.pageTabs()->tabBar();
    for (const int page : {0, 3, 1, 2}) {
      QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(page).center());
      VerifyFront(f, page);
    }
    // The tab bar never takes the focus.
    QCOMPARE(tabs->focusPolicy(), Qt::NoFocus);
  }

  // A finished read shows the read-back bytes on its page, even from another page.
  void ReadsBindTheirDataAndBringTheirPageForward() {
    DialogFixture f;
    QVERIFY(f.Start());
    f.dialog.show();
    auto& chip = f.bus.programmer();
    for (int i = 0; i < 1024; ++i) chip.flash[i] = static_cast<std::uint8_t>(i ^ 0x3C);
    for (int i = 0; i < 64; ++i) chip.eeprom[i] = static_cast<std::uint8_t>(200 - i);

    f.dialog.ShowPage(1);
    f.Click(1021);
    QVERIFY(f.WaitIdle());
    VerifyFront(f, 0);
    QVERIFY(ViewBytes(f.dialog.flashHexView(), 1024) ==
            std::vector<std::uint8_t>(chip.flash.begin(), chip.flash.begin() + 1024));

    f.dialog.ShowPage(3);
    f.Click(1018);
    QVERIFY(f.WaitIdle());
    VerifyFront(f, 1);
    QVERIFY(ViewBytes(f.dialog.eepromHexView(), 64) ==
            std::vector<std::uint8_t>(chip.eeprom.begin(), chip.eeprom.begin() + 64));
    // The images stay as they were.
    auto& engine = f.dialog.controller().engine();
    QVERIFY(std::all_of(engine.flashImage.begin(), engine.flashImage.end(), [](auto b) { return b == 0xFF; }));
  }

  // Bytes typed into the FLASH view are saved, but never reach the image that is programmed.
  void EditsReachASaveButNeverTheImage() {
    QTemporaryDir dir;
    std::string content(1024, '\0');
    for (int i = 0; i < 1024; ++i) content[i] = static_cast<char>(i & 0x7F);  // no trailing 0xFF to trim
    const std::string input = WriteFile(dir, "image.bin", content);
    const std::string output = dir.filePath(QStringLiteral("saved.bin")).toStdString();
    DialogFixture f;
    QVERIFY(f.Start());
    f.dialog.show();

    f.chosenFiles.push_back(input);
    f.Click(1001);
    QVERIFY(f.WaitIdle());
    VerifyFront(f, 0);
    kestrel::ui::HexView& view = f.dialog.flashHexView();
    QCOMPARE(ViewBytes(view, 2), (std::vector<std::uint8_t>{0x00, 0x01}));
    view.setFocus();
    QTest::keyClicks(&view, "ABCD");

    f.chosenFiles.push_back(output);
    f.Click(1028);
    QVERIFY(f.WaitIdle());
    std::string expected = content;
    expected[0] = static_cast<char>(0xAB);
    expected[1] = static_cast<char>(0xCD);
    QCOMPARE(ReadFile(output), expected);

    auto& engine = f.dialog.controller().engine();
    QCOMPARE(int{engine.flashImage[0]}, 0x00);
    QCOMPARE(int{engine.flashImage[1]}, 0x01);
    f.Click(1022);
    QVERIFY(f.WaitIdle());
    QCOMPARE(int{f.bus.programmer().flash[0]}, 0x00);
    QCOMPARE(int{f.bus.programmer().flash[1]}, 0x01);
  }
};

KESTREL_UI_TEST(PagesTest);

#include "PagesTest.moc"
