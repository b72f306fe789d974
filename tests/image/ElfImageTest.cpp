// The ELF reader against what avr-objcopy extracts from the same programs
// (scripts/make-elf-fixtures.sh), and the region layout it places into.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "image/ElfImage.h"

namespace kestrel::image {
namespace {

constexpr ChipSizes kAtmega328p{32768, 1024};

std::vector<std::uint8_t> ReadFixture(const std::string& name) {
  std::ifstream in(std::string(KESTREL_TEST_DATA) + "/elf/" + name, std::ios::binary);
  EXPECT_TRUE(in) << name;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(ElfImageTest, RegionsEqualWhatObjcopyExtracts) {
  const ElfReadResult read = ReadElfImage(ReadFixture("program.elf"), kAtmega328p);
  ASSERT_EQ(read.result, ElfResult::Ok);
  // FLASH is .text followed by .data's initial values, at .data's load address.
  for (const auto& [region, binary] : {std::pair{Region::Flash, "program-flash.bin"},
                                       {Region::Eeprom, "program-eeprom.bin"},
                                       {Region::Fuses, "program-fuse.bin"},
                                       {Region::Lock, "program-lock.bin"},
                                       {Region::Signature, "program-signature.bin"}}) {
    const RegionImage& memory = read.image[region];
    EXPECT_EQ(memory.bytes, ReadFixture(binary)) << binary;
    EXPECT_EQ(std::count(memory.given.begin(), memory.given.end(), false), 0) << binary;
  }
  // avr-libc stores SIGNATURE_2, _1, _0 from the lowest address: the ATmega328P's 1E 95 0F reversed.
  EXPECT_EQ(read.image[Region::Signature].bytes, (std::vector<std::uint8_t>{0x0F, 0x95, 0x1E}));
}

std::vector<std::uint8_t> Patched(std::vector<std::uint8_t> file,
                                  std::initializer_list<std::pair<std::size_t, std::uint8_t>> patches) {
  for (const auto& [at, value] : patches) file.at(at) = value;
  return file;
}

TEST(ElfImageTest, RefusesWhatIsNoAvrProgramOrDoesNotFit) {
  const std::vector<std::uint8_t> program = ReadFixture("program.elf");
  const std::size_t sectionTable = program.at(32) | program.at(33) << 8;  // e_shoff; the file is small
  const struct {
    const char* name;
    std::vector<std::uint8_t> file;
    ChipSizes sizes;
    ElfResult result;
    std::uint64_t outsideAddress = 0;
    RegionOverflow overflow{};
  } cases[] = {
      {"text", ReadFixture("program.c"), kAtmega328p, ElfResult::NotElf},
      {"no section headers", Patched(program, {{32, 0}, {33, 0}, {48, 0}}), kAtmega328p, ElfResult::NotElf},
      {"cut short", {program.begin(), program.begin() + 1000}, kAtmega328p, ElfResult::NotElf},
      {".text past the end", Patched(program, {{sectionTable + 2 * 40 + 23, 0x7F}}), kAtmega328p,
       ElfResult::NotElf},  // section 2's size, top byte
      {"host object", ReadFixture("host.o"), kAtmega328p, ElfResult::NotAvr},
      {"64-bit", Patched(program, {{4, 2}}), kAtmega328p, ElfResult::NotElf32Little},
      {"EEPROM loaded in SRAM", ReadFixture("outside.elf"), kAtmega328p, ElfResult::OutsideRegions, 0x800800},
      {"EEPROM too small", program, {32768, 8}, ElfResult::BeyondRegionSize, 0, {Region::Eeprom, 9, 8}},
  };
  for (const auto& c : cases) {
    const ElfReadResult read = ReadElfImage(c.file, c.sizes);
    EXPECT_EQ(read.result, c.result) << c.name;
    EXPECT_EQ(read.outsideAddress, c.outsideAddress) << c.name;
    EXPECT_EQ(read.overflow, c.overflow) << c.name;
  }
}

TEST(MemoryRegionsTest, PlacesByWindowAndReportsDataBeyondEachRegionsSize) {
  const struct {
    std::uint32_t address;
    bool outside;
    std::vector<RegionOverflow> overflows;
  } cases[] = {
      {0x0000FF, false, {}},
      {0x000100, false, {{Region::Flash, 0x100, 256}}},
      {0x800000, true, {}},  // SRAM: where .data runs, never where it loads
      {0x80FFFF, true, {}},
      {0x810010, false, {{Region::Eeprom, 0x10, 16}}},
      {0x820002, false, {}},
      {0x820003, false, {{Region::Fuses, 3, 3}}},
      {0x830001, false, {{Region::Lock, 1, 1}}},
      {0x84FFFF, false, {{Region::Signature, 0xFFFF, 3}}},
      {0x850000, true, {}},
  };
  for (const auto& c : cases) {
    WholeChipImage image;
    const std::uint8_t byte = 0x5A;
    EXPECT_EQ(Place(image, c.address, {&byte, 1}).has_value(), c.outside) << std::hex << c.address;
    EXPECT_EQ(CheckSizes(image, {256, 16}), c.overflows) << std::hex << c.address;
  }
}

}  // namespace
}  // namespace kestrel::image
