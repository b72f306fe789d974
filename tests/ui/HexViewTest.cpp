#include <QRandomGenerator>
#include <QTest>
#include <vector>

#include "ui/HexView.h"
#include "ui/UiTestRegistry.h"

using kestrel::ui::HexView;

class HexViewTest : public QObject {
  Q_OBJECT

 private:
  static std::vector<std::uint8_t> Counting(std::size_t length) {
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
  }

  static std::vector<std::uint8_t> Read(const HexView& view, std::size_t length) {
    std::vector<std::uint8_t> bytes(length, 0x5A);
    view.GetData(bytes.data(), length);
    return bytes;
  }

 private slots:
  // The view keeps its own copy: later changes to the source do not reach it. Bytes beyond
  // its content read as 0xFF.
  void SetDataCopiesAndGetDataReturnsTheCopy() {
    HexView view;
    std::vector<std::uint8_t> source = Counting(1024);
    view.SetData(source.data(), source.size());
    std::vector<std::uint8_t> expected = source;
    source.assign(source.size(), 0);
    QCOMPARE(view.Length(), std::size_t{1024});
    QVERIFY(Read(view, 1024) == expected);
    QVERIFY(Read(view, 10) == std::vector<std::uint8_t>(expected.begin(), expected.begin() + 10));
    expected.resize(1100, 0xFF);
    QVERIFY(Read(view, 1100) == expected);
    QVERIFY(Read(HexView(), 16) == std::vector<std::uint8_t>(16, 0xFF));
  }

  void RebindingReplacesContentAndLength() {
    HexView view;
    std::vector<std::uint8_t> big = Counting(4096);
    view.SetData(big.data(), big.size());
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    std::vector<std::uint8_t> small(32, 0x11);
    view.SetData(small.data(), small.size());
    QCOMPARE(view.Length(), std::size_t{32});
    QVERIFY(view.CursorByte() < 32);
    QVERIFY(Read(view, 33) == [] { std::vector<std::uint8_t> b(33, 0x11); b[32] = 0xFF; return b; }());
  }

  // Hex digits overwrite nibbles and move on; other characters change nothing.
  void KeyboardOverwritesNibbles() {
    HexView view;
    std::vector<std::uint8_t> source(48, 0x00);
    view.SetData(source.data(), source.size());
    QTest::keyClicks(&view, "a5Bc");
    QTest::keyClicks(&view, "xz-");
    QCOMPARE(view.CursorByte(), std::size_t{2});
    QTest::keyClick(&view, Qt::Key_Down);  // byte 18
    QTest::keyClicks(&view, "7");
    QTest::keyClick(&view, Qt::Key_Left);
    QTest::keyClick(&view, Qt::Key_Left);  // low nibble of byte 17
    QTest::keyClicks(&view, "e");
    QTest::keyClick(&view, Qt::Key_Home);  // byte 16
    QTest::keyClicks(&view, "1");
    QTest::keyClick(&view, Qt::Key_End);  // low nibble of byte 31
    QTest::keyClicks(&view, "9");
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);  // low nibble of byte 47
    QTest::keyClicks(&view, "f3");  // the last nibble, then stays there
    std::vector<std::uint8_t> expected(48, 0x00);
    expected[0] = 0xA5;
    expected[1] = 0xBC;
    expected[16] = 0x10;
    expected[17] = 0x0E;
    expected[18] = 0x70;
    expected[31] = 0x09;
    expected[47] = 0x03;
    QVERIFY(Read(view, 48) == expected);
    // Edits change only the view's copy.
    QCOMPARE(source[0], std::uint8_t{0});
  }

  // Random moves and digits against a plain byte array that follows the same rules.
  void RandomEditsMatchAPlainModel() {
    HexView view;
    view.resize(500, 200);
    std::vector<std::uint8_t> model = Counting(1000);
    view.SetData(model.data(), model.size());
    long long cursor = 0;
    const long long last = static_cast<long long>(model.size()) * 2 - 1;
    QRandomGenerator random(1234);
    const Qt::Key moves[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down};
    const long long steps[] = {-1, 1, -32, 32};
    for (int i = 0; i < 3000; ++i) {
      if (random.bounded(2) == 0) {
        const int move = random.bounded(4);
        QTest::keyClick(&view, moves[move]);
        cursor = std::clamp(cursor + steps[move], 0LL, last);
      } else {
        const int digit = random.bounded(16);
        QTest::keyClicks(&view, QString::number(digit, 16));
        std::uint8_t& byte = model[static_cast<std::size_t>(cursor / 2)];
        byte = cursor % 2 ? static_cast<std::uint8_t>((byte & 0xF0) | digit)
                          : static_cast<std::uint8_t>((byte & 0x0F) | (digit << 4));
        cursor = std::min(cursor + 1, last);
      }
      QCOMPARE(static_cast<long long>(view.CursorByte() * 2 + (view.CursorOnLowNibble() ? 1 : 0)), cursor);
    }
    QVERIFY(Read(view, model.size()) == model);
  }

  void PageKeysMoveByVisibleRows() {
    HexView view;
    view.resize(500, 200);
    view.show();
    std::vector<std::uint8_t> source(16 * 1000, 0xFF);
    view.SetData(source.data(), source.size());
    QTest::keyClick(&view, Qt::Key_PageDown);
    const std::size_t pageBytes = view.CursorByte();
    QVERIFY(pageBytes >= 16 * 3 && pageBytes % 16 == 0);
    QTest::keyClick(&view, Qt::Key_PageDown);
    QCOMPARE(view.CursorByte(), 2 * pageBytes);
    QTest::keyClick(&view, Qt::Key_PageUp);
    QCOMPARE(view.CursorByte(), pageBytes);
  }
};

KESTREL_UI_TEST(HexViewTest);

#include "HexViewTest.moc"
