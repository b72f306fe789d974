#include "image/ElfImage.h"

#include <gelf.h>
#include <libelf.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

namespace kestrel::image {
namespace {

struct ElfCloser {
  void operator()(Elf* elf) const { elf_end(elf); }
};
using ElfHandle = std::unique_ptr<Elf, ElfCloser>;

// libelf refuses every handle until the version has been agreed once per process.
bool LibelfReady() {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] { ready = elf_version(EV_CURRENT) != EV_NONE; });
  return ready;
}

// A section's load address. Section headers carry only the run-time address (for .data an
// SRAM address from 0x800000 on); the load address comes from the PT_LOAD segment whose file
// bytes hold the section, moved by the section's distance from the segment's start. A
// section no segment holds loads where it runs.
std::uint64_t LoadAddress(const GElf_Shdr& section, const std::vector<GElf_Phdr>& segments) {
  for (const GElf_Phdr& segment : segments) {
    if (segment.p_type == PT_LOAD && section.sh_offset >= segment.p_offset &&
        section.sh_offset + section.sh_size <= segment.p_offset + segment.p_filesz &&
        section.sh_addr >= segment.p_vaddr && section.sh_addr - segment.p_vaddr < segment.p_memsz) {
      return segment.p_paddr + (section.sh_offset - segment.p_offset);
    }
  }
  return section.sh_addr;
}

ElfReadResult Fail(ElfResult result) {
  ElfReadResult read;
  read.result = result;
  return read;
}

// Keeps the lowest address outside every region that any placing reported.
void Keep(std::optional<std::uint64_t>& outside, std::optional<std::uint64_t> first) {
  if (first && (!outside || *first < *outside)) outside = first;
}

// What objcopy writes: every allocated section with bytes in the file (not .bss), at its load
// address. False when libelf cannot read a section.
bool PlaceSections(Elf* elf, const std::vector<GElf_Phdr>& segments, WholeChipImage& image,
                   std::optional<std::uint64_t>& outside) {
  for (Elf_Scn* scn = elf_nextscn(elf, nullptr); scn != nullptr; scn = elf_nextscn(elf, scn)) {
    GElf_Shdr section;
    if (gelf_getshdr(scn, &section) == nullptr) return false;
    if ((section.sh_flags & SHF_ALLOC) == 0 || section.sh_type == SHT_NOBITS || section.sh_size == 0)
      continue;
    const std::uint64_t load = LoadAddress(section, segments);
    (void)elf_errno();  // clears it: the end of the data list and a damaged section both give null
    for (Elf_Data* data = elf_getdata(scn, nullptr); data != nullptr; data = elf_getdata(scn, data)) {
      if (data->d_buf == nullptr) continue;
      const std::span<const std::uint8_t> bytes(static_cast<const std::uint8_t*>(data->d_buf), data->d_size);
      Keep(outside, Place(image, load + static_cast<std::uint64_t>(data->d_off), bytes));
    }
    if (elf_errno() != 0) return false;
  }
  return true;
}

}  // namespace

ElfReadResult ReadElfImage(std::span<const std::uint8_t> file, const ChipSizes& sizes) {
  if (!LibelfReady()) return Fail(ElfResult::NotElf);
  // elf_memory takes a writable buffer and may convert it in place; the caller's stays as is.
  std::vector<char> copy(file.begin(), file.end());
  const ElfHandle elf(elf_memory(copy.data(), copy.size()));
  if (!elf || elf_kind(elf.get()) != ELF_K_ELF) return Fail(ElfResult::NotElf);
  GElf_Ehdr header;
  if (gelf_getehdr(elf.get(), &header) == nullptr) return Fail(ElfResult::NotElf);
  // The machine first: a desktop program is 64-bit, and "not an AVR program" tells its reader
  // more than its word size would.
  if (header.e_machine != EM_AVR) return Fail(ElfResult::NotAvr);
  if (header.e_ident[EI_CLASS] != ELFCLASS32 || header.e_ident[EI_DATA] != ELFDATA2LSB) {
    return Fail(ElfResult::NotElf32Little);
  }
  // libelf reads a section header table that lies past the end of the file as no sections at
  // all, which would make a cut-short file an empty program. A file without section headers
  // is refused as well: the sections are what is loaded, and avr-objcopy refuses such a file.
  const std::uint64_t sectionTableEnd =
      header.e_shoff + std::uint64_t{std::max<std::uint16_t>(header.e_shnum, 1)} * header.e_shentsize;
  if (header.e_shoff == 0 || sectionTableEnd > file.size()) return Fail(ElfResult::NotElf);

  std::size_t segmentCount = 0;
  if (elf_getphdrnum(elf.get(), &segmentCount) != 0) return Fail(ElfResult::NotElf);
  std::vector<GElf_Phdr> segments(segmentCount);
  for (std::size_t i = 0; i < segmentCount; ++i) {
    if (gelf_getphdr(elf.get(), static_cast<int>(i), &segments[i]) == nullptr) return Fail(ElfResult::NotElf);
  }

  ElfReadResult read;
  std::optional<std::uint64_t> outside;
  if (!PlaceSections(elf.get(), segments, read.image, outside)) return Fail(ElfResult::NotElf);
  if (outside) {
    ElfReadResult refused = Fail(ElfResult::OutsideRegions);
    refused.outsideAddress = *outside;
    return refused;
  }
  const std::vector<RegionOverflow> overflows = CheckSizes(read.image, sizes);
  if (!overflows.empty()) {
    ElfReadResult refused = Fail(ElfResult::BeyondRegionSize);
    refused.overflow = overflows.front();
    return refused;
  }
  read.result = ElfResult::Ok;
  return read;
}

}  // namespace kestrel::image
