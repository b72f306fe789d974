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

QIcon ButtonImage(int controlId) {
  switch (controlId) {
    case 1001:
      return FromResource("open_flash.svg");  // bitmap 141
    case 1023:
      return FromResource("open_eeprom.svg");  // bitmap 142
    case 1028:
      return FromResource("save_flash.svg");  // bitmap 138
    case 1037:
      return FromResource("save_eeprom.svg");  // bitmap 140
    case 1027:
      return FromResource("auto.svg");  // bitmap 144
    case 1008:
      return FromResource("erase.svg");  // bitmap 145
    default:
      return {};
  }
}

QIcon PageImage(int page) {
  if (page < 0 || page > 4) return {};
  return FromResource(("page" + std::to_string(page + 1) + ".svg").c_str());
}

}  // namespace kestrel::ui
