// The reader's images against the binaries that avr-objcopy and srec_cat made from the same
// data (scripts/make-hex-fixtures.sh).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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
  std::size_t size;  // of the image it is read into
};

class HexFixtureTest : public ::testing::TestWithParam<Fixture> {};

TEST_P(HexFixtureTest, ImageEqualsTheReferenceBinary) {
  const Fixture& fixture = GetParam();
  const std::string binary = ReadFixture(fixture.binary);
  ASSERT_FALSE(binary.empty());
  std::vector<std::uint8_t> image(fixture.size, 0xFF);
  HexFileReader reader;
  ASSERT_EQ(reader.ReadHexImage(ReadFixture(fixture.hex), image, static_cast<std::int64_t>(fixture.size)),
            HexSuccess)
      << fixture.hex;
  EXPECT_EQ(reader.dataLength, static_cast<std::int32_t>(binary.size())) << fixture.hex;
  std::vector<std::uint8_t> expected(binary.begin(), binary.end());
  expected.resize(fixture.size, 0xFF);
  EXPECT_TRUE(image == expected) << fixture.hex;  // not EXPECT_EQ, which would print all of it
}

constexpr std::size_t kFlash = 262144, kEeprom = 65536;

INSTANTIATE_TEST_SUITE_P(IndependentTools, HexFixtureTest,
                         ::testing::Values(Fixture{"program.hex", "program.bin", kFlash},
                                           Fixture{"program.eep", "program-eeprom.bin", kEeprom},
                                           Fixture{"rand32k-r16.hex", "rand32k.bin", kFlash},
                                           Fixture{"rand32k-r32.hex", "rand32k.bin", kEeprom},
                                           Fixture{"rand128k-linear-r16.hex", "rand128k.bin", kFlash},
                                           Fixture{"rand128k-segment-r32.hex", "rand128k.bin", kFlash},
                                           Fixture{"rand256k-linear-r32.hex", "rand256k.bin", kFlash},
                                           Fixture{"rand256k-segment-r16.hex", "rand256k.bin", kFlash},
                                           Fixture{"sparse-linear.hex", "sparse-linear.bin", kFlash},
                                           Fixture{"sparse-segment.hex", "sparse-segment.bin", kFlash}));

}  // namespace
}  // namespace kestrel::image
