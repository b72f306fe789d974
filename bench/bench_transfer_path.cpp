// Host time per page of a 256 KiB FLASH write, read and verify through the whole path: the
// operation queue, the worker thread, the blocking status channel, the dispatcher with its
// progress and log, against the simulated programmer answering at once. The geometry is the
// ATmega2560's: 1024 pages of 128 words.
//
//   bench_transfer_path [rounds, default 30]
#include <sched.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/TonePlayer.h"
#include "chips/ChipCatalogue.h"
#include "control/BlockingStatusChannel.h"
#include "control/FrontEnd.h"
#include "control/ProgrammerController.h"
#include "device/sim/SimulatedBus.h"

namespace {

using kestrel::control::OperationButton;
using Clock = std::chrono::steady_clock;

// A front end that keeps what a real one keeps of the path (which buffer each view shows) and
// what the soundness check needs: the progress positions and the error beeps.
class BenchFrontEnd : public kestrel::control::FrontEnd, kestrel::control::LogListPort, kestrel::TonePlayer {
 public:
  void ShowMessage(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
  void ShowPage(int) override {}
  kestrel::control::LogListPort& LogList() override { return *this; }
  void SetFieldText(kestrel::control::Field, const std::string&) override {}
  void ShowProgress(const kestrel::control::RunProgress& shown) override {
    progress.push_back(shown.position);
  }
  kestrel::control::HexViewPort& FlashView() override { return flashView_; }
  kestrel::control::HexViewPort& EepromView() override { return eepromView_; }
  kestrel::TonePlayer& Tones() override { return *this; }

  std::vector<int> progress;
  int errorBeeps = 0;

 private:
  void InsertLine(int, const std::string&) override {}
  void SelectLine(int) override {}
  void ResetLines() override {}
  void Play(int frequencyHz, int) override { errorBeeps += frequencyHz == kestrel::kErrorToneHz; }

  kestrel::control::HexViewPort flashView_;
  kestrel::control::HexViewPort eepromView_;
};

// The controller over the simulated programmer with the channel a front end without an event
// framework uses; a button press runs until the operations have ended.
struct Harness {
  Harness() {
    channel.SetHandler([this](kestrel::device::Status code, std::uint32_t argument) {
      controller.OnProgrammerStatus(code, argument);
    });
  }
  void Press(OperationButton button) {
    kestrel::control::RunRequest request;
    request.press = button;
    controller.Start(std::move(request));
    channel.PumpUntil([this] { return controller.Idle(); });
  }

