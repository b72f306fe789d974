#pragma once

#include <cstddef>
#include <string>

#include "base/Translate.h"
#include "chips/ChipGeometry.h"
#include "control/FrontEndPorts.h"
#include "control/Operations.h"
#include "device/ChipMemories.h"
#include "device/StatusCode.h"
#include "image/MemoryRegions.h"

namespace kestrel::control {

// Everything that differs between the FLASH and the EEPROM side of the core: its name in the
// log, its region of a whole-chip file, its page, its codes, texts and operations.
struct MemoryEntry {
  const char* name;  // "FLASH", as every log line writes it
  image::Region region;
  Page page;
  device::Status openStatus;
  device::Status saveStatus;
  device::Status verifyPassed;
  device::Status verifyFailed;
  Operation write, read, verify;
  Message readableKinds;  // the file kinds an open reads
  Message truncatedLine;  // a binary file longer than the chip
  Message openedToPage;
  Message savedLine;
  Message hexTooLarge;
  Message verifyBegin;
  Message verifyEnd;
};

const MemoryEntry& EntryOf(device::MemoryKind kind);

// The chip's size of the memory, kept inside the host's buffers whatever the geometry says:
// the part of its image and read-back that is shown, opened, saved, compared and backed up.
std::size_t MemoryLength(const chips::ChipGeometry& geometry, const device::ChipMemories& memories,
                         device::MemoryKind kind);

// Shows the first `length` bytes of the memory's image in `view`, putting them to use.
void ShowImage(HexViewPort& view, device::Memory& memory, std::size_t length);
// The same for the read-back. An edit in the view makes it no longer the chip's.
void ShowReadback(HexViewPort& view, device::Memory& memory, std::size_t length);

// The log line with the CRC-32 of the first `length` bytes of `bytes` up to the last that is
// not 0xFF, named by the memory `name` ("FLASH"): what a database or a second tool can compare.
std::string CrcLine(const char* name, const device::ChipBuffer& bytes, std::size_t length);

}  // namespace kestrel::control
