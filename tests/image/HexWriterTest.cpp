// The HEX writer's text: its record layout, and what avr-objcopy reads from it, against random
// images and against its own whole-chip files of the ELF fixtures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "image/ElfImage.h"
#include "image/HexWriter.h"

namespace kestrel::image {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool HaveObjcopy() {
  return std::system("command -v avr-objcopy >/dev/null 2>&1") == 0;
}

// What `avr-objcopy -I ihex -O <format>` makes of HEX `text`.
std::string Objcopy(const std::string& text, const std::string& format) {
  const std::filesystem::path folder = ::testing::TempDir();
  const std::string in = (folder / "kestrel-writer-in.hex").string();
  const std::string out = (folder / "kestrel-writer-out").string();
  std::ofstream(in, std::ios::binary) << text;
  EXPECT_EQ(std::system(("avr-objcopy -I ihex -O " + format + " '" + in + "' '" + out + "'").c_str()), 0);
  std::string result = ReadFile(out);
  std::filesystem::remove(in);
  std::filesystem::remove(out);
  return result;
}

TEST(HexWriterTest, WritesRecordsOnSixteenByteLinesWithBankRecords) {
  const std::vector<std::uint8_t> count{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const std::vector<std::uint8_t> across{0xAA, 0xBB, 0xCC, 0xDD};
  const struct {
    std::vector<HexSpan> spans;
    std::string text;
  } cases[] = {
      {{{0, count}}, ":10000000000102030405060708090A0B0C0D0E0F78\n:0100100010DF\n:00000001FF\n"},
      {{{0x1FFFE, across}},
       ":020000040001F9\n:02FFFE00AABB9C\n:020000040002F8\n:02000000CCDD55\n:00000001FF\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(WriteHex(c.spans), c.text);
}

TEST(HexWriterTest, AvrObjcopyReadsRandomImagesBackUpToTheTrimmedLength) {
  if (!HaveObjcopy()) GTEST_SKIP() << "no avr-objcopy";
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
  if (!HaveObjcopy()) GTEST_SKIP() << "no avr-objcopy";
  const std::string folder = std::string(KESTREL_TEST_DATA) + "/elf/";
  for (const std::string name : {"program", "far"}) {  // far: code across 0x20000, a gap below it
    const std::string elf = ReadFile(folder + name + ".elf");
    const ElfReadResult read =
        ReadElfImage({reinterpret_cast<const std::uint8_t*>(elf.data()), elf.size()}, {262144, 4096});
    ASSERT_EQ(read.result, ElfResult::Ok) << name;
    EXPECT_EQ(Objcopy(WriteHexWholeChip(read.image), "ihex"),
              Objcopy(ReadFile(folder + name + ".hex"), "ihex"))
        << name;
  }
}

}  // namespace
}  // namespace kestrel::image
