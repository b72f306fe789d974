#include <QAbstractButton>
#include <QLabel>
#include <QTableWidget>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "DialogFixture.h"
#include "chips/ChipBooks.h"
#include "chips/ChipCatalogue.h"
#include "production/ProductionDatabase.h"
#include "ui/ProductionPage.h"
#include "ui/UiTestRegistry.h"

using kestrel::ui::TileState;
using C = kestrel::ui::ControlId;

namespace {

kestrel::device::SimulatorOptions SocketOf(const char* plan, int programmers = 1) {
  static const kestrel::chips::ChipBooks books =
      kestrel::chips::LoadChipBooks({KESTREL_SOURCE_DIR "/data/chip.txt"});
  kestrel::device::SimulatorOptions sim;
  sim.programmers = programmers;
  sim.socketPlan = kestrel::device::ParseSocketPlan(plan, [](std::string_view name) {
                     return books.FactsOf(kestrel::chips::FindChip(books.catalogue, name));
                   }).chips;
  return sim;
}

}  // namespace

// The production page over the simulated socket, through a station as the window runs it.
class ProductionPageTest : public QObject {
  Q_OBJECT

 private slots:
  // A good chip, a chip of another kind and a chip that fails at its 40th request: the tile
  // goes through each big state in turn, the counters and the database's list follow, the
  // other buttons wait while production runs, and the empty socket's polls stay out of the log.
  void ShowsEachChipsState() {
    const std::string folder = QDir::tempPath().toStdString() + "/kestrel-page-" + std::to_string(getpid());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    kestrel::uitest::DialogFixture f(SocketOf("ATmega328P,ATtiny85,ATmega328P!fail-at=40"));
    QVERIFY(f.Start());
    f.dialog.UseProductionDatabase(folder + "/p.sqlite");
    f.dialog.OpenJob(KESTREL_SOURCE_DIR "/data/examples/blink/blink.toml");
    QVERIFY(f.dialogs.empty());
    kestrel::ui::ProductionPage& page = f.dialog.productionPage();
    std::vector<TileState> states;
    connect(&page, &kestrel::ui::ProductionPage::tileStateShown, this,
            [&states](const QString&, TileState state) {
              if (states.empty() || states.back() != state) states.push_back(state);
            });
    const std::size_t linesBefore = f.Lines().size();
    f.dialog.StartProduction();
    QVERIFY(f.dialog.ProductionRunning() && !f.dialog.Control(C::AutoButton)->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(std::count(states.begin(), states.end(), TileState::Fail) == 1, 60000);
    QTest::qWait(1500);  // the socket stays empty: a few seconds of polls
    page.findChild<QAbstractButton*>("productionStop")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!f.dialog.ProductionRunning(), 10000);

    const std::vector<TileState> expected = {
        TileState::Waiting, TileState::Programming, TileState::Pass, TileState::Waiting, TileState::WrongChip,
        TileState::Waiting, TileState::Programming, TileState::Fail, TileState::Waiting, TileState::Idle};
    QCOMPARE(states, expected);
    QVERIFY(f.dialog.Control(C::AutoButton)->isEnabled());
    QVERIFY2(page.CountersText().contains("通过 passed 1") && page.CountersText().contains("失败 failed 1") &&
                 page.CountersText().contains("芯片不符 wrong 1") &&
                 page.CountersText().contains("next serial 1002"),
             qPrintable(page.CountersText()));
    auto* chips = page.findChild<QTableWidget*>("productionChips");
    QCOMPARE(chips->rowCount(), 3);
    QCOMPARE(chips->item(0, 3)->text(), "fail");  // the newest first
    QCOMPARE(chips->item(2, 2)->text(), "1000");
    // The programmed chips' lines and a line per chip, but none of the polls, five a second.
    QVERIFY2(f.Lines().size() > linesBefore + 3 && !f.Log().contains("ID读取OK"), qPrintable(f.Log()));
    std::filesystem::remove_all(folder);
  }

