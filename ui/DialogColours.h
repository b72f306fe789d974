#pragma once

#include <QColor>

class QWidget;

namespace kestrel::ui {

inline const QColor kDialogBackground{255, 255, 255};
inline const QColor kDialogText{250, 0, 0};  // a red, not black
inline const QColor kFlashViewColour{38, 81, 126};
inline const QColor kEepromViewColour{46, 114, 194};
inline const QColor kFailureLineColour{210, 0, 0};  // log lines of failures and refusals
inline const QColor kEditedByteColour{214, 92, 0};  // hex view bytes changed since shown
inline const QColor kEditedByteFill{255, 238, 204};
inline const QColor kPassedColour{30, 140, 60};  // the outcome of a run, and the link
inline const QColor kFailedColour{210, 30, 30};

// Flat buttons with a thin edge, so that they read as buttons on the white dialog.
inline constexpr char kFlatButtonStyle[] =
    "QPushButton { border: 1px solid #a9b4c2; border-radius: 2px; background: #ffffff; padding: 0px 2px; }"
    "QPushButton:hover { border-color: #3d7bd9; background: #eaf2fd; }"
    "QPushButton:pressed { background: #cfe0f8; }"
    "QPushButton:focus { border-color: #3d7bd9; }";

// White background for a dialog and everything on it that is drawn on the dialog itself.
void ApplyDialogBackground(QWidget* dialog);
// Red text on white for the controls that take the dialog colours: labels, radio buttons and
// plain read-only fields.
void ApplyDialogText(QWidget* control);

}  // namespace kestrel::ui
