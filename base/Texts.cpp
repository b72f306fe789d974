#include "base/Texts.h"

namespace kestrel::texts {

std::string UdevRuleCommand() {
  return std::string("sudo install -m 0644 ") + KESTREL_DATA_DIR +
         "/60-kestrel-vorne-pgr.rules /etc/udev/rules.d/ && sudo udevadm control --reload-rules && "
         "sudo udevadm trigger --subsystem-match=usb";
}

std::string InsertProgrammerMessage() {
  return std::string(kInsertProgrammer) + "\r\n" + kMakerLine.c_str();
}

}  // namespace kestrel::texts
