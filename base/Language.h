#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

// The gettext domain of the core's and the command line's texts.
inline constexpr char kTextDomain[] = "kestrel";

// A catalogue name as gettext and the file system take it ("zh", "en", "pt_BR"): letters and
// underscores only, so that --lang cannot name a path.
bool IsLanguageName(std::string_view text);

// Reads an environment variable; nullptr when it is not set.
using EnvironmentLookup = std::function<const char*(const char* name)>;
// True when a catalogue exists for this language name (as gettext names them: "en", "de_DE").
using CatalogueCheck = std::function<bool(const std::string& language)>;

// The language to show, as a catalogue name ("en", "de"), or an empty string for the
// program's own Chinese texts. `override` (--lang) wins; otherwise the first set of LANGUAGE
// (a colon-separated list), LC_ALL, LC_MESSAGES and LANG. Chinese ("zh", "zh_CN.UTF-8"), the
// C and POSIX locales and an empty environment choose the program's own texts, so scripts see
// the lines they always saw. Any other locale chooses its catalogue when one exists, else
// English.
std::string ChooseLanguage(const std::optional<std::string>& override, const EnvironmentLookup& environment,
                           const CatalogueCheck& hasCatalogue);

// Where the compiled catalogues may be: the installed locale folder, the one of a relocated
// install beside the executable, and the build tree's.
std::vector<std::string> LocaleSearchPaths(const std::string& executableDir);

struct LanguageUse {
  std::string language;  // as ChosenLanguage() gives it
  std::string missing;   // a language chosen whose catalogue none of the folders holds
};

// Chooses the language from `override` and the process environment and makes Translate()
// use it, with the catalogue from the first folder of `localeDirs` that holds it. Call once,
// before any text is shown, and after QApplication (which resets the locale). Without the
// catalogue (a build without gettext's tools) the program's own texts stay.
LanguageUse UseLanguage(const std::optional<std::string>& override,
                        const std::vector<std::string>& localeDirs);

// The language UseLanguage chose: "" for the program's own texts.
const std::string& ChosenLanguage();

}  // namespace kestrel
