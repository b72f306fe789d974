#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "chips/ChipFacts.h"
#include "device/VendorProtocol.h"
#include "device/sim/SimulatedProgrammer.h"

namespace kestrel::device {

// The chip as the facts describe it and the simulator holds it.
SimulatedChip SimulatedChipOf(const chips::ChipFacts& facts);

// One chip of a socket plan, with the faults it brings along.
struct SocketChip {
  std::string name;
  SimulatedChip chip;
  std::size_t flashBytes = 0;  // what a dump of it holds
  std::size_t eepromBytes = 0;
  std::uint32_t failAt = 0;    // its N-th vendor request fails with -ETIMEDOUT; 0: none
  std::uint32_t unplugAt = 0;  // from its N-th vendor request the programmer is gone; 0: never
};

struct SocketPlanParse {
  std::vector<SocketChip> chips;  // in the order they go into the socket
  std::string error;              // empty when the plan is usable
};

// Reads a socket plan: entries separated by commas, each "NAME[!FLAG...][*COUNT]" with the
// flags fail-at=N, unplug-at=N and bits-stuck (FLASH page 0 will not program). `lookup` gives
// the facts of a chip name or nullptr. The error names the entry and what is wrong with it.
SocketPlanParse ParseSocketPlan(std::string_view plan,
                                const std::function<const chips::ChipFacts*(std::string_view)>& lookup);

// What the socket did on the request just taken.
struct SocketTurn {
  SimulatedProgrammer* programmer;      // answers the request: the chip, or the empty socket
  const SocketChip* arrived = nullptr;  // the chip whose first request this is: arm its faults
};

// A socket that the chips of a plan pass through, one after the other, for a production loop
// to poll. Counting signature reads (Ready requests aside) as polls:
// - an empty socket reads FF FF FF; the next chip is there from the kEmptyPolls + 1-th poll on;
// - a chip is taken out at the kPollsToLeave-th signature read in a row with no other request
//   between, counted from the read that found it: a run breaks the row with its first erase,
//   write or read, and the polls after the run end it. That read already finds the socket empty.
// - an unplug of the programmer also takes the chip out (someone replugs and swaps the chip).
// After the last chip the socket stays empty. With a dump folder, each chip's memories are
// written to a file of their own (see DumpFile) whenever it has been written to and the host
// asks anything else, and when it leaves, so that a program killed at any moment leaves every
// chip's last state behind. Not locked: the bus serialises its programmer's requests.
class SimulatedSocket {
 public:
  static constexpr int kEmptyPolls = 2;
  static constexpr int kPollsToLeave = 4;

  SimulatedSocket(std::vector<SocketChip> plan, std::string dumpFolder);

  SocketTurn Take(const VendorRequest& request);
  void TakeOut();  // the chip in the socket, if any, leaves now

  // The chips that have been in the socket, in order, the last one perhaps still in it; each
  // keeps its memories as they were when it left.
  const std::vector<std::unique_ptr<SimulatedProgrammer>>& visited() const { return visited_; }
  bool occupied() const { return occupied_; }

  // The text a dump file holds: lines "chip NAME", "signature HEX6", "fuses HEX6", "lock HEX2",
  // "flash HEX..." and "eeprom HEX..." (every byte of the chip's memory, two hex digits each).
  static std::string DumpText(const SocketChip& chip, const SimulatedProgrammer& programmer);

 private:
  void Dump();

  std::vector<SocketChip> plan_;
  std::string dumpFolder_;
  int firstDumpNumber_ = 1;  // numbered on after the dumps already in the folder
  SimulatedProgrammer empty_;
  std::vector<std::unique_ptr<SimulatedProgrammer>> visited_;
  bool occupied_ = false;
  bool dirty_ = false;  // written to since the last dump
  int polls_ = 0;       // signature reads: of the empty socket, or in a row of the chip
};

}  // namespace kestrel::device
