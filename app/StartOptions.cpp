#include "app/StartOptions.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <span>
#include <string_view>

#include "base/Bytes.h"
#include "base/Language.h"
#include "device/UsbBus.h"

namespace kestrel::app {
namespace {

// The same spellings as kestrel-cli's: "--sim-latency-ms N" or "--sim-latency-ms=N".
constexpr std::string_view kLatencyOption = "--sim-latency-ms";
constexpr std::string_view kProgrammersOption = "--sim-programmers";
constexpr std::string_view kUsbOption = "--usb";
constexpr std::string_view kSignatureOption = "--sim-signature";
constexpr std::string_view kLanguageOption = "--lang";

// Qt's own options, which QApplication takes out later; those in the first list take a value.
constexpr std::array<std::string_view, 13> kQtValueOptions = {
    "-platform", "-platformpluginpath", "-platformtheme", "-plugin",
    "-style",    "-stylesheet",         "-session",       "-display",
    "-geometry", "-qwindowgeometry",    "-qwindowtitle",  "-qwindowicon",
    "-title"};
constexpr std::array<std::string_view, 5> kQtFlagOptions = {"-reverse", "-widgetcount", "-nograb", "-dograb",
                                                            "-sync"};

bool IsOneOf(std::string_view argument, std::span<const std::string_view> options) {
  return std::find(options.begin(), options.end(), argument) != options.end();
}

bool ParseNumber(const std::string& text, int low, int high, int& number) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  if (result.ec != std::errc() || result.ptr != end || value < low || value > high) return false;
  number = value;
  return true;
}

// Whether `argument` is `option`, then takes its value from "=value" or the next argument.
bool TakeValue(std::string_view option, const std::vector<std::string>& arguments, std::size_t& i,
               std::string& value) {
  const std::string& argument = arguments[i];
  if (argument != option && argument.rfind(std::string(option) + "=", 0) != 0) return false;
  if (argument.size() > option.size()) {
    value = argument.substr(option.size() + 1);
  } else if (i + 1 < arguments.size()) {
    value = arguments[++i];
  }
  return true;
}

}  // namespace

StartOptions ParseStartOptions(const std::vector<std::string>& arguments) {
  StartOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (IsOneOf(argument, kQtValueOptions)) {
      ++i;
    } else if (IsOneOf(argument, kQtFlagOptions) || argument.rfind("-style=", 0) == 0) {
      continue;
    } else if (argument == "--simulate") {
      options.simulate = true;
    } else if (argument == "--sim-absent") {
      options.simulate = true;
      options.simulateAbsent = true;
    } else if (std::string value; TakeValue(kLatencyOption, arguments, i, value)) {
      options.simulate = true;
      if (!ParseNumber(value, 0, 1000, options.latencyMs)) {
        options.error = "invalid latency in " + std::string(kLatencyOption) + " " + value +
                        " (expected milliseconds, 0 to 1000)";
        return options;
      }
    } else if (TakeValue(kProgrammersOption, arguments, i, value)) {
      options.simulate = true;
      if (!ParseNumber(value, 1, 99, options.programmers)) {
        options.error =
            "invalid count in " + std::string(kProgrammersOption) + " " + value + " (expected 1 to 99)";
        return options;
      }
    } else if (TakeValue(kSignatureOption, arguments, i, value)) {
      options.simulate = true;
      std::array<std::uint8_t, 3> signature{};
      if (value.size() != 6 || !ParseHexText(value, 3, signature.data())) {
        options.error = "invalid signature in " + std::string(kSignatureOption) + " " + value +
                        " (expected six hex digits, as 1E950F)";
        return options;
      }
      options.simSignature = signature;
    } else if (TakeValue(kUsbOption, arguments, i, value)) {
      if (!device::IsDeviceAddress(value)) {
        options.error = "invalid address in " + std::string(kUsbOption) + " " + value +
                        " (expected BUS:DEVICE, as 001:004)";
        return options;
      }
      options.usb = value;
    } else if (TakeValue(kLanguageOption, arguments, i, value)) {
      if (!IsLanguageName(value)) {
        options.error = "invalid language in " + std::string(kLanguageOption) + " " + value +
                        " (expected a language name such as zh or en)";
        return options;
      }
      options.language = value;
    } else if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else {
      options.error = "unknown argument " + argument;
      return options;
    }
  }
  return options;
}

std::string UsageText() {
  return "Usage: kestrel [--usb BBB:DDD] [--lang LANG] [--simulate] [--sim-absent] [--sim-latency-ms MS] "
         "[--sim-programmers N] [--sim-signature HEX6]\n"
         "  --usb BBB:DDD        the programmer at this bus and device number (kestrel-cli list)\n"
         "  --lang LANG          zh or en: the language of the window and its log (default: from\n"
         "                       LANGUAGE, LC_ALL, LC_MESSAGES or LANG; Chinese under zh, C or POSIX,\n"
         "                       else English)\n"
         "  --simulate           run on the built-in simulated programmer\n"
         "  --sim-absent         simulate, with no programmer plugged in\n"
         "  --sim-latency-ms MS  simulated time per USB request (default 3)\n"
         "  --sim-programmers N  simulate N programmers, each with its own chip (default 1)\n"
         "  --sim-signature HEX6 the simulated chip's signature (default 1E950F, an ATmega328P)\n";
}

}  // namespace kestrel::app
