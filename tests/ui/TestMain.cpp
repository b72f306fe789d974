#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <cstring>
#include <string>

#include "Screenshots.h"
#include "base/Language.h"
#include "ui/Translation.h"
#include "ui/UiTestRegistry.h"

// Runs every registered test class, or only the one named by --class=Name; the remaining
// arguments go to Qt Test. --screenshots=FOLDER saves the main window's pages instead.
int main(int argc, char** argv) {
  std::string only, screenshots;
  int kept = 0;
  for (int i = 0; i < argc; ++i) {
    if (i > 0 && std::strncmp(argv[i], "--class=", 8) == 0)
      only = argv[i] + 8;
    else if (i > 0 && std::strncmp(argv[i], "--screenshots=", 14) == 0)
      screenshots = argv[i] + 14;
    else
      argv[kept++] = argv[i];
  }
  QStandardPaths::setTestModeEnabled(true);  // the user's settings stay untouched
  const QTemporaryDir settings;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  QApplication application(kept, argv);
  if (!screenshots.empty()) {  // in the language the environment chooses, as the program shows it
    const std::string folder = QCoreApplication::applicationDirPath().toStdString();
    QTranslator translation;
    if (!kestrel::UseLanguage(std::nullopt, {folder + "/../../locale"}).language.empty() &&
        kestrel::ui::LoadTranslation(translation, kestrel::ChosenLanguage(),
                                     kestrel::ui::TranslationSearchPaths(folder)))
      QCoreApplication::installTranslator(&translation);
    return kestrel::uitest::SaveScreenshots(QString::fromStdString(screenshots));
  }
  int failures = 0;
  for (const auto& [name, make] : kestrel::uitest::testClasses) {
    if (only.empty() || only == name) failures += QTest::qExec(make().get(), kept, argv);
  }
  return only.empty() || kestrel::uitest::testClasses.count(only) ? failures : 2;
}
