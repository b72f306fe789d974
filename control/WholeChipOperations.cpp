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
void Fill(device::ChipBuffer& image, bool& loaded, HexViewPort& view, std::size_t size,
          const image::RegionImage& region) {
  std::uint8_t* const bytes = image.Use(size);
  std::fill_n(bytes, size, std::uint8_t{0xFF});
  std::copy(region.bytes.begin(), region.bytes.end(), bytes);
  loaded = true;
  view.SetData(bytes, size);
}

void Clear(device::ChipBuffer& image, bool& loaded, HexViewPort& view, std::size_t size) {
  Fill(image, loaded, view, size, {});
  loaded = false;
}

}  // namespace

WholeChipOpened OpenWholeChipImage(ImageContext& context, FrontEnd& frontEnd,
                                   const chips::ChipFacts* selected, const std::string& path) {
  WholeChipOpened opened;
  device::ChipMemories& memories = context.engine.memories();
  const std::size_t flashSize = FlashLength(context.geometry, memories);
  const std::size_t eepromSize = EepromLength(context.geometry, memories);
  const std::string name = FileName(path);
  WholeChipRead read = ReadWholeChipFile(
      path, {static_cast<std::uint32_t>(flashSize), static_cast<std::uint32_t>(eepromSize)});
  const auto signature = read.ok ? FileSignature(read.image) : std::nullopt;
  if (read.ok && RegionsHeld(read.image, image::Region::Signature).empty()) {
    read = {false, Printf(texts::kWholeChipEmptyPattern, name.c_str()), {}};
  } else if (read.ok && signature && selected != nullptr && *signature != selected->signature) {
    read = {false,
            Printf(texts::kFileSignatureMismatchPattern, name.c_str(), SignatureText(*signature).c_str(),
                   selected->name.c_str(), SignatureText(selected->signature).c_str()),
            {}};
  } else if (const std::size_t fuseBytes = read.ok ? read.image[image::Region::Fuses].bytes.size() : 0;
             fuseBytes > 0 && selected != nullptr &&
             fuseBytes < static_cast<std::size_t>(selected->fuseBytes)) {
    // A byte the file lacks would be written as 0xFF, which unprograms SPIEN on many chips.
    read = {false,
            Printf(texts::kFileFuseBytesShortPattern, name.c_str(), static_cast<int>(fuseBytes),
                   selected->name.c_str(), selected->fuseBytes),
            {}};
  }
  if (!read.ok) {
    // Neither memory keeps the file opened before: a following write must not program it.
    context.log.AppendLog(read.refusal);
    context.operationFailed();
    Clear(memories.flashImage, memories.flashImageLoaded, context.flashView, flashSize);
    Clear(memories.eepromImage, memories.eepromImageLoaded, context.eepromView, eepromSize);
    context.log.AppendLog(Printf(texts::kImageClearedPattern, "FLASH"));
    context.log.AppendLog(Printf(texts::kImageClearedPattern, "EEPROM"));
    return opened;
  }
  const image::WholeChipImage& image = read.image;
  if (!image[image::Region::Flash].Empty()) {
    Fill(memories.flashImage, memories.flashImageLoaded, context.flashView, flashSize,
         image[image::Region::Flash]);
  }
  if (!image[image::Region::Eeprom].Empty()) {
    Fill(memories.eepromImage, memories.eepromImageLoaded, context.eepromView, eepromSize,
         image[image::Region::Eeprom]);
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
  const device::ChipMemories& memories = context.engine.memories();
  const std::size_t flashSize = FlashLength(context.geometry, memories);
  const std::size_t eepromSize = EepromLength(context.geometry, memories);
  const image::WholeChipImage image =
      BackupImage(std::span(memories.flashReadback.Use(flashSize), flashSize),
                  std::span(memories.eepromReadback.Use(eepromSize), eepromSize), backup.fuses,
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
