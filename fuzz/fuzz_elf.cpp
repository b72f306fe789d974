// Feeds arbitrary file contents to the readers of whole-chip files, the ELF reader and the
// whole-chip HEX reader, as a user who opens any file on the whole-chip side would, and to the
// format sniffer; checks what each promises besides not crashing. The input is the file.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>

#include "image/ElfImage.h"
#include "image/FileFormat.h"
#include "image/HexFileReader.h"
#include "image/MemoryRegions.h"

namespace {

using namespace kestrel::image;

constexpr ChipSizes kAtmega328p{32768, 1024};  // small, so that data beyond a size is reachable

void Expect(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "fuzz_elf: %s\n", what);
  std::abort();
}

bool IsEmpty(const WholeChipImage& image) {
  for (const RegionImage& region : image.regions) {
    if (!region.Empty()) return false;
  }
  return true;
}

// Each region as long as its flags, and within the chip's size when `sizes` is given.
void ExpectSound(const WholeChipImage& image, const ChipSizes* sizes) {
  for (Region region : kRegions) {
    const RegionImage& bytes = image[region];
    Expect(bytes.given.size() == bytes.bytes.size(), "a region's flags and bytes differ in length");
    Expect(sizes == nullptr || bytes.bytes.size() <= RegionSize(region, *sizes), "a region past its size");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> file(data, size);

  const ElfReadResult elf = ReadElfImage(file, kAtmega328p);
  // libelf takes nothing without the magic, so every answer past NotElf is about an ELF file.
  Expect(elf.result == ElfResult::NotElf || DetectFileFormat(file) == FileFormat::Elf,
         "an ELF answer for a file without the magic");
  if (elf.result == ElfResult::Ok) {
    ExpectSound(elf.image, &kAtmega328p);
  } else {
    Expect(IsEmpty(elf.image), "an image with a refusal");
  }
  if (elf.result == ElfResult::SegmentsOverlap) {
    Expect(elf.overlap.first != elf.overlap.second, "a segment overlapping itself");
  }
  if (elf.result == ElfResult::OutsideRegions) {
    Expect(!Locate(elf.outsideAddress).has_value(), "an address outside every region that has one");
  }

  const HexRegionRead hex = ReadHexRegions(std::string_view(reinterpret_cast<const char*>(data), size));
  if (hex.code == HexSuccess) {
    ExpectSound(hex.image, nullptr);
    if (hex.outsideAddress) Expect(!Locate(*hex.outsideAddress).has_value(), "a HEX address wrongly outside");
  } else {
    Expect(IsEmpty(hex.image), "a HEX image with a refusal");
  }
  return 0;
}
