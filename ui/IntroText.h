#pragma once

#include <QString>

namespace kestrel::ui {

// The text of the introduction page: the heading, four numbered paragraphs and the maker's
// details, lines separated by CR LF, body lines indented by eight blanks.
QString IntroText();

}  // namespace kestrel::ui
