// How fast ReadHexImage turns the 256 KiB fixture into an image, in MB/s of HEX text, and, in
// the same run, how long avr-objcopy takes to convert the same file to binary.
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#if __has_include(<benchmark/benchmark.h>)
#include <benchmark/benchmark.h>
#define KESTREL_HAVE_BENCHMARK 1
#endif

#include "image/HexFileReader.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string kFixture = std::string(KESTREL_SOURCE_DIR) + "/tests/data/hex/rand256k-segment-r16.hex";

const std::string& HexText() {
  static const std::string text = [] {
    std::ifstream in(kFixture, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }();
  return text;
}

bool ReadOnce(std::vector<std::uint8_t>& image) {
  std::fill(image.begin(), image.end(), std::uint8_t{0xFF});
  return kestrel::image::ReadHexImage(HexText(), image, static_cast<std::int64_t>(image.size())).code ==
         kestrel::image::HexSuccess;
}

double MegabytesPerSecond(double bytes, double seconds) {
  return bytes / seconds / 1e6;
}

// Seconds of processor time, so that other work on the machine does not count; `children`
// for the processes this one waited for.
double CpuSeconds(bool children) {
  if (children) {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  }
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct Timing {
  double wall = -1;  // seconds per run
  double cpu = -1;
};

// Our reader, timed by hand so that the figure prints the same with or without the library.
Timing ReaderTiming(int rounds) {
  std::vector<std::uint8_t> image(262144);
  const auto start = Clock::now();
  const double cpuStart = CpuSeconds(false);
  for (int i = 0; i < rounds; ++i) {
    if (!ReadOnce(image)) return {};
  }
  return {std::chrono::duration<double>(Clock::now() - start).count() / rounds,
          (CpuSeconds(false) - cpuStart) / rounds};
}

// avr-objcopy, a fresh process per conversion as a user would run it; -1 when it is missing.
Timing ObjcopyTiming(int rounds) {
  if (std::system("command -v avr-objcopy >/dev/null 2>&1") != 0) return {};
  const std::string out = "/tmp/kestrel-bench-objcopy.bin";
  const std::string command = "exec avr-objcopy -I ihex -O binary '" + kFixture + "' " + out;
  const auto start = Clock::now();
  const double cpuStart = CpuSeconds(true);
  for (int i = 0; i < rounds; ++i) {
    if (std::system(command.c_str()) != 0) return {};
  }
  Timing timing{std::chrono::duration<double>(Clock::now() - start).count() / rounds,
                (CpuSeconds(true) - cpuStart) / rounds};
  std::remove(out.c_str());
  return timing;
}

void PrintTiming(const char* what, const Timing& timing, double size) {
  if (timing.cpu < 0) {
    std::printf("%s: not available\n", what);
    return;
  }
  std::printf("%s: %.3f ms CPU (%.0f MB/s), %.3f ms wall (%.0f MB/s)\n", what, timing.cpu * 1e3,
              MegabytesPerSecond(size, timing.cpu), timing.wall * 1e3, MegabytesPerSecond(size, timing.wall));
}

#ifdef KESTREL_HAVE_BENCHMARK
void BM_ReadHexImage(benchmark::State& state) {
  std::vector<std::uint8_t> image(262144);
  for (auto _ : state) {
    if (!ReadOnce(image)) state.SkipWithError("the fixture was refused");
    benchmark::DoNotOptimize(image.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(HexText().size()));
}
BENCHMARK(BM_ReadHexImage)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

int main(int argc, char** argv) {
  if (HexText().empty()) {
    std::fprintf(stderr, "cannot read %s\n", kFixture.c_str());
    return 1;
  }
#ifdef KESTREL_HAVE_BENCHMARK
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
#else
  (void)argc;
  (void)argv;
#endif
  const double size = static_cast<double>(HexText().size());
  const Timing reader = ReaderTiming(200);
  const Timing objcopy = ObjcopyTiming(20);
  std::printf("HEX text: %s, %.0f bytes\n", kFixture.c_str(), size);
  PrintTiming("ReadHexImage", reader, size);
  PrintTiming("avr-objcopy -I ihex -O binary (a process each, start-up included)", objcopy, size);
  return reader.cpu < 0 ? 1 : 0;
}
