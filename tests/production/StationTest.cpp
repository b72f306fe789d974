// Stations side by side on one simulated bus, as a gang runs them; ThreadSanitizer runs it too.
#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <set>

#include "device/sim/SimulatedBus.h"
#include "device/sim/SimulatedSocket.h"
#include "production/Station.h"
#include "tests/production/ProductionRig.h"

namespace kestrel::production {
namespace {

class Chips : public StationObserver {
 public:
  void ChipEnded(const std::string& address, const ChipReport& report) override {
    const std::lock_guard lock(mutex_);
    serials[address].push_back(report.serial);
  }
  std::mutex mutex_;
  std::map<std::string, std::vector<std::string>> serials;
};

TEST(Station, StationsOnOneBusProgramTheirOwnSocketsWithSerialsOfTheOneStore) {
  const Folder folder("station");
  const chips::ChipBooks books = chips::LoadChipBooks({KESTREL_SOURCE_DIR "/data/chip.txt"});
  const JobLoad load = LoadJob(KESTREL_SOURCE_DIR "/data/examples/blink/blink.toml", books.facts);
  ASSERT_TRUE(load.job) << load.refusal;
  std::string error;
  const auto store = OpenStore(folder.path + "/p.sqlite", {"test", getpid()}, error);
  JobVersion version;
  ASSERT_TRUE(store && store->RegisterJob(*load.job, version)) << error;
  device::SimulatorOptions simulator;
  simulator.programmers = 3;
  simulator.socketPlan = device::ParseSocketPlan("ATmega328P*3", [&books](std::string_view name) {
                           return books.facts.Find(name);
                         }).chips;
  const auto bus = device::MakeSimulatedBus(simulator);

  Chips chips;
  std::vector<std::unique_ptr<Station>> stations;
  for (const char* address : {"001:002", "001:003", "001:004"}) {
    LoopSettings loop{"test", std::chrono::milliseconds(5), 3};
    stations.push_back(std::make_unique<Station>(*load.job, version.id, *store, *bus, books,
                                                 StationSettings{address, loop}, chips));
    stations.back()->Start();
  }
  for (const auto& station : stations) station->Join();
  std::set<std::string> serials;
  for (const auto& station : stations) {
    EXPECT_EQ(station->end(), LoopEnd::CountReached) << station->address();
    EXPECT_EQ(station->totals().passed, 3);
    EXPECT_EQ(chips.serials[station->address()].size(), 3u);
    serials.insert(chips.serials[station->address()].begin(), chips.serials[station->address()].end());
  }
  EXPECT_EQ(serials.size(), 9u);
  std::vector<ChipRecord> rows;
  ASSERT_TRUE(store->Chips({}, rows));
  std::map<std::string, int> perProgrammer;
  for (const ChipRecord& row : rows) ++perProgrammer[row.programmer];
  EXPECT_EQ(perProgrammer, (std::map<std::string, int>{{"001:002", 3}, {"001:003", 3}, {"001:004", 3}}));
}

}  // namespace
}  // namespace kestrel::production
