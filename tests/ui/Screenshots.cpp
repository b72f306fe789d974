#include "Screenshots.h"

#include <QDir>
#include <QTest>

#include "DialogFixture.h"
#include "ui/AboutDialog.h"

namespace kestrel::uitest {

using C = ui::ControlId;

// The main window after a short session on the simulated programmer: signature and
// calibration read, then Auto with erase and write, read and verify of both memories; for the
// fuse page, the chip identified and its fuses read. One PNG per page, and one of the About box.
int SaveScreenshots(const QString& folder) {
  if (!QDir().mkpath(folder)) return 1;
  const auto save = [&](QWidget& window, const QString& name) {
    const QString path = QDir(folder).filePath(name);
    const bool saved = QTest::qWaitForWindowExposed(&window) && window.grab().save(path);
    if (saved) std::printf("%s\n", qPrintable(path));
    return saved;
  };
  DialogFixture f;
  f.Start();
  f.dialog.show();
  auto& memories = f.dialog.controller().memories();
  for (std::size_t i = 0; i < 1024; ++i)
    memories[device::MemoryKind::Flash].image[i] = std::uint8_t((i * 37) ^ (i >> 3));
  for (std::size_t i = 0; i < 64; ++i)
    memories[device::MemoryKind::Eeprom].image[i] = std::uint8_t("Kestrel EEPROM demo "[i % 20]);
  f.LoadImages();
  f.Press({C::ReadSignatureButton, C::ReadCalibrationButton});
  f.Press({C::AutoErase, C::AutoWriteFlash, C::AutoReadFlash, C::AutoVerifyFlash, C::AutoWriteEeprom,
           C::AutoReadEeprom, C::AutoVerifyEeprom, C::AutoButton});  // the Auto boxes, Auto
  bool saved = true;
  for (int page = 0; page < 5 && saved; ++page) {
    if (page == 4) f.PressFuse({"fuseIdentify", "fuseRead"});
    f.dialog.ShowPage(page);
    QTest::qWait(50);
    saved = save(f.dialog, QStringLiteral("page-%1.png").arg(page));
  }
  ui::AboutDialog about(&f.dialog);
  about.show();
  return saved && save(about, QStringLiteral("about.png")) ? 0 : 1;
}

}  // namespace kestrel::uitest
