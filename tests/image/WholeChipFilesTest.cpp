// The files that hold more than one memory: the ELF reader against what avr-objcopy extracts
// from the same programs (scripts/make-elf-fixtures.sh) and against copies of them edited as
// a stripped, unlinked or badly linked program would be, the sniffing of a file's format, the
// region layout they place into, and the HEX writer's text as avr-objcopy reads it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "HexTestText.h"
#include "image/ElfImage.h"
#include "image/FileFormat.h"
#include "image/HexWriter.h"

namespace kestrel::image {
namespace {

constexpr ChipSizes kAtmega328p{32768, 1024};

std::vector<std::uint8_t> ReadFixture(const std::string& name) {
  return testing::ReadFile<std::vector<std::uint8_t>>(KESTREL_TEST_DATA "/elf/" + name);
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
    EXPECT_EQ(read.image[region].bytes, ReadFixture(binary)) << binary;
  }
}

std::vector<std::uint8_t> Patched(std::vector<std::uint8_t> file,
                                  std::initializer_list<std::pair<std::size_t, std::uint8_t>> patches) {
  for (const auto& [at, value] : patches) file.at(at) = value;
  return file;
}

// Offsets into program.elf: its header, and its program header table (from 52, 32 bytes an
// entry) with segments 0 .text, 1 .data, 2 .eeprom, 3 .fuse, 4 .lock, 5 .signature.
constexpr std::size_t kType = 16, kSectionTable = 32, kSectionCount = 48, kSectionNames = 50;
constexpr std::size_t SegmentField(std::size_t segment, std::size_t field) {
  return 52 + segment * 32 + field;
}
constexpr std::size_t kOffset = 4, kFileSize = 16;
constexpr std::size_t kLoadedEnd = 0x289;       // the end of the last segment's bytes in the file
constexpr std::size_t kSignatureBytes = 0x286;  // segment 5's bytes in the file

TEST(ElfImageTest, LoadsTheProgramHeadersSegments) {
  const std::vector<std::uint8_t> program = ReadFixture("program.elf");
  std::vector<std::uint8_t> noSections =
      Patched(program, {{kSectionTable, 0}, {kSectionTable + 1, 0}, {kSectionCount, 0}, {kSectionNames, 0}});
  noSections.resize(kLoadedEnd);  // the section headers and every unloaded section gone
  // Segment 0 (.text) taken on over .data's bytes, which follow it in the file: the same bytes
  // at .data's load address twice; then .data's own segment moved one byte on in the file.
  const std::vector<std::uint8_t> sameOverlap = Patched(program, {{SegmentField(0, kFileSize), 0x84}});
  const std::vector<std::uint8_t> otherOverlap = Patched(sameOverlap, {{SegmentField(1, kOffset), 0x73}});
  const struct {
    const char* name;
    std::vector<std::uint8_t> file;
    ElfResult result;
    SegmentOverlap overlap{};
    std::vector<std::uint8_t> signature = {0x0F, 0x95, 0x1E};
  } cases[] = {
      {"no section headers", noSections, ElfResult::Ok},
      {"relocatable", Patched(program, {{kType, 1}}), ElfResult::NotLinked},
      {"segments overlap, same bytes", sameOverlap, ElfResult::Ok},
      {"segments overlap, other bytes", otherOverlap, ElfResult::SegmentsOverlap, {0, 1, 0x17E}},
      {"ATmega2560 signature",
       Patched(program, {{kSignatureBytes, 0x01}, {kSignatureBytes + 1, 0x98}, {kSignatureBytes + 2, 0x1E}}),
       ElfResult::Ok,
       {},
       {0x01, 0x98, 0x1E}},
  };
  for (const auto& c : cases) {
    const ElfReadResult read = ReadElfImage(c.file, kAtmega328p);
    EXPECT_EQ(read.result, c.result) << c.name;
    EXPECT_EQ(read.overlap, c.overlap) << c.name;
    if (read.result != ElfResult::Ok) continue;
    for (const auto& [region, binary] : {std::pair{Region::Flash, "program-flash.bin"},
                                         {Region::Eeprom, "program-eeprom.bin"},
                                         {Region::Fuses, "program-fuse.bin"},
                                         {Region::Lock, "program-lock.bin"}}) {
      EXPECT_EQ(read.image[region].bytes, ReadFixture(binary)) << c.name << " " << binary;
    }
    EXPECT_EQ(read.image[Region::Signature].bytes, c.signature) << c.name;
  }
}

TEST(ElfImageTest, RefusesWhatIsNoAvrProgramOrDoesNotFit) {
  const std::vector<std::uint8_t> program = ReadFixture("program.elf");
  const struct {
    const char* name;
    std::vector<std::uint8_t> file;
    ChipSizes sizes;
    ElfResult result;
    std::uint64_t outsideAddress = 0;
    RegionOverflow overflow{};
  } cases[] = {
      {"text", ReadFixture("program.c"), kAtmega328p, ElfResult::NotElf},
      {"cut short", {program.begin(), program.begin() + 1000}, kAtmega328p, ElfResult::NotElf},
      {".text's segment past the end", Patched(program, {{SegmentField(0, kFileSize) + 3, 0x7F}}),
       kAtmega328p, ElfResult::NotElf},
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

TEST(FileFormatTest, TellsElfHexAndBinaryByContent) {
  const auto bytes = [](std::string_view text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
  };
  const std::vector<std::uint8_t> hex = ReadFixture("program.hex");
  const std::pair<std::vector<std::uint8_t>, FileFormat> cases[] = {
      {ReadFixture("program.elf"), FileFormat::Elf},
      {hex, FileFormat::IntelHex},
      {{hex.begin(), hex.begin() + 20}, FileFormat::IntelHex},  // a head cut inside a record
      {bytes(" \t\r\n:00000001FF\r\n"), FileFormat::IntelHex},
      {ReadFixture("program-flash.bin"), FileFormat::Binary},
      {{}, FileFormat::Binary},
      {bytes("\x7F"
             "EL"),
       FileFormat::Binary},                                  // the magic cut short
      {bytes("x:00000001FF\n"), FileFormat::Text},           // text, but no record first
      {bytes(":00000001FF\n\x01\x02"), FileFormat::Binary},  // a record, then control bytes
      {bytes(":10000000\xFF"), FileFormat::Binary},
  };
  for (const auto& [head, format] : cases) {
    EXPECT_EQ(DetectFileFormat(head), format) << std::string(head.begin(), head.end());
  }
}

TEST(MemoryRegionsTest, PlacesByWindowAndReportsDataBeyondEachRegionsSize) {
  // The address of one byte placed, whether it lies outside every region, what overflows.
  const std::tuple<std::uint32_t, bool, std::vector<RegionOverflow>> cases[] = {
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
  for (const auto& [address, outside, overflows] : cases) {
    WholeChipImage image;
    const std::uint8_t byte = 0x5A;
    EXPECT_EQ(Place(image, address, {&byte, 1}).has_value(), outside) << std::hex << address;
    EXPECT_EQ(CheckSizes(image, {256, 16}), overflows) << std::hex << address;
  }
}

TEST(HexWriterTest, WritesRecordsOnSixteenByteLinesWithBankRecords) {
  const std::vector<std::uint8_t> count = testing::Bytes(17, 0), across = testing::Bytes(4, 0xAA);
  const std::vector<HexSpan> low{{0, count}}, high{{0x1FFFE, across}};
  EXPECT_EQ(WriteHex(low), ":10000000000102030405060708090A0B0C0D0E0F78\n:0100100010DF\n:00000001FF\n");
  EXPECT_EQ(WriteHex(high),
            ":020000040001F9\n:02FFFE00AAABAC\n:020000040002F8\n:02000000ACADA5\n:00000001FF\n");
}

// What `avr-objcopy -I ihex -O <format>` makes of HEX `text`.
std::string Objcopy(const std::string& text, const std::string& format) {
  // Named by process: ctest runs the tests of this file side by side.
  const std::string in = ::testing::TempDir() + "kestrel-writer-" + std::to_string(::getpid()) + ".hex";
  const std::string out = in + ".out";
  std::ofstream(in, std::ios::binary) << text;
  EXPECT_EQ(std::system(("avr-objcopy -I ihex -O " + format + " '" + in + "' '" + out + "'").c_str()), 0);
  const std::string result = testing::ReadFile(out);
  std::filesystem::remove(in);
  std::filesystem::remove(out);
  return result;
}

TEST(HexWriterTest, AvrObjcopyReadsRandomImagesBackUpToTheTrimmedLength) {
  std::mt19937 random(20240611);
  for (std::size_t length : {1, 15, 16, 17, 65535, 65536, 65537, 262144}) {
    std::vector<std::uint8_t> image(length + 40, 0xFF);  // the 0xFF tail is what trimming dropped
    for (std::size_t i = 0; i < length; ++i) image[i] = static_cast<std::uint8_t>(random());
    for (int gap = 0; gap < 4 && length > 64; ++gap) {
      std::fill_n(image.begin() + random() % (length - 64), 1 + random() % 48, 0xFF);
    }
    image[length - 1] = 0x00;
    const std::string expected(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(length));
    EXPECT_TRUE(Objcopy(WriteHexMemory(image, length), "binary") == expected) << length;
  }
}

// avr-objcopy writes what it reads from a HEX file in a form of its own, so its rewrite of its
// whole-chip file of an ELF program and its rewrite of ours are equal when the data are.
TEST(HexWriterTest, WholeChipFileHoldsWhatObjcopyWritesForTheSameProgram) {
  for (const std::string name : {"program", "far"}) {  // far: code across 0x20000, a gap below it
    const ElfReadResult read = ReadElfImage(ReadFixture(name + ".elf"), {262144, 4096});
    ASSERT_EQ(read.result, ElfResult::Ok) << name;
    const std::vector<std::uint8_t> theirs = ReadFixture(name + ".hex");
    EXPECT_EQ(Objcopy(WriteHexWholeChip(read.image), "ihex"), Objcopy({theirs.begin(), theirs.end()}, "ihex"))
        << name;
  }
}

}  // namespace
}  // namespace kestrel::image
