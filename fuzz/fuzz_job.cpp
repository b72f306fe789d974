// Feeds arbitrary TOML text to the production job loader, against the shipped chip facts and a
// folder holding a program and a list file, and checks what an accepted plan promises.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "base/FileRead.h"
#include "production/Job.h"

namespace {

using namespace kestrel;

void Expect(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "fuzz_job: %s\n", what);
  std::abort();
}

// The files a fuzzed job may name: app.hex (16 bytes at FLASH 0) and macs.txt (two values).
const std::string& Folder() {
  static const std::string folder = [] {
    char name[] = "/tmp/kestrel-fuzz-job-XXXXXX";
    Expect(mkdtemp(name) != nullptr, "no folder for the job's files");
    std::ofstream(std::string(name) + "/app.hex")
        << ":100000000C9434000C943E000C943E000C943E0082\n:00000001FF\n";
    std::ofstream(std::string(name) + "/macs.txt") << "00:1A:2B:00:00:01\n00:1A:2B:00:00:02\n";
    return std::string(name);
  }();
  return folder;
}

const chips::ChipFactsTable& Facts() {
  static const chips::ChipFactsTable facts =
      chips::ParseChipFacts(ReadFileStart(KESTREL_SOURCE_DIR "/data/chip-facts.tsv", 1u << 24).bytes);
  return facts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const production::JobLoad load = production::LoadJobText("fuzz.toml", text, Folder(), Facts());
  Expect(load.job.has_value() != !load.refusal.empty(), "neither a job nor a refusal, or both");
  if (!load.job) return 0;
  const production::Job& job = *load.job;
  Expect(job.identity.size() == 64, "an identity that is no SHA-256");
  Expect(job.flash.empty() || job.flash.size() == job.chip.flashBytes, "FLASH not the chip's size");
  Expect(job.eeprom.empty() || job.eeprom.size() == job.chip.eepromBytes, "EEPROM not the chip's size");
  Expect(!job.steps.empty(), "a job without steps");
  if (job.serial) {
    const std::vector<std::uint8_t>& memory = job.Memory(job.serial->memory);
    const std::size_t end = std::size_t{job.serial->address} + job.serial->Width();
    Expect(end <= memory.size(), "a serial beyond its memory");
    for (std::size_t at = job.serial->address; at < end; ++at)
      Expect(memory[at] == 0xFF, "a serial over file data");
    if (job.serial->source == production::SerialSource::Sequence) {
      const auto value = production::SequenceValue(job.serial->format, job.serial->start);
      Expect(value.has_value(), "a first number the format cannot hold");
      const std::vector<std::uint8_t> chip = job.ChipImage(job.serial->memory, &*value);
      Expect(chip.size() == memory.size() &&
                 std::equal(value->bytes.begin(), value->bytes.end(), chip.begin() + job.serial->address),
             "a chip's image without its serial");
    }
  }
  Expect(!production::DescribeJob(job).empty(), "a plan without lines");
  return 0;
}
