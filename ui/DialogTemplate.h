#pragma once

#include <QFont>
#include <QRect>
#include <span>

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

inline constexpr int kNoId = -1;  // a label without an ID

// One control of a dialog template: rectangle in dialog units.
struct ControlTemplate {
  int id;
  ControlKind kind;
  const char* caption;  // Windows caption syntax: "&&" is a literal ampersand
  QRect rect;
  bool hidden = false;
};

// The main window's controls in template order, which is also the tab order and the order
// in which the radio group is walked.
std::span<const ControlTemplate> MainDialogTemplate();
inline constexpr QSize kMainDialogSize{674, 295};

// The font of both dialogs: SimSun 9 pt, or what fontconfig puts in its place.
QFont DialogFont();

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
QString LabelText(const char* caption);

}  // namespace kestrel::ui
