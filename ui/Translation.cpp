#include "ui/Translation.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

namespace kestrel::ui {

QString Tr(const char* text) {
  return QCoreApplication::translate("Kestrel", text);
}

std::vector<std::string> TranslationSearchPaths(const std::string& executableDir) {
  return {KESTREL_TRANSLATIONS_DIR, executableDir + "/../share/kestrel/translations",
          executableDir + "/../translations", executableDir + "/../../translations"};
}

bool LoadTranslation(QTranslator& translator, const std::string& language,
                     const std::vector<std::string>& folders) {
  for (const std::string& name : {language, std::string("en")}) {
    for (const std::string& folder : folders) {
      // That file only: QTranslator would otherwise try shorter names of its own accord.
      const QString file = QString::fromStdString(folder + "/kestrel_" + name + ".qm");
      if (QFileInfo(file).isFile() && translator.load(file)) return true;
    }
  }
  return false;
}

bool LoadQtTranslation(QTranslator& translator, const std::string& language) {
  const QString name = language.empty() ? QStringLiteral("zh_CN") : QString::fromStdString(language);
  return translator.load(QStringLiteral("qtbase_") + name,
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

}  // namespace kestrel::ui