  // An ATmega2560 in the socket, so that the signature check lets the writes through.
  static kestrel::device::SimulatorOptions AnAtmega2560() {
    kestrel::device::SimulatorOptions options;
    options.chip.signature = {0x1E, 0x98, 0x01};
    return options;
  }
  kestrel::device::SimulatedBus bus{AnAtmega2560()};
  BenchFrontEnd frontEnd;
  kestrel::control::BlockingStatusChannel channel;
  kestrel::control::ProgrammerController controller{bus, frontEnd, channel};
};

constexpr int kPages = 1024;
constexpr double kTargetMicroseconds = 10.0;

double CpuSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);  // every thread of the process
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct Sample {
  double wall[3];  // seconds of write, read, verify
  double cpu;      // seconds of processor time over all three, all threads
};

Sample RunRound(Harness& h) {
  // What the earlier rounds left behind is not part of the path being measured.
  h.bus.ClearRequests();
  h.frontEnd.progress.clear();
  h.controller.log().ClearLog();

  Sample sample{};
  const OperationButton buttons[3] = {OperationButton::WriteFlash, OperationButton::ReadFlash,
                                      OperationButton::VerifyFlash};
  const double cpuStart = CpuSeconds();
  for (int i = 0; i < 3; ++i) {
    const auto start = Clock::now();
    h.Press(buttons[i]);
    sample.wall[i] = std::chrono::duration<double>(Clock::now() - start).count();
  }
  sample.cpu = CpuSeconds() - cpuStart;
  return sample;
}

// The read-back equals the image, and the bar went through every position from 0 to 100 once
// in the write and once in the read (the worker sends only the pages that move it).
bool RoundWasSound(Harness& h) {
  const auto& flash = h.controller.memories()[kestrel::device::MemoryKind::Flash];
  std::vector<int> bar(202);
  for (int i = 0; i < 202; ++i) bar[i] = i % 101;
  return std::equal(flash.image.begin(), flash.image.end(), flash.readback.begin()) &&
         h.frontEnd.progress == bar && h.frontEnd.errorBeeps == 0;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Runs `rounds` measured rounds and prints their medians under `label`; false when a round did
// not end cleanly.
bool RunSeries(Harness& h, int rounds, const char* label) {
  RunRound(h);  // warm-up: first touches of every buffer, threads placed
  std::vector<double> perPageWall;
  std::vector<double> perPageCpu;
  std::vector<double> phases[3];
  for (int round = 0; round < rounds; ++round) {
    const Sample sample = RunRound(h);
    if (!RoundWasSound(h)) {
      std::fprintf(stderr, "round %d: the write, read and verify did not run cleanly\n", round);
      return false;
    }
    for (int i = 0; i < 3; ++i) phases[i].push_back(sample.wall[i]);
    perPageWall.push_back((sample.wall[0] + sample.wall[1] + sample.wall[2]) / kPages);
    perPageCpu.push_back(sample.cpu / kPages);
  }
  const double wall = Median(perPageWall) * 1e6;
  std::printf("%s:\n", label);
  std::printf("  write %.2f ms, read %.2f ms, verify %.2f ms (wall, medians)\n", Median(phases[0]) * 1e3,
              Median(phases[1]) * 1e3, Median(phases[2]) * 1e3);
  std::printf(
      "  host time per page: %.2f us wall (best %.2f), %.2f us CPU of all threads "
      "(target <= %.0f us)\n",
      wall, *std::min_element(perPageWall.begin(), perPageWall.end()) * 1e6, Median(perPageCpu) * 1e6,
      kTargetMicroseconds);
  std::printf(
      "  against the link: %.3f %% of a 4.5 ms FLASH page write, %.3f %% of a 2 ms page "
      "transfer\n",
      wall / 4500.0 * 100.0, wall / 2000.0 * 100.0);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;

  Harness h;
  if (!h.controller.LoadCatalogue({KESTREL_SOURCE_DIR "/data/chip.txt"}).loaded) {
    std::fprintf(stderr, "cannot read the catalogue\n");
    return 1;
  }
  h.controller.OnChipSelChange(kestrel::chips::FindChip(h.controller.catalogue(), "ATmega2560"));
  if (h.controller.geometry().flashPageCount != kPages) {
    std::fprintf(stderr, "the catalogue has no ATmega2560 of %d pages\n", kPages);
    return 1;
  }
  h.controller.BindImageViews();
  if (!h.controller.ProbeProgrammer()) {
    std::fprintf(stderr, "the simulated programmer did not open\n");
    return 1;
  }
  std::mt19937 random(2560);
  auto& flash = h.controller.memories()[kestrel::device::MemoryKind::Flash];
  for (auto& byte : flash.image) byte = static_cast<std::uint8_t>(random());
  flash.imageLoaded = true;  // as an open would have marked it

  std::printf("256 KiB FLASH (1024 pages of 128 words), write + read + verify, %d rounds\n", rounds);
  // A page that moves the bar is one progress code that the worker hands to the front end's
  // thread and waits for: two thread wake-ups. Where the threads run decides what a wake-up
  // costs (on a virtual machine, one across processors is far dearer), so both placements are
  // measured.
  if (!RunSeries(h, rounds, "threads placed by the scheduler")) return 1;
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(sched_getcpu(), &one);
  // Workers are started from this thread and inherit its placement.
  if (sched_setaffinity(0, sizeof one, &one) == 0 && !RunSeries(h, rounds, "all threads on one core")) {
    return 1;
  }
  return 0;
}
