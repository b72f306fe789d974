#pragma once

#include <QColor>

class QWidget;

namespace kestrel::ui {

inline const QColor kDialogBackground{255, 255, 255};
inline const QColor kDialogText{250, 0, 0};  // a red, not black
inline const QColor kFlashViewColour{38, 81, 126};
inline const QColor kEepromViewColour{46, 114, 194};

// White background for a dialog and everything on it that is drawn on the dialog itself.
void ApplyDialogBackground(QWidget* dialog);
// Red text on white for the controls that take the dialog colours: labels, radio buttons and
// plain read-only fields.
void ApplyDialogText(QWidget* control);

}  // namespace kestrel::ui
