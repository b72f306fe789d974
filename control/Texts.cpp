#include "control/Texts.h"

#include <cstdio>

namespace kestrel::texts {

std::string Printf(const char* pattern, ...) {
  va_list arguments;
  va_start(arguments, pattern);
  va_list copy;
  va_copy(copy, arguments);
  const int length = std::vsnprintf(nullptr, 0, pattern, copy);
  va_end(copy);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), pattern, arguments);
    text.resize(static_cast<std::size_t>(length));
  }
  va_end(arguments);
  return text;
}

std::string UdevRuleCommand() {
  return std::string("sudo install -m 0644 ") + KESTREL_DATA_DIR +
         "/60-kestrel-vorne-pgr.rules /etc/udev/rules.d/ && sudo udevadm control --reload-rules && "
         "sudo udevadm trigger --subsystem-match=usb";
}

std::string InsertProgrammerMessage() { return std::string(kInsertProgrammer) + "\r\n" + kMakerLine; }

}  // namespace kestrel::texts
