#pragma once

#include <QString>
#include <string>
#include <vector>

class QTranslator;

namespace kestrel::ui {

// The desktop program's own texts (captions, tips, menus, the introduction, the About box) are
// Chinese, marked for lupdate with QT_TRANSLATE_NOOP("Kestrel", "…") where they are defined,
// all in that one context, and shown through Tr() where they reach a widget. Their
// translations are translations/kestrel_LANG.ts, compiled to kestrel_LANG.qm.

// `text` in the language of the translation installed; without one, `text` itself, byte for
// byte.
QString Tr(const char* text);

// Where the compiled translations may be: the installed folder, the one of a relocated install
// beside the executable, and the build tree's (for the program and for the tests).
std::vector<std::string> TranslationSearchPaths(const std::string& executableDir);

// Loads into `translator` the translation of `language` (a catalogue name as ChosenLanguage()
// gives it: "en", "de") from the first of `folders` that has it; a language without one of its
// own gets English, as the core's texts do. False when neither is found.
bool LoadTranslation(QTranslator& translator, const std::string& language,
                     const std::vector<std::string>& folders);

// Loads into `translator` Qt's own texts (the file dialog, the standard buttons) for `language`
// (empty: the program's own Chinese), from Qt's translations folder. False when Qt has none
// for it, as for English, which Qt speaks without one.
bool LoadQtTranslation(QTranslator& translator, const std::string& language);

}  // namespace kestrel::ui
