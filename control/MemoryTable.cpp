#include "control/MemoryTable.h"

#include <algorithm>
#include <cstdint>

#include "base/Texts.h"

namespace kestrel::control {
namespace {

using device::Status;

constexpr MemoryEntry kEntries[] = {
    {"FLASH", image::Region::Flash, FlashPage, Status::FlashFileOpened, Status::FlashFileSaved,
     Status::FlashVerified, Status::FlashVerifyFailed, Operation::WriteFlash, Operation::ReadFlash,
     Operation::VerifyFlash, Msg("hex、bin、elf"), texts::kFlashBinTruncatedLine, texts::kOpenedToFlashPage,
     texts::kFlashSavedLine, texts::kFlashHexTooLarge, texts::kFlashVerifyBegin, texts::kFlashVerifyEnd},
    {"EEPROM", image::Region::Eeprom, EepromPage, Status::EepromFileOpened, Status::EepromFileSaved,
     Status::EepromVerified, Status::EepromVerifyFailed, Operation::WriteEeprom, Operation::ReadEeprom,
     Operation::VerifyEeprom, Msg("hex、eep、bin、elf"), texts::kEepromBinTruncatedLine,
     texts::kOpenedToEepromPage, texts::kEepromSavedLine, texts::kEepromHexTooLarge,
     texts::kEepromVerifyBegin, texts::kEepromVerifyEnd},
};

}  // namespace

const MemoryEntry& EntryOf(device::MemoryKind kind) {
  return kEntries[static_cast<std::size_t>(kind)];
}

std::size_t MemoryLength(const chips::ChipGeometry& geometry, const device::ChipMemories& memories,
                         device::MemoryKind kind) {
  const device::Memory& memory = memories[kind];
  const std::int64_t chip = kind == device::MemoryKind::Flash ? geometry.FlashSize() : geometry.EepromSize();
  const auto buffer = static_cast<std::int64_t>(std::min(memory.image.size(), memory.readback.size()));
  return static_cast<std::size_t>(std::clamp<std::int64_t>(chip, 0, buffer));
}

void ShowImage(HexViewPort& view, device::Memory& memory, std::size_t length) {
  memory.image.Use(length);
  // An edited byte is one the user gave, as a file gives its bytes.
  view.Show(memory.image, length, [&memory](std::size_t index) {
    memory.given.Add(static_cast<std::uint32_t>(index), static_cast<std::uint32_t>(index + 1));
  });
}

void ShowReadback(HexViewPort& view, device::Memory& memory, std::size_t length) {
  memory.readback.Use(length);
  view.Show(memory.readback, length, [&memory](std::size_t) { memory.readbackValid = false; });
}

}  // namespace kestrel::control
