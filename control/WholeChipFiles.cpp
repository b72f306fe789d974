#include "control/WholeChipFiles.h"

#include <algorithm>

#include "base/Bytes.h"
#include "base/FileRead.h"
#include "base/Texts.h"
#include "control/ChipSafety.h"
#include "control/Wording.h"
#include "image/ElfImage.h"
#include "image/FileFormat.h"
#include "image/HexFileReader.h"

namespace kestrel::control {
namespace {

// Far beyond the text of the largest image; a larger file is not read into memory.
constexpr std::size_t kFileLimit = 64u << 20;

const char* RegionName(image::Region region) {
  switch (region) {
    case image::Region::Flash:
      return "FLASH";
    case image::Region::Eeprom:
      return "EEPROM";
    case image::Region::Fuses:
      return texts::kFuseRegionName;
    case image::Region::Lock:
      return texts::kLockRegionName;
    case image::Region::Signature:
      break;
  }
  return texts::kSignatureRegionName;
}

std::string Join(const std::string& list, const std::string& item) {
  return list.empty() ? item : list + texts::kListSeparator.c_str() + item;
}

}  // namespace

// avr-gcc places .data's run addresses at 0x800000: data there is SRAM's, not a memory's.
std::string OutsideLine(const std::string& name, std::uint64_t address) {
  const bool sram = address >= 0x800000 && address < 0x810000;
  return Printf(sram ? texts::kInSramPattern : texts::kOutsideRegionsPattern, name.c_str(),
                static_cast<unsigned long long>(address));
}

namespace {

WholeChipRead Refused(std::string line) {
  return {false, std::move(line), {}, {}, {}};
}

// Data beyond a region's size, or a chip too small for the file: one line.
std::optional<std::string> SizeRefusal(const std::string& name, const image::WholeChipImage& image,
                                       const image::ChipSizes& sizes) {
  const auto overflows = image::CheckSizes(image, sizes);
  if (overflows.empty()) return std::nullopt;
  const image::RegionOverflow& first = overflows.front();
  const char* memory = RegionName(first.region);
  return Printf(texts::kBeyondRegionPattern, name.c_str(), memory, first.highestOffset, memory,
                first.size - 1);
}

}  // namespace

std::string FileName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string UpperExtension(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return {};
  std::string extension = name.substr(dot + 1);
  for (char& c : extension) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return extension;
}

FileKind KindOfContent(std::string_view head, FileKind named) {
  const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(head.data()), head.size());
  switch (image::DetectFileFormat(bytes)) {
    case image::FileFormat::Elf:
      return FileKind::Elf;
    case image::FileFormat::IntelHex:
      return FileKind::Hex;
    case image::FileFormat::Text:
      // Text in a file named as HEX is a damaged HEX file, whose reader names the fault; as
      // binary its letters would be programmed.
      return named == FileKind::Hex ? FileKind::Hex : FileKind::Binary;
    case image::FileFormat::Binary:
      break;
  }
  return FileKind::Binary;
}

std::string ContentLine(const std::string& name, FileKind named, FileKind content) {
  if (named == content) return {};
  const char* format = content == FileKind::Elf ? "ELF" : content == FileKind::Hex ? "Intel HEX" : nullptr;
  return Printf(texts::kReadByContentPattern, name.c_str(),
                format != nullptr ? format : texts::kBinaryFormat.c_str());
}

FileKind KindOfFile(const std::string& name) {
  const std::string extension = UpperExtension(name);
  if (extension == "HEX" || extension == "EEP" || extension == "IHEX") return FileKind::Hex;
  if (extension == "BIN") return FileKind::Binary;
  if (extension == "ELF") return FileKind::Elf;
  return FileKind::Unknown;
}

