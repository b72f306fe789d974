// Inputs the fuzzers found faults with, kept so that the faults stay fixed.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "image/HexFileReader.h"

namespace kestrel::image {
namespace {

// Found by fuzz_hex_open: a record without bytes took part in the second pass, which formed a
// pointer to its address in the destination. With an empty destination (a chip whose EEPROM
// size is 0) that was an offset applied to a null pointer.
TEST(HexFuzzRegression, RecordsWithoutBytesPastTheImageTouchNothing) {
  HexFileReader reader;
  std::vector<std::uint8_t> none;
  EXPECT_EQ(reader.ReadHexImage(":0080000080\n:00000001FF\n", none, 0), HexSuccess);
  EXPECT_EQ(reader.dataLength, 0);

  // Beside real data, under the highest bases, into a small image.
  std::vector<std::uint8_t> image(16, 0xFF);
  EXPECT_EQ(reader.ReadHexImage(
                ":020000040FFFEC\n:00FFFF0002\n:020000040000FA\n:02000000ABCD86\n:00000001FF\n", image, 16),
            HexSuccess);
  EXPECT_EQ(reader.dataLength, 2);
  EXPECT_EQ(image[0] << 8 | image[1], 0xABCD);
  EXPECT_EQ(std::count(image.begin(), image.end(), 0xFF), 14);
}

}  // namespace
}  // namespace kestrel::image
