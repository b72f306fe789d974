#include "Screenshots.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QTest>

#include "DialogFixture.h"
#include "ui/AboutDialog.h"

namespace kestrel::uitest {

// The main window after a short session on the simulated programmer: signature and
// calibration read, then Auto with erase and write, read and verify of both memories.
// One PNG per page, and one of the About box.
int SaveScreenshots(const QString& folder) {
  if (!QDir().mkpath(folder)) return 1;
  DialogFixture f;
  f.Start();
  f.dialog.show();
  if (!QTest::qWaitForWindowExposed(&f.dialog)) return 1;
  auto& engine = f.dialog.controller().engine();
  for (std::size_t i = 0; i < 1024; ++i) engine.flashImage[i] = static_cast<std::uint8_t>((i * 37) ^ (i >> 3));
  for (std::size_t i = 0; i < 64; ++i) engine.eepromImage[i] = static_cast<std::uint8_t>("Kestrel EEPROM demo "[i % 20]);
  for (const int id : {1000, 1005}) {
    f.Click(id);
    f.WaitIdle();
  }
  for (const int id : {1035, 1029, 1030, 1031, 1032, 1033, 1036}) static_cast<QCheckBox*>(f.dialog.Control(id))->setChecked(true);
  f.Click(1027);
  f.WaitIdle();
  for (int page = 0; page < 4; ++page) {
    f.dialog.ShowPage(page);
    QTest::qWait(50);
    const QString path = QDir(folder).filePath(QStringLiteral("page-%1.png").arg(page));
    if (!f.dialog.grab().save(path)) return 1;
    std::printf("%s\n", qPrintable(path));
  }
  ui::AboutDialog about(&f.dialog);
  about.show();
  if (!QTest::qWaitForWindowExposed(&about)) return 1;
  const QString aboutPath = QDir(folder).filePath(QStringLiteral("about.png"));
  if (!about.grab().save(aboutPath)) return 1;
  std::printf("%s\n", qPrintable(aboutPath));
  return 0;
}

}  // namespace kestrel::uitest