WholeChipRead ReadElfFile(const std::string& name, std::string_view bytes, const image::ChipSizes& sizes) {
  const auto data = std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  const image::ElfReadResult read = image::ReadElfImage(data, sizes);
  switch (read.result) {
    case image::ElfResult::Ok:
      return {true, {}, read.image, {}, {}};
    case image::ElfResult::NotElf:
      return Refused(Printf(texts::kNotElfPattern, name.c_str()));
    case image::ElfResult::NotAvr:
    case image::ElfResult::NotElf32Little:
      return Refused(Printf(texts::kNotAvrProgramPattern, name.c_str()));
    case image::ElfResult::NotLinked:
      return Refused(Printf(texts::kElfNotLinkedPattern, name.c_str()));
    case image::ElfResult::SegmentsOverlap:
      return Refused(Printf(texts::kElfSegmentsOverlapPattern, name.c_str(), read.overlap.first,
                            read.overlap.second, static_cast<unsigned long long>(read.overlap.address)));
    case image::ElfResult::OutsideRegions:
      return Refused(OutsideLine(name, read.outsideAddress));
    case image::ElfResult::BeyondRegionSize:
      break;
  }
  const char* memory = RegionName(read.overflow.region);
  return Refused(Printf(texts::kBeyondRegionPattern, name.c_str(), memory, read.overflow.highestOffset,
                        memory, read.overflow.size - 1));
}

WholeChipRead ReadWholeChipFile(const std::string& path, const image::ChipSizes& sizes) {
  const std::string name = FileName(path);
  const FileKind named = KindOfFile(name);
  if (named != FileKind::Hex && named != FileKind::Elf) {
    return Refused(Printf(texts::kWholeChipUnknownExtensionPattern, name.c_str(), Msg("hex、elf").c_str()));
  }
  FileStart file = ReadWholeFile(path, kFileLimit);
  if (!file.ok) return Refused(Printf(texts::kFileUnreadablePattern, path.c_str(), file.error.c_str()));
  // A whole chip is ELF or HEX: anything else is read as HEX, which names its first fault.
  const FileKind content = KindOfContent(file.bytes, named) == FileKind::Elf ? FileKind::Elf : FileKind::Hex;
  WholeChipRead read =
      content == FileKind::Elf ? ReadElfFile(name, file.bytes, sizes) : ReadHexFile(name, file.bytes, sizes);
  read.note = ContentLine(name, named, content);
  read.content = std::move(file.bytes);
  return read;
}

std::optional<chips::Signature> SignatureOfFile(const std::string& path) {
  const FileStart file = ReadFileStart(path, kFileLimit);
  if (!file.ok || file.bytes.size() > kFileLimit) return std::nullopt;
  const std::string name = FileName(path);
  const image::ChipSizes largest{static_cast<std::uint32_t>(chips::kFlashBufferBytes),
                                 static_cast<std::uint32_t>(chips::kEepromBufferBytes)};
  WholeChipRead read;
  switch (KindOfContent(file.bytes, KindOfFile(name))) {
    case FileKind::Elf:
      read = ReadElfFile(name, file.bytes, largest);
      break;
    case FileKind::Hex:
      read = ReadHexFile(name, file.bytes, largest);
      break;
    default:
      return std::nullopt;
  }
  return read.ok ? FileSignature(read.image) : std::nullopt;
}

WholeChipRead ReadHexFile(const std::string& name, std::string_view text, const image::ChipSizes& sizes) {
  image::HexRegionRead read = image::ReadHexRegions(text);
  if (read.code != image::HexSuccess) return Refused(HexRefusalLine(name, read));
  if (read.outsideAddress) {
    return Refused(OutsideLine(name, *read.outsideAddress));
  }
  if (auto refusal = SizeRefusal(name, read.image, sizes)) return Refused(*refusal);
  return {true, {}, std::move(read.image), {}, {}};
}

std::optional<chips::Signature> FileSignature(const image::WholeChipImage& image) {
  const image::RegionImage& region = image[image::Region::Signature];
  if (region.bytes.size() < 3 || !region.given[0] || !region.given[1] || !region.given[2])
    return std::nullopt;
  // avr-libc keeps the byte the chip reads out last at the lowest address.
  return chips::Signature{region.bytes[2], region.bytes[1], region.bytes[0]};
}

std::string RegionsMissing(const image::WholeChipImage& image) {
  std::string list;
  for (image::Region region :
       {image::Region::Flash, image::Region::Eeprom, image::Region::Fuses, image::Region::Lock}) {
    if (image[region].Empty()) list = Join(list, RegionName(region));
  }
  return list;
}

