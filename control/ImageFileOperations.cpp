#include "control/ImageFileOperations.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "base/ByteRanges.h"
#include "base/Bytes.h"
#include "base/FileRead.h"
#include "base/Texts.h"
#include "control/WholeChipFiles.h"
#include "control/Wording.h"
#include "device/StatusCode.h"
#include "image/FileAccess.h"
#include "image/HexFileReader.h"
#include "image/HexWriter.h"

namespace kestrel::control {
namespace {

// Far beyond the HEX text of the largest image (about 0.8 MB for 256 KiB); a larger file is
// not an image of this programmer and is not read into memory.
constexpr std::size_t kHexTextLimit = 64u << 20;
// Enough of a file's start to tell its format; most images are read whole with it.
constexpr std::size_t kSniffBytes = 4096;

// One memory's side of the file operations.
struct Side {
  const MemoryEntry& entry;
  device::Memory& memory;
  HexViewPort& view;
  std::size_t size;  // the chip's
};

Side SideOf(ImageContext& context, device::MemoryKind kind) {
  device::ChipMemories& memories = context.engine.memories();
  return {EntryOf(kind), memories[kind], context.View(kind), MemoryLength(context.geometry, memories, kind)};
}

// One log line for each line of `lines`.
void Refuse(ImageContext& context, const std::string& lines) {
  for (std::size_t start = 0; start <= lines.size();) {
    const std::size_t end = std::min(lines.find('\n', start), lines.size());
    context.log.AppendLog(lines.substr(start, end - start));
    start = end + 1;
  }
  context.operationFailed();
}

// After a refused open the side holds no image, so that a following write cannot program the
// file opened before: the view shows it empty, as at start-up.
void ClearSide(ImageContext& context, const Side& side, std::size_t size) {
  // Only the chip's part of a buffer is used (and takes memory).
  std::fill_n(side.memory.image.Use(size), size, std::uint8_t{0xFF});
  side.memory.imageLoaded = false;
  side.memory.given.Clear();
  ShowImage(side.view, side.memory, size);
  context.log.AppendLog(Printf(texts::kImageClearedPattern, side.entry.name));
}

image::ChipSizes SizesOf(const chips::ChipGeometry& geometry) {
  return {static_cast<std::uint32_t>(std::max<std::int64_t>(geometry.FlashSize(), 0)),
          static_cast<std::uint32_t>(std::max<std::int64_t>(geometry.EepromSize(), 0))};
}

// The memory's own region of a whole-chip file, into `scratch`; one note names the memories it
// left.
void TakeRegion(const MemoryEntry& entry, const std::string& name, const image::WholeChipImage& whole,
                std::span<std::uint8_t> scratch, const chips::ChipFacts* selected, MemoryFileRead& read) {
  // A file made for another chip is refused here as the whole-chip open refuses it.
  if (auto refusal = SignatureRefusal(name, whole, selected)) {
    read.refusal = *refusal;
    return;
  }
  const image::RegionImage& region = whole[entry.region];
  if (region.bytes.size() > scratch.size()) {
    read.message = entry.hexTooLarge;
    read.refusal = Printf(texts::kHexRefusedPattern, name.c_str(), entry.hexTooLarge.c_str());
    return;
  }
  std::copy(region.bytes.begin(), region.bytes.end(), scratch.begin());
  read.count = static_cast<std::int32_t>(region.bytes.size());
  read.given = ByteRanges::FromFlags(region.given);
  read.ok = true;
  const std::string left = RegionsHeld(whole, entry.region);
  if (!left.empty())
    read.notes.push_back(Printf(texts::kRegionsLeftPattern, name.c_str(), left.c_str(), entry.name));
}

// A HEX file of one memory, or a whole-chip HEX file whose data reach the other regions: then
// the FLASH side takes the FLASH region, the EEPROM side the EEPROM region when there is one.
void ReadHexSide(const MemoryEntry& entry, const std::string& name, std::string_view text,
                 std::span<std::uint8_t> scratch, const chips::ChipFacts* selected, MemoryFileRead& read) {
  image::HexReadResult hex = image::ReadHexImage(text, scratch, static_cast<std::int64_t>(scratch.size()));
  if (hex.code == image::HexSuccess) {
    read.count = static_cast<std::int32_t>(hex.length);
    read.given = std::move(hex.given);
    read.ok = true;
    return;
  }
  // Too large for the chip: a whole-chip file, whose data reaches past FLASH's window, gives
  // this side its own memory; any other is refused without reading it a second time.
  if (hex.code == image::HexTooLarge) {
    if (hex.extent > image::RegionWindow(image::Region::Flash)) {
      const image::HexRegionRead regions = image::ReadHexRegions(text);
      const bool held = !RegionsHeld(regions.image, image::Region::Flash).empty();
      if (regions.code == image::HexSuccess && !regions.outsideAddress && held &&
          (entry.region == image::Region::Flash || !regions.image[entry.region].Empty())) {
        return TakeRegion(entry, name, regions.image, scratch, selected, read);
      }
      if (regions.code == image::HexConflict) {
        read.refusal = HexRefusalLine(name, regions);
        return;
      }
      if (regions.code == image::HexSuccess && regions.outsideAddress) {
        read.refusal = OutsideLine(name, *regions.outsideAddress);
        return;
      }
    }
    // The old line for the scripts that know it, then where the data ends against the chip.
    read.message = entry.hexTooLarge;
    read.refusal = Printf(texts::kHexRefusedPattern, name.c_str(), entry.hexTooLarge.c_str()) + "\n" +
                   Printf(texts::kDataReachesPattern, static_cast<unsigned>(hex.extent - 1), entry.name,
                          static_cast<unsigned>(scratch.size() - 1));
    return;
  }
  read.refusal = HexRefusalLine(name, hex);
}

// Reads the chosen file into the side's image and shows it. A file that cannot be read, is of
// a kind this side does not read, or that the HEX reader refuses, is reported and leaves the
// side without an image.
void LoadImage(ImageContext& context, const Side& side, const std::string& path) {
  const std::size_t size = side.size;
  const MemoryFileRead read = ReadMemoryFile(side.entry, path, SizesOf(context.geometry),
                                             context.selected != nullptr ? *context.selected : nullptr,
                                             std::span(side.memory.image.Use(size), size));
  for (const std::string& note : read.notes) context.log.AppendLog(note);
  if (read.message) context.messages.ShowMessage(*read.message);
  if (!read.ok) {
    Refuse(context, read.refusal);
    return ClearSide(context, side, size);
  }
  side.memory.given = read.given;
  side.memory.imageLoaded = true;
  ShowImage(side.view, side.memory, size);
  context.log.AppendLog(texts::kOpenedFilePrefix.c_str() + FileName(path) + side.entry.openedToPage.c_str() +
                        Printf(texts::kOpenedCountPattern, read.count));
  context.log.AppendLog(CrcLine(side.entry.name, side.memory.image, size));
  context.pages.ShowPage(side.entry.page);
}

// The HEX spans of the bytes a file image holds from its file (and edits), inside `size`.
std::vector<image::HexSpan> GivenSpans(const device::Memory& memory, const std::uint8_t* bytes,
                                       std::size_t size, std::int32_t& count) {
  std::vector<image::HexSpan> spans;
  for (const ByteRange& range : memory.given.ranges()) {
    const std::size_t end = std::min<std::size_t>(range.end, size);
    if (range.begin >= end) break;
    spans.push_back({range.begin, {bytes + range.begin, end - range.begin}});
    count += static_cast<std::int32_t>(end - range.begin);
  }
  return spans;
}

// Saves the bytes the view shows, the image or the read-back with the user's edits, up to the
// last one that is not 0xFF. A view that shows nothing yet saves no byte. A HEX file of a file
// image holds only the bytes its file gave, so that a bootloader stays a bootloader.
void StoreImage(ImageContext& context, const Side& side, const std::string& path) {
  const std::size_t size = std::min(side.size, side.view.length());
  const std::uint8_t* const bytes = size > 0 ? side.view.buffer()->Use(size) : nullptr;
  std::int32_t used = TrimmedLength(bytes, static_cast<std::int32_t>(size));
  const FileKind kind = KindOfFile(FileName(path));
  if (kind == FileKind::Elf) return Refuse(context, Printf(texts::kSaveNoElfPattern, path.c_str()));
  const bool fileImage = side.view.buffer() == &side.memory.image && !side.memory.given.Empty();
  std::string failure;
  if (kind == FileKind::Hex) {
    std::string text;
    if (fileImage) {
      used = 0;
      text = image::WriteHex(GivenSpans(side.memory, bytes, size, used));
    } else {
      text = image::WriteHexMemory({bytes, size}, static_cast<std::size_t>(used));
    }
    failure =
        image::ReplaceFileContents(path, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  } else {
    failure = image::ReplaceFileContents(path, bytes, static_cast<std::size_t>(used));
  }
  if (!failure.empty()) {
    Refuse(context, Printf(texts::kSaveFailedPattern, path.c_str(), failure.c_str()));
    return;
  }
  context.log.AppendLog(side.entry.savedLine);
  context.log.AppendLog(path + Printf(texts::kSavedCountPattern, used));
  if (kind == FileKind::Unknown)
    context.log.AppendLog(Printf(texts::kSavedAsBinaryPattern, FileName(path).c_str()));
}

}  // namespace

MemoryFileRead ReadMemoryFile(const MemoryEntry& entry, const std::string& path,
                              const image::ChipSizes& sizes, const chips::ChipFacts* selected,
                              std::span<std::uint8_t> image) {
  MemoryFileRead read;
  const std::string name = FileName(path);
  const std::size_t size = image.size();
  // A side reads HEX, binary and ELF files; ".eep" is EEPROM data only.
  const FileKind named = UpperExtension(name) == "EEP" && entry.region != image::Region::Eeprom
                             ? FileKind::Unknown
                             : KindOfFile(name);
  if (named == FileKind::Unknown) {
    read.refusal =
        Printf(texts::kUnknownExtensionPattern, name.c_str(), entry.name, entry.readableKinds.c_str());
    return read;
  }
  // The content decides the format; a binary is read only as far as the chip reaches.
  FileStart file = ReadFileStart(path, kSniffBytes);
  const FileKind kind = file.ok ? KindOfContent(file.bytes, named) : named;
  if (file.ok && file.bytes.size() > kSniffBytes)
    file = ReadFileStart(path, kind == FileKind::Binary ? size : kHexTextLimit);
  if (file.ok && kind != FileKind::Binary && file.bytes.size() > kHexTextLimit) {
    file = {false, {}, std::strerror(EFBIG)};
  }
  if (!file.ok) {
    read.refusal = Printf(texts::kFileUnreadablePattern, path.c_str(), file.error.c_str());
    return read;
  }
  if (const std::string line = ContentLine(name, named, kind); !line.empty()) read.notes.push_back(line);

  // Straight into the image: a refused file clears it again, so none of its bytes remain.
  std::fill(image.begin(), image.end(), std::uint8_t{0xFF});
  if (kind == FileKind::Binary) {
    const std::size_t length = file.bytes.size();
    if (length == 0) {
      read.refusal = Printf(texts::kHexRefusedPattern, name.c_str(), texts::kHexEmpty.c_str());
    } else if (length > size) {
      // Part of a program is no program: the old line for the scripts that know it, then why.
      read.notes.push_back(entry.truncatedLine.c_str());
      std::error_code error;
      const std::uintmax_t whole = std::filesystem::file_size(path, error);
      read.refusal = Printf(texts::kBinaryTooLargePattern, name.c_str(),
                            error ? length : static_cast<std::size_t>(whole), entry.name, size);
    } else {
      std::copy_n(file.bytes.begin(), length, image.begin());
      read.count = static_cast<std::int32_t>(length);
      read.given.Add(0, static_cast<std::uint32_t>(length));
      read.ok = true;
    }
  } else if (kind == FileKind::Elf) {
    const WholeChipRead elf = ReadElfFile(name, file.bytes, sizes);
    if (elf.ok)
      TakeRegion(entry, name, elf.image, image, selected, read);
    else
      read.refusal = elf.refusal;
  } else {
    ReadHexSide(entry, name, file.bytes, image, selected, read);
  }
  if (read.ok) read.content = std::move(file.bytes);
  return read;
}

void OpenImage(ImageContext& context, device::MemoryKind kind, const std::string& path) {
  const Side side = SideOf(context, kind);
  LoadImage(context, side, path);
  context.engine.PostStatus(side.entry.openStatus);
}

void SaveImage(ImageContext& context, device::MemoryKind kind, const std::string& path) {
  const Side side = SideOf(context, kind);
  StoreImage(context, side, path);
  context.engine.PostStatus(side.entry.saveStatus);
}

}  // namespace kestrel::control
