#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include "control/Texts.h"
#include "device/StatusCode.h"
#include "ui/DialogColours.h"
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
    QCOMPARE(tabs->tabText(0), QStringLiteral("FLASH"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("EEPROM"));
    QCOMPARE(tabs->tabText(2), QStringLiteral("编程状态"));
    QCOMPARE(tabs->tabText(3), QStringLiteral("功能介绍"));
    QCOMPARE(f.dialog.pageTabs()->tabPosition(), QTabWidget::South);
    for (int page = 0; page < 4; ++page) QVERIFY(!tabs->tabIcon(page).isNull());
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

  void ViewsHaveTheirColours() {
    DialogFixture f;
    QVERIFY(f.Start());
    QCOMPARE(f.dialog.flashHexView().ViewColour(), QColor(38, 81, 126));
    QCOMPARE(f.dialog.eepromHexView().ViewColour(), QColor(46, 114, 194));
  }

  // Labels, radio buttons and the plain read-only fields show red on white.
  void DialogColours() {
    DialogFixture f;
    QVERIFY(f.Start());
    QCOMPARE(f.dialog.palette().color(QPalette::Window), QColor(255, 255, 255));
    for (const int id : {1052, 1059, 1063, 1011, 1055, 1065})
      QCOMPARE(f.dialog.Control(id)->palette().color(QPalette::WindowText), QColor(250, 0, 0));
    for (const int id : {1045, 1046})
      QCOMPARE(f.dialog.Control(id)->palette().color(QPalette::Text), QColor(250, 0, 0));
  }

  // PP_2313 is the fourth of the group but drawn second from the top.
  void RadioButtonsDrawnOutOfGroupOrder() {
    DialogFixture f;
    const int pp20 = f.dialog.Control(1055)->y();
    const int pp2313 = f.dialog.Control(1065)->y();
    const int isp = f.dialog.Control(1056)->y();
    const int hvsp = f.dialog.Control(1062)->y();
    QVERIFY(pp20 < pp2313 && pp2313 < isp && isp < hvsp);
  }
};

KESTREL_UI_TEST(PagesTest);

#include "PagesTest.moc"
