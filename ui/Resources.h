#pragma once

#include <QIcon>

#include "ui/ControlId.h"

namespace kestrel::ui {

// The images compiled into the program. The first call registers the resource file, which a
// static library cannot do on its own.
QIcon AppIcon();                      // icon 128: the programmer board
QIcon ButtonImage(ControlId button);  // 18 x 18 image of a file or sequence button, or null
QIcon PageImage(int page);            // the numbered 16 x 16 tab symbol of page 0 to 5

}  // namespace kestrel::ui
