#include "base/Language.h"

#include <libintl.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>

namespace kestrel {
namespace {

// Set once at start-up, before a second thread runs.
std::string chosenLanguage;

bool IsProgramsOwn(std::string_view name) {
  const auto lower = [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); };
  return (name.size() >= 2 && lower(name[0]) == 'z' && lower(name[1]) == 'h') || name == "C" ||
         name == "POSIX" || name.starts_with("C.") || name.starts_with("C@");
}

// The names gettext tries for one locale name, most specific first:
// "de_DE.UTF-8@euro" gives itself, "de_DE" and "de".
std::vector<std::string> CatalogueNames(const std::string& name) {
  std::vector<std::string> names{name};
  const std::string plain = name.substr(0, name.find_first_of(".@"));
  if (plain != name) names.push_back(plain);
  const std::string language = plain.substr(0, plain.find('_'));
  if (language != plain) names.push_back(language);
  return names;
}

std::string CataloguePath(const std::string& dir, const std::string& language) {
  return dir + "/" + language + "/LC_MESSAGES/" + kTextDomain + ".mo";
}

}  // namespace

bool IsLanguageName(std::string_view text) {
  return !text.empty() && text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_") ==
                              std::string_view::npos;
}

std::string ChooseLanguage(const std::optional<std::string>& override, const EnvironmentLookup& environment,
                           const CatalogueCheck& hasCatalogue) {
  std::string wanted;
  if (override) {
    wanted = *override;
  } else {
    for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
      // Empty, or only the colons of an empty list, counts as not set.
      const char* value = environment(variable);
      if (value != nullptr && std::string_view(value).find_first_not_of(':') != std::string_view::npos) {
        wanted = value;
        break;
      }
    }
  }
  bool anyName = false;
  for (std::size_t start = 0; start <= wanted.size();) {
    const std::size_t colon = std::min(wanted.find(':', start), wanted.size());
    const std::string entry = wanted.substr(start, colon - start);
    start = colon + 1;
    // A locale name never holds a slash; a path must not lead the catalogue search elsewhere.
    if (entry.empty() || entry.find('/') != std::string::npos) continue;
    if (IsProgramsOwn(entry)) return "";
    anyName = true;
    for (const std::string& name : CatalogueNames(entry)) {
      if (hasCatalogue(name)) return name;
    }
  }
  return anyName ? "en" : "";
}

std::vector<std::string> LocaleSearchPaths(const std::string& executableDir) {
  return {KESTREL_LOCALE_DIR, executableDir + "/../share/locale", executableDir + "/../locale"};
}

LanguageUse UseLanguage(const std::optional<std::string>& override,
                        const std::vector<std::string>& localeDirs) {
  std::string folder;
  const auto hasCatalogue = [&](const std::string& language) {
    for (const std::string& dir : localeDirs) {
      std::error_code error;
      if (std::filesystem::is_regular_file(CataloguePath(dir, language), error)) {
        folder = dir;
        return true;
      }
    }
    return false;
  };
  const std::string language = ChooseLanguage(override, std::getenv, hasCatalogue);
  chosenLanguage.clear();
  if (language.empty()) return {};
  if (!hasCatalogue(language)) return {"", language};

  // gettext reads LANGUAGE only while the messages locale is not "C"; C.UTF-8 stands in when
  // the user's locale is not installed, and the output is UTF-8 whatever the terminal's is.
  setenv("LANGUAGE", language.c_str(), 1);
  const char* messages = std::setlocale(LC_MESSAGES, "");
  if (messages == nullptr || std::strcmp(messages, "C") == 0 || std::strcmp(messages, "POSIX") == 0) {
    std::setlocale(LC_MESSAGES, "C.UTF-8");
  }
  bindtextdomain(kTextDomain, folder.c_str());
  bind_textdomain_codeset(kTextDomain, "UTF-8");
  chosenLanguage = language;
  return {language, ""};
}

const std::string& ChosenLanguage() {
  return chosenLanguage;
}

}  // namespace kestrel
