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

// A side reads HEX, binary and ELF files; ".eep" is EEPROM data only.
FileKind KindOf(const std::string& name, const Side& side) {
  if (UpperExtension(name) == "EEP" && side.entry.region != image::Region::Eeprom) return FileKind::Unknown;
  return KindOfFile(name);
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

// The side's own memory of a whole-chip file, into `scratch` (the side's image); one line names the memories
// it left. Returns the refusal, or empty.
std::string TakeRegion(ImageContext& context, const Side& side, const std::string& name,
                       const image::WholeChipImage& whole, std::span<std::uint8_t> scratch,
                       std::int32_t& count) {
  // A file made for another chip is refused here as the whole-chip open refuses it.
  if (auto refusal = SignatureRefusal(name, whole, context.selected != nullptr ? *context.selected : nullptr))
    return *refusal;
  const image::RegionImage& region = whole[side.entry.region];
  if (region.bytes.size() > scratch.size()) {
    context.messages.ShowMessage(side.entry.hexTooLarge);
    return Printf(texts::kHexRefusedPattern, name.c_str(), side.entry.hexTooLarge.c_str());
  }
  std::copy(region.bytes.begin(), region.bytes.end(), scratch.begin());
  count = static_cast<std::int32_t>(region.bytes.size());
  side.memory.given = ByteRanges::FromFlags(region.given);
  const std::string left = RegionsHeld(whole, side.entry.region);
  if (!left.empty())
    context.log.AppendLog(Printf(texts::kRegionsLeftPattern, name.c_str(), left.c_str(), side.entry.name));
  return {};
}

std::string ReadElfSide(ImageContext& context, const Side& side, const std::string& name,
                        const std::string& bytes, std::span<std::uint8_t> scratch, std::int32_t& count) {
  const WholeChipRead read = ReadElfFile(name, bytes, SizesOf(context.geometry));
  return read.ok ? TakeRegion(context, side, name, read.image, scratch, count) : read.refusal;
}

// A HEX file of one memory, or a whole-chip HEX file whose data reach the other regions: then
// the FLASH side takes the FLASH region, the EEPROM side the EEPROM region when there is one.
std::string ReadHexSide(ImageContext& context, const Side& side, const std::string& name,
                        const std::string& text, std::span<std::uint8_t> scratch, std::int32_t& count) {
  image::HexReadResult read = image::ReadHexImage(text, scratch, static_cast<std::int64_t>(scratch.size()));
  if (read.code == image::HexSuccess) {
    count = static_cast<std::int32_t>(read.length);
    side.memory.given = std::move(read.given);
    return {};
  }
  // Too large for the chip: a whole-chip file, whose data reaches past FLASH's window, gives
  // this side its own memory; any other is refused without reading it a second time.
  if (read.code == image::HexTooLarge) {
    if (read.extent > image::RegionWindow(image::Region::Flash)) {
      const image::HexRegionRead regions = image::ReadHexRegions(text);
      const bool held = !RegionsHeld(regions.image, image::Region::Flash).empty();
      if (regions.code == image::HexSuccess && !regions.outsideAddress && held &&
          (side.entry.region == image::Region::Flash || !regions.image[side.entry.region].Empty())) {
        return TakeRegion(context, side, name, regions.image, scratch, count);
      }
      if (regions.code == image::HexConflict) return HexRefusalLine(name, regions);
      if (regions.code == image::HexSuccess && regions.outsideAddress)
        return OutsideLine(name, *regions.outsideAddress);
    }
    // The old line for the scripts that know it, then where the data ends against the chip.
    context.messages.ShowMessage(side.entry.hexTooLarge);
    return Printf(texts::kHexRefusedPattern, name.c_str(), side.entry.hexTooLarge.c_str()) + "\n" +
           Printf(texts::kDataReachesPattern, static_cast<unsigned>(read.extent - 1), side.entry.name,
                  static_cast<unsigned>(scratch.size() - 1));
  }
  return HexRefusalLine(name, read);
}

// Reads the chosen file into the side's image and shows it. A file that cannot be read, is of
// a kind this side does not read, or that the HEX reader refuses, is reported and leaves the
// side without an image. A binary file longer than the chip is cut to it and counts as failed.
void LoadImage(ImageContext& context, const Side& side, const std::string& path) {
  const std::string name = FileName(path);
  const FileKind named = KindOf(name, side);
  const std::size_t size = side.size;
  if (named == FileKind::Unknown) {
    Refuse(context, Printf(texts::kUnknownExtensionPattern, name.c_str(), side.entry.name,
                           side.entry.readableKinds.c_str()));
    return ClearSide(context, side, size);
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
    Refuse(context, Printf(texts::kFileUnreadablePattern, path.c_str(), file.error.c_str()));
    return ClearSide(context, side, size);
  }
  if (const std::string line = ContentLine(name, named, kind); !line.empty()) context.log.AppendLog(line);

  std::int32_t count = 0;
  if (kind == FileKind::Binary) {
    const std::size_t length = file.bytes.size();
    if (length == 0) {
      Refuse(context, Printf(texts::kHexRefusedPattern, name.c_str(), texts::kHexEmpty.c_str()));
      return ClearSide(context, side, size);
    }
    if (length > size) {
      // Part of a program is no program: the old line for the scripts that know it, then why.
      context.log.AppendLog(side.entry.truncatedLine.c_str());
      std::error_code error;
      const std::uintmax_t whole = std::filesystem::file_size(path, error);
      Refuse(context, Printf(texts::kBinaryTooLargePattern, name.c_str(),
                             error ? length : static_cast<std::size_t>(whole), side.entry.name, size));
      return ClearSide(context, side, size);
    }
    std::fill_n(side.memory.image.Use(size), size, std::uint8_t{0xFF});
    std::copy_n(file.bytes.begin(), length, side.memory.image.Use(size));
    count = static_cast<std::int32_t>(length);
    side.memory.given.Clear();
    side.memory.given.Add(0, static_cast<std::uint32_t>(length));
  } else {
    // Straight into the image: a refused file clears it again, so none of its bytes remain.
    const std::span<std::uint8_t> image(side.memory.image.Use(size), size);
    std::fill(image.begin(), image.end(), std::uint8_t{0xFF});
    std::string refusal = kind == FileKind::Elf ? ReadElfSide(context, side, name, file.bytes, image, count)
                                                : ReadHexSide(context, side, name, file.bytes, image, count);
    if (!refusal.empty()) {
      Refuse(context, refusal);
      return ClearSide(context, side, size);
    }
  }
  side.memory.imageLoaded = true;
  ShowImage(side.view, side.memory, size);
  context.log.AppendLog(texts::kOpenedFilePrefix.c_str() + name + side.entry.openedToPage.c_str() +
                        Printf(texts::kOpenedCountPattern, count));
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
