#include "image/ElfImage.h"

#include <gelf.h>
#include <libelf.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
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

ElfReadResult Fail(ElfResult result) {
  ElfReadResult read;
  read.result = result;
  return read;
}

// A PT_LOAD segment's file bytes and where they load.
struct Segment {
  std::size_t index;  // in the program header table
  std::uint64_t address;
  std::span<const std::uint8_t> bytes;

  std::uint64_t End() const { return address + bytes.size(); }
};

// The lowest address that two segments give different bytes, and which two; nothing when every
// overlap agrees. Each address is compared once, against the segment that claimed it first in
// address order, so the work stays in proportion to the bytes loaded however many segments
// cover one address.
std::optional<SegmentOverlap> FindConflict(std::vector<Segment> segments) {
  std::stable_sort(segments.begin(), segments.end(),
                   [](const Segment& a, const Segment& b) { return a.address < b.address; });
  std::map<std::uint64_t, const Segment*> claims;  // disjoint claimed ranges, by their start
  std::map<std::uint64_t, std::uint64_t> ends;     // the end of each claimed range
  std::optional<SegmentOverlap> lowest;
  for (const Segment& segment : segments) {
    std::uint64_t next = segment.address;  // the first address of this segment not yet looked at
    auto claim = claims.upper_bound(segment.address);
    if (claim != claims.begin()) --claim;
    for (; claim != claims.end() && claim->first < segment.End(); ++claim) {
      const Segment& owner = *claim->second;
      const std::uint64_t from = std::max(claim->first, segment.address);
      const std::uint64_t to = std::min(ends[claim->first], segment.End());
      if (from >= to) continue;
      if (next < from) {
        ends[next] = from;
        claims.emplace_hint(claim, next, &segment);
      }
      for (std::uint64_t at = from; at < to; ++at) {
        if (owner.bytes[at - owner.address] == segment.bytes[at - segment.address]) continue;
        if (!lowest || at < lowest->address) lowest = SegmentOverlap{owner.index, segment.index, at};
        break;
      }
      next = to;
    }
    if (next < segment.End()) {
      ends[next] = segment.End();
      claims.emplace(next, &segment);
    }
  }
  return lowest;
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
  // An object file from `avr-gcc -c` has sections at address 0 and no program headers: no
  // program to load, though it looks like one.
  if (header.e_type != ET_EXEC) return Fail(ElfResult::NotLinked);
  // A section header table that lies past the end of the file tells a file cut short, even
  // though the loaded bytes lie before it.
  const std::uint64_t sectionTableEnd =
      header.e_shoff + std::uint64_t{std::max<std::uint16_t>(header.e_shnum, 1)} * header.e_shentsize;
  if (header.e_shoff != 0 && sectionTableEnd > file.size()) return Fail(ElfResult::NotElf);

  std::size_t segmentCount = 0;
  if (elf_getphdrnum(elf.get(), &segmentCount) != 0) return Fail(ElfResult::NotElf);
  std::vector<Segment> segments;
  for (std::size_t i = 0; i < segmentCount; ++i) {
    GElf_Phdr header;
    if (gelf_getphdr(elf.get(), static_cast<int>(i), &header) == nullptr) return Fail(ElfResult::NotElf);
    if (header.p_type != PT_LOAD || header.p_filesz == 0) continue;
    if (header.p_offset > file.size() || header.p_filesz > file.size() - header.p_offset) {
      return Fail(ElfResult::NotElf);
    }
    segments.push_back({i, header.p_paddr, file.subspan(header.p_offset, header.p_filesz)});
  }
  if (const std::optional<SegmentOverlap> overlap = FindConflict(segments)) {
    ElfReadResult refused = Fail(ElfResult::SegmentsOverlap);
    refused.overlap = *overlap;
    return refused;
  }

  ElfReadResult read;
  std::optional<std::uint64_t> outside;
  for (const Segment& segment : segments) {
    const std::optional<std::uint64_t> first = Place(read.image, segment.address, segment.bytes);
    if (first && (!outside || *first < *outside)) outside = first;
  }
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
