#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
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

// Two programmers, each with its own socket: the plan for all, and the second's own, whose chip
// unplugs that programmer at its fourth request. The first goes on; a scan brings the second
// back with its socket empty, and each keeps its dumps in a folder of its own.
TEST(SimulatedGang, EachProgrammerHasItsOwnSocketFaultsAndDumps) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("kestrel-gang-" + std::to_string(::getpid()));
  SimulatorOptions options;
  options.programmers = 2;
  options.socketPlan = ParseSocketPlan("ATtiny85", Lookup).chips;
  options.socketPlans = {{}, ParseSocketPlan("ATtiny85!unplug-at=4", Lookup).chips};
  options.socketDumpFolder = folder.string();
  SimulatedBus bus(options);
  ProgrammerLink first(bus), second(bus);
  first.wantedAddress = "001:002";
  second.wantedAddress = "001:003";
  ASSERT_EQ(first.Open(), OpenOk);
  ASSERT_EQ(second.Open(), OpenOk);
  // A signature as "-" (an empty socket) or "T" (the chip), another reply as "+", an error as its code.
  const auto send = [&bus](ProgrammerLink& link, VendorCommand command) {
    std::uint8_t reply[8] = {};
    const VendorRequest request = SingleShotRequest(ProgrammingMode::ISP, command);
    const int result =
        bus.ControlMsg(link.deviceHandle, request.requestType, request.request, 0, 0, reply, 8, 0);
    if (result < 0) return std::to_string(result);
    return std::string(command != ReadSignature ? "+" : reply[1] == 0x93 ? "T" : "-");
  };
  std::string seen;
  for (int i = 0; i < 3; ++i) seen += send(first, ReadSignature) + send(second, ReadSignature);
  for (int i = 0; i < 3; ++i) seen += send(first, ReadFuseLock) + send(second, ReadFuseLock);
  EXPECT_EQ(seen, "----TT+++++-19");
  EXPECT_EQ(second.Open(), OpenOk);
  EXPECT_EQ(send(second, ReadSignature), "-");
  EXPECT_EQ(bus.socket(0)->visited().size(), 1u);
  EXPECT_EQ(bus.socket(1)->occupied(), false);
  EXPECT_TRUE(std::filesystem::exists(folder / "001-003" / "chip-0001.txt"));
  EXPECT_FALSE(std::filesystem::exists(folder / "chip-0001.txt"));
  std::filesystem::remove_all(folder);
}

// Each programmer takes the latency on its own, as its own link would: requests to two
// programmers from two threads overlap. The last programmer is listed only once it has arrived.
TEST(SimulatedGang, ProgrammersAnswerAtOnceAndTheLastArrivesLater) {
  constexpr int kRequests = 8, kLatencyMs = 25;
  SimulatorOptions options;
  options.latencyMs = kLatencyMs;
  options.programmers = 2;
  options.lastArrivesAfterMs = 150;
  SimulatedBus bus(options);
  ProgrammerLink scan(bus);
  EXPECT_EQ(scan.List(), std::vector<std::string>{"001:002"});
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  ASSERT_EQ(scan.List(), (std::vector<std::string>{"001:002", "001:003"}));

  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> links;
  for (const char* address : {"001:002", "001:003"}) {
    links.emplace_back([&bus, address] {
      ProgrammerLink link(bus);
      link.wantedAddress = address;
      ASSERT_EQ(link.Open(), OpenOk);
      for (int i = 0; i < kRequests; ++i) {
        std::uint8_t reply[8];
        const VendorRequest request = SingleShotRequest(ProgrammingMode::ISP, ReadSignature);
        bus.ControlMsg(link.deviceHandle, request.requestType, request.request, 0, 0, reply, 8, 0);
      }
    });
  }
  for (auto& link : links) link.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start,
            std::chrono::milliseconds(kRequests * kLatencyMs * 3 / 2));
}

}  // namespace
}  // namespace kestrel::device