std::optional<std::string> SignatureRefusal(const std::string& name, const image::WholeChipImage& image,
                                            const chips::ChipFacts* selected) {
  const std::size_t length = image[image::Region::Signature].bytes.size();
  if (length != 0 && length != 3) return Printf(texts::kSignatureRegionSizePattern, name.c_str(), length);
  const auto signature = FileSignature(image);
  if (!signature || selected == nullptr || *signature == selected->signature) return std::nullopt;
  return Printf(texts::kFileSignatureMismatchPattern, name.c_str(), SignatureText(*signature).c_str(),
                selected->name.c_str(), SignatureText(selected->signature).c_str());
}

std::optional<chips::FuseSet> FileFuses(const image::WholeChipImage& image) {
  const image::RegionImage& fuses = image[image::Region::Fuses];
  const image::RegionImage& lock = image[image::Region::Lock];
  if (fuses.Empty() && lock.Empty()) return std::nullopt;
  chips::FuseSet set;
  for (std::size_t i = 0; i < fuses.bytes.size() && i < 3; ++i) {
    if (fuses.given[i]) set.bytes[i] = fuses.bytes[i];
  }
  if (!lock.Empty() && lock.given[0]) set[chips::FuseByte::kLock] = lock.bytes[0];
  return set;
}

std::string RegionsHeld(const image::WholeChipImage& image, image::Region except) {
  std::string list;
  for (image::Region region : image::kRegions) {
    if (region != except && !image[region].Empty()) list = Join(list, RegionName(region));
  }
  return list;
}

std::string DescribeWholeChip(const image::WholeChipImage& image) {
  std::string list;
  for (image::Region region : {image::Region::Flash, image::Region::Eeprom}) {
    if (image[region].Empty()) continue;
    list = Join(list, Printf(texts::kRegionBytesPattern, RegionName(region),
                             static_cast<unsigned>(image[region].bytes.size())));
  }
  const auto fuses = FileFuses(image);
  if (fuses && !image[image::Region::Fuses].Empty()) {
    list = Join(
        list, Printf(texts::kRegionValuePattern, texts::kFuseRegionName.c_str(), FuseTextOf(*fuses).c_str()));
  }
  if (fuses && !image[image::Region::Lock].Empty()) {
    list = Join(
        list, Printf(texts::kRegionValuePattern, texts::kLockRegionName.c_str(), LockTextOf(*fuses).c_str()));
  }
  if (const auto signature = FileSignature(image)) {
    list = Join(list, Printf(texts::kRegionValuePattern, texts::kSignatureRegionName.c_str(),
                             SignatureText(*signature).c_str()));
  }
  return list;
}

image::WholeChipImage BackupImage(std::span<const std::uint8_t> flash, std::span<const std::uint8_t> eeprom,
                                  const chips::FuseSet& fuses, int fuseBytes,
                                  const chips::Signature& signature) {
  image::WholeChipImage image;
  const auto trimmed = [](std::span<const std::uint8_t> bytes) {
    return bytes.first(
        static_cast<std::size_t>(TrimmedLength(bytes.data(), static_cast<std::int32_t>(bytes.size()))));
  };
  image::Place(image, image::RegionStart(image::Region::Flash), trimmed(flash));
  image::Place(image, image::RegionStart(image::Region::Eeprom), trimmed(eeprom));
  image::Place(image, image::RegionStart(image::Region::Fuses),
               std::span(fuses.bytes.data(), static_cast<std::size_t>(std::clamp(fuseBytes, 0, 3))));
  image::Place(image, image::RegionStart(image::Region::Lock), std::span(fuses.bytes.data() + 3, 1));
  const std::uint8_t stored[3] = {signature[2], signature[1], signature[0]};
  image::Place(image, image::RegionStart(image::Region::Signature), stored);
  return image;
}

std::string SignatureText(const chips::Signature& signature) {
  return Printf("%02X %02X %02X", signature[0], signature[1], signature[2]);
}

}  // namespace kestrel::control
