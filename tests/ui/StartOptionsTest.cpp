#include <QTest>

#include "app/StartOptions.h"
#include "ui/UiTestRegistry.h"

using kestrel::app::ParseStartOptions;
using kestrel::app::StartOptions;

class StartOptionsTest : public QObject {
  Q_OBJECT

 private slots:
  void SimulatorOptions() {
    QVERIFY(!ParseStartOptions({}).simulate);
    const StartOptions simulate = ParseStartOptions({"--simulate"});
    QVERIFY(simulate.simulate && !simulate.simulateAbsent && simulate.error.empty());
    QCOMPARE(simulate.latencyMs, 3);
    const StartOptions absent = ParseStartOptions({"--sim-absent"});
    QVERIFY(absent.simulate && absent.simulateAbsent);
    QCOMPARE(ParseStartOptions({"--sim-latency-ms=0"}).latencyMs, 0);
    QCOMPARE(ParseStartOptions({"--simulate", "--sim-latency-ms", "250"}).latencyMs, 250);
    QVERIFY(ParseStartOptions({"-h"}).help);
  }

  // Qt's own options (and their values) are left for QApplication.
  void QtOptionsPassThrough() {
    const StartOptions options = ParseStartOptions({"-platform", "offscreen", "--simulate", "-reverse", "-style=fusion"});
    QVERIFY(options.error.empty());
    QVERIFY(options.simulate);
  }

  void MistakesAreNamed() {
    QVERIFY(ParseStartOptions({"--simulat"}).error.find("--simulat") != std::string::npos);
    for (const char* bad :
         {"--sim-latency-ms", "--sim-latency-ms=", "--sim-latency-ms=-1", "--sim-latency-ms=1001", "--sim-latency-ms=5ms"})
      QVERIFY2(ParseStartOptions({bad}).error.find("latency") != std::string::npos, bad);
  }
};

KESTREL_UI_TEST(StartOptionsTest);

#include "StartOptionsTest.moc"
