#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

#include "device/ProgrammerLink.h"
#include "device/sim/SimulatedBus.h"

namespace kestrel::device {
namespace {

using enum VendorCommand;

const chips::ChipFacts* Lookup(std::string_view name) {
  static const chips::ChipFacts tiny = [] {
    chips::ChipFacts facts;
    facts.name = "ATtiny85";
    facts.signature = {0x1E, 0x93, 0x0B};
    facts.flashBytes = 8192;
    facts.eepromBytes = 512;
    facts.modes = chips::ModeSet(chips::kIsp | chips::kHvsp);
    return facts;
  }();
  return name == tiny.name ? &tiny : nullptr;
}

// Each chip of a good plan as "failAt/unplugAt/stuck"; a bad plan's error, which must name
// the entry at fault.
TEST(SocketPlan, ExpandsCountsAndFlagsAndNamesTheFaultOfABadPlan) {
  const std::pair<const char*, std::string> cases[] = {
      {"ATtiny85*2, ATtiny85!fail-at=40!bits-stuck", "0/0/0 0/0/0 40/0/1 "},
      {"ATtiny85!unplug-at=7*2", "0/7/0 0/7/0 "},
      {"", "the plan names no chip"},
      {"ATtiny85,,ATtiny85", "empty entry 2 in the plan"},
      {"ATtiny99*2", "unknown chip \"ATtiny99\" in \"ATtiny99*2\""},
      {"ATtiny85*0", "bad count in \"ATtiny85*0\" (expected *1 to *10000)"},
      {"ATtiny85*x", "bad count in \"ATtiny85*x\" (expected *1 to *10000)"},
      {"ATtiny85!fail-at=",
       "bad number in \"fail-at=\" of \"ATtiny85!fail-at=\" (expected a request from 1 on)"},
      {"ATtiny85!unplug-at=+3",
       "bad number in \"unplug-at=+3\" of \"ATtiny85!unplug-at=+3\" (expected a request "
       "from 1 on)"},
      {"ATtiny85!stuck",
       "unknown flag \"stuck\" in \"ATtiny85!stuck\" (expected fail-at=N, unplug-at=N or "
       "bits-stuck)"},
      {"!bits-stuck", "no chip name in \"!bits-stuck\""},
  };
  for (const auto& [plan, expected] : cases) {
    const SocketPlanParse parse = ParseSocketPlan(plan, Lookup);
    std::string shown = parse.error;
    for (const SocketChip& chip : parse.chips)
      shown += std::to_string(chip.failAt) + "/" + std::to_string(chip.unplugAt) + "/" +
               std::to_string(chip.chip.firstFlashPageStuck) + " ";
    EXPECT_EQ(shown, expected) << plan;
  }
}

// The socket as a production loop sees it, polling the signature: "-" an empty socket, "T" the
// ATtiny85. The first chip's third request times out; the second keeps FLASH page 0 erased.
TEST(SimulatedSocket, ChipsComeAfterEmptyPollsLeaveAfterTheirRunAndFailAsPlanned) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("kestrel-socket-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "chip-0041.txt") << "an earlier run's\n";
  SimulatorOptions options;
  options.socketPlan = ParseSocketPlan("ATtiny85!fail-at=3,ATtiny85!bits-stuck", Lookup).chips;
  options.socketDumpFolder = folder.string();
  SimulatedBus bus(options);
  ProgrammerLink link(bus);
  ASSERT_EQ(link.Open(), OpenOk);
  const auto send = [&](const VendorRequest& request) {
    std::uint8_t bytes[64] = {};
    return bus.ControlMsg(link.deviceHandle, request.requestType, request.request, request.value,
                          request.index, bytes, request.length, 0);
  };
  std::string polls;
  const auto poll = [&](int count) {
    for (int i = 0; i < count; ++i) {
      std::uint8_t reply[8] = {};
      const VendorRequest request = SingleShotRequest(ProgrammingMode::ISP, ReadSignature);
      bus.ControlMsg(link.deviceHandle, request.requestType, request.request, 0, 0, reply, 8, 0);
      polls += reply[1] == 0x93 ? "T" : reply[1] == 0xFF ? "-" : "?";
    }
    polls += " ";
  };
  poll(3);
  EXPECT_EQ(send(SingleShotRequest(ProgrammingMode::ISP, EraseChip)), 8);
  EXPECT_EQ(send(SingleShotRequest(ProgrammingMode::ISP, EraseChip)), -ETIMEDOUT);
  poll(6);
  send(SingleShotRequest(ProgrammingMode::ISP, Ready));
  for (int page = 0; page < 2; ++page) send(WriteFlashPageRequest(ProgrammingMode::ISP, 32));
  poll(8);
  EXPECT_EQ(polls, "--T TTT--T TTT----- ");

  ASSERT_NE(bus.socket(), nullptr);
  ASSERT_EQ(bus.socket()->visited().size(), 2u);
  const SimulatedProgrammer& second = *bus.socket()->visited()[1];
  EXPECT_EQ(std::pair(second.flash[0], second.flash[64]), std::pair(std::uint8_t{0xFF}, std::uint8_t{0x00}));
  std::ifstream dump(folder / "chip-0043.txt");
  std::string line;
  while (std::getline(dump, line) && !line.starts_with("flash ")) continue;
  EXPECT_EQ(line.size(), 6 + 2 * 8192u);
  EXPECT_EQ(line.substr(6 + 2 * 62, 8), "FFFF0000") << "dumped as it left, numbered on in the folder";
  EXPECT_TRUE(std::filesystem::exists(folder / "chip-0042.txt"));
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace kestrel::device
