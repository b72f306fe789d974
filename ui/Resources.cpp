#include "ui/Resources.h"

#include <QString>

static void RegisterKestrelResources() {
  Q_INIT_RESOURCE(kestrel);
}

namespace kestrel::ui {
namespace {

QIcon FromResource(const char* name) {
  static const bool registered = (RegisterKestrelResources(), true);
  (void)registered;
  return QIcon(QStringLiteral(":/kestrel/") + QString::fromUtf8(name));
}

}  // namespace

QIcon AppIcon() {
  return FromResource("kestrel.svg");
}

QIcon ButtonImage(ControlId button) {
  switch (button) {
    case ControlId::OpenFlashButton:
      return FromResource("open_flash.svg");  // bitmap 141
    case ControlId::OpenEepromButton:
      return FromResource("open_eeprom.svg");  // bitmap 142
    case ControlId::SaveFlashButton:
      return FromResource("save_flash.svg");  // bitmap 138
    case ControlId::SaveEepromButton:
      return FromResource("save_eeprom.svg");  // bitmap 140
    case ControlId::AutoButton:
      return FromResource("auto.svg");  // bitmap 144
    case ControlId::EraseButton:
      return FromResource("erase.svg");  // bitmap 145
    default:
      return {};
  }
}

QIcon PageImage(int page) {
  if (page < 0 || page > 5) return {};
  return FromResource(("page" + std::to_string(page + 1) + ".svg").c_str());
}

}  // namespace kestrel::ui
