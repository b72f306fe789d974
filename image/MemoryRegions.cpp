#include "image/MemoryRegions.h"

#include <algorithm>

namespace kestrel::image {
namespace {

struct Layout {
  std::uint32_t start;
  std::uint32_t window;
};

// In the order of Region.
constexpr std::array<Layout, kRegionCount> kLayout = {{
    {0x000000, 0x800000},  // FLASH, up to the data space
    {0x810000, 0x10000},   // EEPROM
    {0x820000, 0x10000},   // fuses
    {0x830000, 0x10000},   // lock
    {0x840000, 0x10000},   // signature
}};

const Layout& LayoutOf(Region region) {
  return kLayout[static_cast<std::size_t>(region)];
}

}  // namespace

std::uint32_t RegionStart(Region region) {
  return LayoutOf(region).start;
}

std::uint32_t RegionWindow(Region region) {
  return LayoutOf(region).window;
}

std::optional<RegionAddress> Locate(std::uint64_t address) {
  for (Region region : kRegions) {
    const Layout& layout = LayoutOf(region);
    if (address >= layout.start && address - layout.start < layout.window) {
      return RegionAddress{region, static_cast<std::uint32_t>(address - layout.start)};
    }
  }
  return std::nullopt;
}

std::optional<std::uint64_t> Place(WholeChipImage& image, std::uint64_t address,
                                   std::span<const std::uint8_t> bytes) {
  std::optional<std::uint64_t> firstOutside;
  std::size_t done = 0;
  // A run at a time: up to the end of a region's window, or past a gap to the next region.
  while (done < bytes.size()) {
    const std::uint64_t at = address + done;
    const std::optional<RegionAddress> where = Locate(at);
    if (!where) {
      if (!firstOutside) firstOutside = at;
      std::uint64_t nextStart = address + bytes.size();
      for (const Layout& layout : kLayout) {
        if (layout.start > at) nextStart = std::min<std::uint64_t>(nextStart, layout.start);
      }
      done = static_cast<std::size_t>(nextStart - address);
      continue;
    }
    const std::uint64_t room = RegionWindow(where->region) - where->offset;
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(room, bytes.size() - done));
    RegionImage& target = image[where->region];
    const std::size_t end = where->offset + count;
    if (target.bytes.size() < end) {
      target.bytes.resize(end, 0xFF);
      target.given.resize(end, false);
    }
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(done), count,
                target.bytes.begin() + where->offset);
    std::fill_n(target.given.begin() + where->offset, count, true);
    done += count;
  }
  return firstOutside;
}

std::uint32_t RegionSize(Region region, const ChipSizes& sizes) {
  switch (region) {
    case Region::Flash:
      return sizes.flash;
    case Region::Eeprom:
      return sizes.eeprom;
    case Region::Fuses:
      return 3;
    case Region::Lock:
      return 1;
    case Region::Signature:
      return 3;
  }
  return 0;
}

std::vector<RegionOverflow> CheckSizes(const WholeChipImage& image, const ChipSizes& sizes) {
  std::vector<RegionOverflow> overflows;
  for (Region region : kRegions) {
    const std::size_t extent = image[region].bytes.size();  // ends at the highest byte given
    const std::uint32_t size = RegionSize(region, sizes);
    if (extent > size) {
      overflows.push_back({region, static_cast<std::uint32_t>(extent - 1), size});
    }
  }
  return overflows;
}

}  // namespace kestrel::image
