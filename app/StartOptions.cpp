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

// An option with a value, in the same spellings as kestrel-cli's: "--name VALUE" or
// "--name=VALUE". A value `take` refuses is reported as "invalid WHAT in --name VALUE
// (expected EXPECTED)".
struct ValueOption {
  std::string_view name;
  const char* what;
  const char* expected;
  bool simulates;  // the option implies --simulate
  bool (*take)(StartOptions& options, const std::string& value);
};

constexpr ValueOption kValueOptions[] = {
    {"--sim-latency-ms", "latency", "milliseconds, 0 to 1000", true,
     [](StartOptions& o, const std::string& v) { return ParseNumber(v, 0, 1000, o.latencyMs); }},
    {"--sim-programmers", "count", "1 to 99", true,
     [](StartOptions& o, const std::string& v) { return ParseNumber(v, 1, 99, o.programmers); }},
    {"--sim-signature", "signature", "six hex digits, as 1E950F", true,
     [](StartOptions& o, const std::string& v) {
       std::array<std::uint8_t, 3> signature{};
       if (v.size() != 6 || !ParseHexText(v, 3, signature.data())) return false;
       o.simSignature = signature;
       return true;
     }},
    {"--sim-socket", "socket plan", "NAME[!FLAG...][*COUNT],... as in kestrel-cli", true,
     [](StartOptions& o, const std::string& v) {
       o.simSocket = v;
       return !v.empty();
     }},
    {"--sim-socket-dump", "dump folder", "a folder name", true,
     [](StartOptions& o, const std::string& v) {
       o.simSocketDump = v;
       return !v.empty();
     }},
    {"--usb", "address", "BUS:DEVICE, as 001:004", false,
     [](StartOptions& o, const std::string& v) {
       if (!device::IsDeviceAddress(v)) return false;
       o.usb = v;
       return true;
     }},
    {"--facts", "facts file", "a file name", false,
     [](StartOptions& o, const std::string& v) {
       o.facts = v;
       return !v.empty();
     }},
    {"--lang", "language", "a language name such as zh or en", false,
     [](StartOptions& o, const std::string& v) {
       if (!IsLanguageName(v)) return false;
       o.language = v;
       return true;
     }},
};

// The option of kValueOptions that `arguments[i]` is, with its value from "=value" or the next
// argument (empty when there is none); nullptr when it is none of them.
const ValueOption* TakeValueOption(const std::vector<std::string>& arguments, std::size_t& i,
                                   std::string& value) {
  const std::string& argument = arguments[i];
  for (const ValueOption& option : kValueOptions) {
    if (argument != option.name && argument.rfind(std::string(option.name) + "=", 0) != 0) continue;
    if (argument.size() > option.name.size()) {
      value = argument.substr(option.name.size() + 1);
    } else if (i + 1 < arguments.size()) {
      value = arguments[++i];
    }
    return &option;
  }
  return nullptr;
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
    } else if (std::string value; const ValueOption* option = TakeValueOption(arguments, i, value)) {
      options.simulate = options.simulate || option->simulates;
      if (!option->take(options, value)) {
        options.error = "invalid " + std::string(option->what) + " in " + std::string(option->name) + " " +
                        value + " (expected " + option->expected + ")";
        return options;
      }
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
  return "Usage: kestrel [--usb BBB:DDD] [--lang LANG] [--facts FILE] [--simulate] [--sim-absent] "
         "[--sim-latency-ms MS] "
         "[--sim-programmers N] [--sim-signature HEX6] [--sim-socket PLAN] [--sim-socket-dump DIR]\n"
         "  --usb BBB:DDD        the programmer at this bus and device number (kestrel-cli list)\n"
         "  --lang LANG          zh or en: the language of the window and its log (default: from\n"
         "                       LANGUAGE, LC_ALL, LC_MESSAGES or LANG; Chinese under zh, C or POSIX,\n"
         "                       else English)\n"
         "  --facts FILE         read the chip facts from this file instead of looking beside the\n"
         "                       catalogue, in the installed data folder and beside the program\n"
         "  --simulate           run on the built-in simulated programmer\n"
         "  --sim-absent         simulate, with no programmer plugged in\n"
         "  --sim-latency-ms MS  simulated time per USB request (default 3)\n"
         "  --sim-programmers N  simulate N programmers, each with its own chip (default 1)\n"
         "  --sim-signature HEX6 the simulated chip's signature (default 1E950F, an ATmega328P)\n"
         "  --sim-socket PLAN    a socket the chips of PLAN pass through, as kestrel-cli's\n"
         "  --sim-socket-dump DIR  write each socket chip's memories to DIR/chip-NNNN.txt\n";
}

}  // namespace kestrel::app