  // A job's name may have been given list values by an earlier version of the job: the
  // sequence's next serial is counted from its own numbers, and those hex values are none; a
  // list's next serial is its first value not given yet.
  void NextSerialSkipsAnEarlierVersionsListValues() {
    const std::string database = QDir::tempPath().toStdString() + "/kestrel-next-" + std::to_string(getpid());
    {
      std::string error;
      auto store = kestrel::production::OpenSqliteStore(database, {"test", getpid()}, error);
      QVERIFY2(store, error.c_str());
      kestrel::production::Job earlier;
      earlier.name = earlier.text = earlier.identity = "blink";
      earlier.serial.emplace();
      earlier.serial->source = kestrel::production::SerialSource::List;
      earlier.serial->list = {{"AB12", {0xAB, 0x12}, std::nullopt}};
      kestrel::production::JobVersion version;
      kestrel::production::SerialReservation reservation;
      QVERIFY(store->RegisterJob(earlier, version));
      QVERIFY(store->ReserveSerial(version.id, earlier, reservation) ==
              kestrel::production::ReserveOutcome::Reserved);
    }
    kestrel::uitest::DialogFixture f(SocketOf("ATmega328P"));
    QVERIFY(f.Start());
    f.dialog.UseProductionDatabase(database);
    f.dialog.OpenJob(KESTREL_SOURCE_DIR "/data/examples/blink/blink.toml");
    QString counters = f.dialog.productionPage().CountersText();
    QVERIFY2(counters.contains("next serial 1000"), qPrintable(counters));
    // A list whose second value the earlier version gave: its first value is next.
    const std::string blink = KESTREL_SOURCE_DIR "/data/examples/blink/";
    std::ofstream(database + ".list") << "CD34\nAB12\nEF56\n";
    std::ofstream(database + ".toml")
        << "name = \"blink\"\nchip = \"ATmega328P\"\nmode = \"ISP\"\n"
        << "flash = \"" << blink << "blink.hex\"\neeprom = \"" << blink << "blink.eep\"\n"
        << "steps = [\"erase\", \"write-flash\", \"write-eeprom\"]\n"
        << "[serial]\nmemory = \"eeprom\"\naddress = 0x20\nsource = \"list\"\n"
        << "list = \"" << database << ".list\"\n";
    f.dialog.OpenJob(QString::fromStdString(database + ".toml"));
    QVERIFY2(f.dialogs.empty(), f.dialogs.empty() ? "" : f.dialogs.front().c_str());
    counters = f.dialog.productionPage().CountersText();
    QVERIFY2(counters.contains("next serial CD34"), qPrintable(counters));
    for (const char* file : {"", "-wal", "-shm", ".list", ".toml"}) std::filesystem::remove(database + file);
  }

  // A tile per programmer; a tile's Stop ends its own station only, Stop all of them.
  void TileStopsItsProgrammerOnly() {
    const std::string database =
        QDir::tempPath().toStdString() + "/kestrel-tiles-" + std::to_string(getpid());
    kestrel::uitest::DialogFixture f(SocketOf("ATmega328P*50", 3));
    QVERIFY(f.Start());
    f.dialog.UseProductionDatabase(database);
    f.dialog.OpenJob(KESTREL_SOURCE_DIR "/data/examples/blink/blink.toml");
    f.dialog.StartProduction();
    kestrel::ui::ProductionPage& page = f.dialog.productionPage();
    const QStringList addresses = {"001:002", "001:003", "001:004"};
    for (const QString& address : addresses) QVERIFY(page.Tile(address) != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(page.CountersText().contains("passed 3"), 60000);
    page.Tile("001:003")->findChild<QAbstractButton*>("tileStop")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!page.Tile("001:003")->findChild<QAbstractButton*>("tileStop")->isEnabled(),
                             10000);
    QTest::qWait(300);
    QVERIFY(f.dialog.ProductionRunning());
    QVERIFY(page.Tile("001:002")->state() != TileState::Idle &&
            page.Tile("001:004")->state() != TileState::Idle);
    page.findChild<QAbstractButton*>("productionStop")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!f.dialog.ProductionRunning(), 10000);
    for (const char* file : {"", "-wal", "-shm"}) std::filesystem::remove(database + file);
  }
};

KESTREL_UI_TEST(ProductionPageTest);

#include "ProductionPageTest.moc"
