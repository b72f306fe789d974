#include "control/WholeChipOperations.h"

#include <algorithm>

#include "base/Texts.h"
#include "chips/FuseFields.h"
#include "control/ChipSafety.h"
#include "control/WholeChipFiles.h"
#include "device/StatusCode.h"
#include "image/FileAccess.h"
#include "image/HexWriter.h"

namespace kestrel::control {
namespace {

// Fills one memory's image from its region and shows it. Only the chip's part of the buffer
// is used (and takes memory).
void Fill(ImageContext& context, device::MemoryKind kind, const image::RegionImage& region, bool loaded) {
  device::Memory& memory = context.engine.memories()[kind];
  const std::size_t size = MemoryLength(context.geometry, context.engine.memories(), kind);
  std::uint8_t* const bytes = memory.image.Use(size);
  std::fill_n(bytes, size, std::uint8_t{0xFF});
  std::copy(region.bytes.begin(), region.bytes.end(), bytes);
  memory.imageLoaded = loaded;
  memory.given = ByteRanges::FromFlags(region.given);
  ShowImage(context.View(kind), memory, size);
}

}  // namespace

WholeChipOpened OpenWholeChipImage(ImageContext& context, FrontEnd& frontEnd,
                                   const chips::ChipFacts* selected, const std::string& path) {
  WholeChipOpened opened;
  const device::ChipMemories& memories = context.engine.memories();
  const std::size_t flashSize = MemoryLength(context.geometry, memories, device::MemoryKind::Flash);
  const std::size_t eepromSize = MemoryLength(context.geometry, memories, device::MemoryKind::Eeprom);
  const std::string name = FileName(path);
  WholeChipRead read = ReadWholeChipFile(
      path, {static_cast<std::uint32_t>(flashSize), static_cast<std::uint32_t>(eepromSize)});
  if (!read.note.empty()) context.log.AppendLog(read.note);
  const auto signature = read.ok ? FileSignature(read.image) : std::nullopt;
  if (read.ok && RegionsHeld(read.image, image::Region::Signature).empty()) {
    read = {false, Printf(texts::kWholeChipEmptyPattern, name.c_str()), {}, {}};
  } else if (auto refusal = read.ok ? SignatureRefusal(name, read.image, selected) : std::nullopt) {
    read = {false, *refusal, {}, {}};
  } else if (const std::size_t fuseBytes = read.ok ? read.image[image::Region::Fuses].bytes.size() : 0;
             fuseBytes > 0 && selected != nullptr &&
             fuseBytes < static_cast<std::size_t>(selected->fuseBytes)) {
    // A byte the file lacks would be written as 0xFF, which unprograms SPIEN on many chips.
    read = {false,
            Printf(texts::kFileFuseBytesShortPattern, name.c_str(), static_cast<int>(fuseBytes),
                   selected->name.c_str(), selected->fuseBytes),
            {},
            {}};
  }
  if (!read.ok) {
    // Neither memory keeps the file opened before: a following write must not program it.
    context.log.AppendLog(read.refusal);
    context.operationFailed();
    for (device::MemoryKind kind : device::kMemoryKinds) Fill(context, kind, {}, false);
    for (device::MemoryKind kind : device::kMemoryKinds)
      context.log.AppendLog(Printf(texts::kImageClearedPattern, EntryOf(kind).name));
    return opened;
  }
  const image::WholeChipImage& image = read.image;
  for (device::MemoryKind kind : device::kMemoryKinds) {
    const image::RegionImage& region = image[EntryOf(kind).region];
    if (!region.Empty()) Fill(context, kind, region, true);
  }
  if (const auto fuses = FileFuses(image)) {
    if (!image[image::Region::Fuses].Empty()) frontEnd.SetFuseText(FuseTextOf(*fuses));
    if (!image[image::Region::Lock].Empty()) frontEnd.SetLockText(LockTextOf(*fuses));
  }
  context.log.AppendLog(
      Printf(texts::kWholeChipOpenedPattern, name.c_str(), DescribeWholeChip(image).c_str()));
  opened.opened = true;
  opened.image = image;
  opened.signature = signature;
  return opened;
}

bool LockHidesMemory(const chips::ChipFacts* chip, std::uint8_t lock) {
  if (chip == nullptr) return (lock & 0x03) == 0;
  chips::FuseSet fuses = chip->factory;
  fuses[chips::FuseByte::kLock] = lock;
  const auto warnings = chips::FuseWarnings(*chip, fuses);
  return std::any_of(warnings.begin(), warnings.end(), [](const chips::FuseWarning& warning) {
    return warning.kind == chips::FuseWarningKind::kReadBackLocked;
  });
}

void WriteBackupFile(ImageContext& context, const BackupRun& backup) {
  // Only the chip's part of each read-back is saved (and takes memory).
  const auto readback = [&context](device::MemoryKind kind) {
    const std::size_t size = MemoryLength(context.geometry, context.engine.memories(), kind);
    return std::span(context.engine.memories()[kind].readback.Use(size), size);
  };
  const image::WholeChipImage image =
      BackupImage(readback(device::MemoryKind::Flash), readback(device::MemoryKind::Eeprom), backup.fuses,
                  backup.fuseBytes, backup.signature);
  const std::string text = image::WriteHexWholeChip(image);
  const std::string failure = image::ReplaceFileContents(
      backup.path, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  if (!failure.empty()) {
    context.log.AppendLog(Printf(texts::kSaveFailedPattern, backup.path.c_str(), failure.c_str()));
    return context.engine.PostStatus(device::Status::Refused);
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - backup.start;
  context.log.AppendLog(Printf(texts::kBackupSavedPattern, backup.path.c_str(),
                               DescribeWholeChip(image).c_str(), took.count()));
  context.engine.PostStatus(device::Status::BackupFileSaved);
}

}  // namespace kestrel::control
