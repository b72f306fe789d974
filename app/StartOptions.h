#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::app {

// What the command line asks of the desktop program.
struct StartOptions {
  bool simulate = false;        // run on the built-in simulated programmer
  bool simulateAbsent = false;  // ... with no programmer attached
  int latencyMs = 3;            // simulated time per request, so that progress can be seen
  int programmers = 1;          // simulated programmers on the bus, each with its own chip
  std::string usb;              // the programmer's address, "BBB:DDD"; empty: the first found
  std::string facts;            // the chip facts file; empty: looked for
  // --lang: "zh", "en" or another catalogue name; unset: the environment chooses.
  std::optional<std::string> language;
  bool help = false;
  std::string error;  // a plain report of the first argument not understood
  // The simulated chip's signature; without it the simulated chip is an ATmega328P.
  std::optional<std::array<std::uint8_t, 3>> simSignature;
  // The socket plan and dump folder, as kestrel-cli's --sim-socket and --sim-socket-dump; the
  // plan is read once the chip facts are loaded.
  std::optional<std::string> simSocket;
  std::string simSocketDump;
};

// Reads the arguments after the program name, passing over those that Qt itself takes.
StartOptions ParseStartOptions(const std::vector<std::string>& arguments);

std::string UsageText();

}  // namespace kestrel::app
