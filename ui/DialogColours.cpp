#include "ui/DialogColours.h"

#include <QPalette>
#include <QWidget>

namespace kestrel::ui {

void ApplyDialogBackground(QWidget* dialog) {
  QPalette colours = dialog->palette();
  colours.setColor(QPalette::Window, kDialogBackground);
  dialog->setPalette(colours);
  dialog->setAutoFillBackground(true);
}

void ApplyDialogText(QWidget* control) {
  QPalette colours = control->palette();
  for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    colours.setColor(group, QPalette::WindowText, kDialogText);
    colours.setColor(group, QPalette::Text, kDialogText);
    colours.setColor(group, QPalette::Base, kDialogBackground);
  }
  control->setPalette(colours);
}

}  // namespace kestrel::ui
