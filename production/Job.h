#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "chips/ChipFacts.h"
#include "device/VendorProtocol.h"
#include "production/Serial.h"

// A production job: one product as a TOML file, read once into the plan every chip of a run
// follows.
//
//   name = "thermostat rev 3"
//   chip = "ATmega328P"
//   mode = "ISP"                  # PP_20, PP_2313, ISP or HVSP
//   image = "thermostat.elf"      # a whole-chip ELF or HEX; or flash = "...", eeprom = "..."
//   fuses = "62D9FF"              # optional when the image holds them; must then match them
//   lock = "FC"
//   steps = ["erase", "write-flash", "verify-flash", "write-eeprom", "verify-eeprom", "fuses", "lock"]
//   fast_verify = true
//   [serial]
//   memory = "eeprom"  address = 0x10  source = "sequence"  format = "u32le"  start = 1000  step = 1
//   last = 99999       # or source = "list", list = "macs.txt"; or source = "random", bytes = 8
//
// Paths are relative to the job file. LoadJob reads the job and every file it names once and
// checks the whole plan before any chip is seen: the chip's facts, a whole-chip file's
// signature, the fuse and lock texts (and that they match the file's), a fuse text that locks
// ISP out in ISP mode (always refused: a job cannot confirm it), the steps and what they need,
// and a serial that lies inside its memory and over no file data. Any fault refuses the job
// with one line naming the key and the reason.
namespace kestrel::production {

enum class Step { BlankCheck, Erase, WriteFlash, VerifyFlash, WriteEeprom, VerifyEeprom, Fuses, Lock };
const char* StepName(Step step);  // "write-flash", as the job file names it

struct Job {
  std::string path;  // the job file, as given
  std::string text;  // its TOML text
  std::string name;
  chips::ChipFacts chip;
  device::ProgrammingMode mode = device::ProgrammingMode::PP_20;
  std::vector<Step> steps;  // in the job's order
  bool fastVerify = false;
  // The chip's whole FLASH and EEPROM as written, 0xFF where no file gives data; a memory
  // without data (and no serial) is empty.
  std::vector<std::uint8_t> flash;
  std::vector<std::uint8_t> eeprom;
  std::optional<chips::FuseSet> fuses;  // the fuse bytes (lock byte unused), when a step writes them
  std::optional<std::uint8_t> lock;
  std::optional<SerialPlan> serial;
  std::vector<std::string> files;     // every file read (the list file too), resolved paths
  std::vector<std::string> warnings;  // what the fuse and lock review says, for the plan's lines
  std::string identity;               // SHA-256 of the text and of every file, lowercase hex

  bool Has(Step step) const;
  // The memory as the job's files give it, without a serial.
  const std::vector<std::uint8_t>& Memory(device::MemoryKind kind) const {
    return kind == device::MemoryKind::Flash ? flash : eeprom;
  }
  // What one chip's memory is written and verified with: a copy of Memory(kind) with `value`
  // (a reservation's, see ProductionStore::ReserveSerial) placed at the serial's address in the
  // job's format, when the serial lives in this memory; Memory(kind) as it is otherwise or for
  // nullptr. The load checked that every value fits and covers no file data, so this cannot fail.
  std::vector<std::uint8_t> ChipImage(device::MemoryKind kind, const SerialValue* value) const;
};

struct JobLoad {
  std::optional<Job> job;
  std::string refusal;  // one line, when there is no job
};

// Reads the job file at `path` and everything it names, against the chip facts.
JobLoad LoadJob(const std::string& path, const chips::ChipFactsTable& facts);
// The same for a job's text; its files are looked for in `folder`.
JobLoad LoadJobText(const std::string& path, const std::string& text, const std::string& folder,
                    const chips::ChipFactsTable& facts);

// The lines that describe an accepted job's plan (chip, mode, steps, files, serial, identity).
std::vector<std::string> DescribeJob(const Job& job);

// SHA-256 of the parts in order, lowercase hex (OpenSSL's EVP).
std::string Sha256(const std::vector<std::string>& parts);

}  // namespace kestrel::production
