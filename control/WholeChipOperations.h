#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "chips/ChipFacts.h"
#include "control/FrontEnd.h"
#include "control/ImageFileOperations.h"
#include "image/MemoryRegions.h"

namespace kestrel::control {

// What a whole-chip open left for the operations after it.
struct WholeChipOpened {
  bool opened = false;
  image::WholeChipImage image;                // the memories the file holds
  std::optional<chips::Signature> signature;  // the chip the file was made for
};

// Reads a .hex or .elf file and fills every memory it holds: the FLASH and EEPROM images,
// the fuse and lock texts. Refuses a file made for another chip than `selected`, data outside
// the regions or beyond the chip's sizes; then both images are cleared. Posts no status: the
// caller does, once it has acted on what the file holds.
WholeChipOpened OpenWholeChipImage(ImageContext& context, FrontEnd& frontEnd,
                                   const chips::ChipFacts* selected, const std::string& path);

// What a backup has read of the chip before its file is written.
struct BackupRun {
  std::string path;
  std::chrono::steady_clock::time_point start;
  chips::Signature signature{};
  chips::FuseSet fuses;
  int fuseBytes = 3;
};

// True when the lock bits hide the memories from a read (lock mode 3).
bool LockHidesMemory(const chips::ChipFacts* chip, std::uint8_t lock);

// Writes the read-backs, fuses, lock and signature as one whole-chip HEX file and logs what it
// saved and how long the backup took. Posts status 121, or 120 when the file cannot be written.
void WriteBackupFile(ImageContext& context, const BackupRun& backup);

}  // namespace kestrel::control
