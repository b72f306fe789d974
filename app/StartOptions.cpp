#include "app/StartOptions.h"

#include <charconv>

namespace kestrel::app {
namespace {

constexpr char kLatencyPrefix[] = "--sim-latency=";

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
  for (const std::string& argument : arguments) {
    if (argument == "--simulate") {
      options.simulate = true;
    } else if (argument == "--sim-absent") {
      options.simulate = true;
      options.simulateAbsent = true;
    } else if (argument.rfind(kLatencyPrefix, 0) == 0) {
      options.simulate = true;
      if (!ParseLatency(argument.substr(sizeof kLatencyPrefix - 1), options.latencyMs)) {
        options.error = "invalid latency in " + argument + " (expected milliseconds, 0 to 1000)";
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
  return "Usage: kestrel [--simulate] [--sim-absent] [--sim-latency=MS]\n"
         "  --simulate         run on the built-in simulated programmer\n"
         "  --sim-absent       simulate, with no programmer plugged in\n"
         "  --sim-latency=MS   simulated time per USB request (default 3)\n";
}

}  // namespace kestrel::app
