#include "app/StartOptions.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <span>
#include <string_view>

namespace kestrel::app {
namespace {

// The same spelling as kestrel-cli's: "--sim-latency-ms N" or "--sim-latency-ms=N".
constexpr std::string_view kLatencyOption = "--sim-latency-ms";

// Qt's own options, which QApplication takes out later; those in the first list take a value.
constexpr std::array<std::string_view, 13> kQtValueOptions = {
    "-platform", "-platformpluginpath", "-platformtheme", "-plugin", "-style", "-stylesheet", "-session",
    "-display", "-geometry", "-qwindowgeometry", "-qwindowtitle", "-qwindowicon", "-title"};
constexpr std::array<std::string_view, 5> kQtFlagOptions = {"-reverse", "-widgetcount", "-nograb", "-dograb",
                                                             "-sync"};

bool IsOneOf(std::string_view argument, std::span<const std::string_view> options) {
  return std::find(options.begin(), options.end(), argument) != options.end();
}

bool ParseLatency(const std::string& text, int& latencyMs) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  if (result.ec != std::errc() || result.ptr != end || value < 0 || value > 1000) return false;
  latencyMs = value;
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
    } else if (argument == kLatencyOption || argument.rfind(std::string(kLatencyOption) + "=", 0) == 0) {
      options.simulate = true;
      std::string value;
      if (argument.size() > kLatencyOption.size()) {
        value = argument.substr(kLatencyOption.size() + 1);
      } else if (i + 1 < arguments.size()) {
        value = arguments[++i];
      }
      if (!ParseLatency(value, options.latencyMs)) {
        options.error = "invalid latency in " + std::string(kLatencyOption) + " " + value +
                        " (expected milliseconds, 0 to 1000)";
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
  return "Usage: kestrel [--simulate] [--sim-absent] [--sim-latency-ms MS]\n"
         "  --simulate           run on the built-in simulated programmer\n"
         "  --sim-absent         simulate, with no programmer plugged in\n"
         "  --sim-latency-ms MS  simulated time per USB request (default 3)\n";
}

}  // namespace kestrel::app
