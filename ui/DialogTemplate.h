#pragma once

#include <QFont>
#include <QRect>
#include <span>

#include "ui/ControlId.h"

namespace kestrel::ui {

enum class ControlKind {
  RadioButton,
  GroupBox,
  PushButton,
  CheckBox,
  Label,
  Edit,          // editable field with a static edge
  ReadOnlyEdit,  // plain read-only field: red text like the labels
  ThemedReadOnlyEdit,
  ProgressBar,
  PageTabs,
  HexView,
  LogList,
  IntroEdit,
  ChipCombo,
};

// One control of a dialog template: rectangle in dialog units.
struct ControlTemplate {
  ControlId id;
  ControlKind kind;
  const char* caption;  // Windows caption syntax: "&&" is a literal ampersand
  QRect rect;
  bool hidden = false;
};

// The main window's controls in template order, which is also the order in which the radio
// group is numbered (the tab order follows their places instead).
std::span<const ControlTemplate> MainDialogTemplate();
inline constexpr QSize kMainDialogSize{674, 295};

// The font of both dialogs: SimSun 9 pt, or what fontconfig puts in its place.
QFont DialogFont();
// `font`, or a smaller size of it with which the main window's template fits in `available`
// (a screen smaller than the window); never below kSmallestFontPoints.
inline constexpr double kSmallestFontPoints = 5;
QFont FitDialogFont(const QFont& font, const QSize& available);

// Dialog base units of a font, as Windows derives them: the average width of the 52 Latin
// letters (rounded) and the line height.
struct BaseUnits {
  int x;
  int y;
};
BaseUnits BaseUnitsOf(const QFont& font);

// Dialog units to pixels: x * baseX / 4, y * baseY / 8, rounded like MulDiv.
QRect DialogUnitsToPixels(const QRect& units, BaseUnits base);
QSize DialogUnitsToPixels(const QSize& units, BaseUnits base);

// A Windows caption as Qt shows it on a label: "&&" becomes "&", a lone "&" disappears.
QString LabelText(const QString& caption);

}  // namespace kestrel::ui
