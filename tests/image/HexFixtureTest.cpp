// The reader's images against the binaries that avr-objcopy and srec_cat made from the same
// data (scripts/make-hex-fixtures.sh).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ImageFakes.h"
#include "image/HexFileReader.h"

namespace kestrel::image {
namespace {

std::string ReadFixture(const std::string& name) {
  std::ifstream in(std::string(KESTREL_TEST_DATA) + "/hex/" + name, std::ios::binary);
  EXPECT_TRUE(in) << name;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Fixture {
  const char* hex;
  const char* binary;
  HexDestination kind;
};

class HexFixtureTest : public ::testing::TestWithParam<Fixture> {};

TEST_P(HexFixtureTest, ImageEqualsTheReferenceBinary) {
  const Fixture& fixture = GetParam();
  const std::string text = ReadFixture(fixture.hex);
  const std::string binary = ReadFixture(fixture.binary);
  ASSERT_FALSE(binary.empty());
  const std::size_t size = fixture.kind == HexDestination::Flash ? 262144 : 65536;
  std::vector<std::uint8_t> image(size, 0xFF);
  HexFileReader reader;
  testing::FakeMessages messages;

  ASSERT_EQ(reader.ReadHexImage(text, fixture.kind, image, static_cast<std::int64_t>(size), messages),
            HexSuccess);
  EXPECT_EQ(reader.dataLength, static_cast<std::int32_t>(binary.size()));
  std::size_t differences = 0;
  for (std::size_t i = 0; i < binary.size(); ++i) {
    differences += image[i] != static_cast<std::uint8_t>(binary[i]);
  }
  EXPECT_EQ(differences, 0u);
  for (std::size_t i = binary.size(); i < size; ++i) ASSERT_EQ(image[i], 0xFF) << i;
}

INSTANTIATE_TEST_SUITE_P(
    IndependentTools, HexFixtureTest,
    ::testing::Values(Fixture{"program.hex", "program.bin", HexDestination::Flash},
                      Fixture{"program.eep", "program-eeprom.bin", HexDestination::Eeprom},
                      Fixture{"rand32k-r16.hex", "rand32k.bin", HexDestination::Flash},
                      Fixture{"rand32k-r32.hex", "rand32k.bin", HexDestination::Eeprom},
                      Fixture{"rand128k-linear-r16.hex", "rand128k.bin", HexDestination::Flash},
                      Fixture{"rand128k-segment-r32.hex", "rand128k.bin", HexDestination::Flash},
                      Fixture{"rand256k-linear-r32.hex", "rand256k.bin", HexDestination::Flash},
                      Fixture{"rand256k-segment-r16.hex", "rand256k.bin", HexDestination::Flash},
                      Fixture{"sparse-linear.hex", "sparse-linear.bin", HexDestination::Flash},
                      Fixture{"sparse-segment.hex", "sparse-segment.bin", HexDestination::Flash}),
    [](const ::testing::TestParamInfo<Fixture>& info) {
      std::string name = info.param.hex;
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

TEST(DemoProgramTest, TheBundledExampleFitsAnATmega328P) {
  const std::string folder = std::string(KESTREL_SOURCE_DIR) + "/data/examples/blink/";
  HexFileReader reader;
  testing::FakeMessages messages;
  std::vector<std::uint8_t> flash(262144, 0xFF);
  std::vector<std::uint8_t> eeprom(65536, 0xFF);
  for (const char* name : {"blink.hex", "blink.eep"}) {
    std::ifstream in(folder + name, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const bool isFlash = std::string(name) == "blink.hex";
    EXPECT_EQ(reader.ReadHexImage(text, isFlash ? HexDestination::Flash : HexDestination::Eeprom,
                                  isFlash ? flash : eeprom, isFlash ? 32768 : 1024, messages),
              HexSuccess)
        << name;
    EXPECT_GT(reader.dataLength, 0) << name;
  }
  EXPECT_EQ(flash[0], 0x0C);  // the reset vector's jmp
  EXPECT_EQ(std::string(eeprom.begin(), eeprom.begin() + 7), "Kestrel");
}

}  // namespace
}  // namespace kestrel::image
