#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "chips/ChipCatalogue.h"

namespace kestrel::chips {
namespace {

// Arbitrary bytes, and bytes drawn mostly from the terminators, digits and white space, so
// that records of every shape (empty fields, over-long fields, hundreds of records) occur.
std::string RandomCatalogueBytes(std::mt19937& random, int round) {
  static constexpr char kHeavy[] = "|:<|:<|:<0123456789-+ \t\n\xD0\xBE\xFF";
  std::uniform_int_distribution<std::size_t> length(0, round % 10 == 0 ? 8000 : 400);
  std::uniform_int_distribution<int> anyByte(0, 255);
  std::uniform_int_distribution<std::size_t> heavyByte(0, sizeof kHeavy - 2);
  std::string bytes(length(random), '\0');
  for (char& byte : bytes) {
    byte = round % 3 == 0 ? static_cast<char>(anyByte(random)) : kHeavy[heavyByte(random)];
  }
  return bytes;
}

bool IsUtf8(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead >> 5 == 0x6 ? 2 : lead >> 4 == 0xE ? 3
                             : lead >> 3 == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

TEST(ChipCatalogueRandomInput, NeverLeavesSlotsTableOrData) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 3000; ++round) {
    const std::string bytes = RandomCatalogueBytes(random, round);
    // A heap copy of exactly the data's size, so that any read past it is reported.
    std::unique_ptr<char[]> exact(new char[bytes.size()]);
    std::memcpy(exact.get(), bytes.data(), bytes.size());
    ChipCatalogue catalogue = ParseChipCatalogue(std::string_view(exact.get(), bytes.size()));

    ASSERT_LE(catalogue.recordCount, kCatalogueCapacity);

    for (std::uint32_t i = 0; i < catalogue.recordCount; ++i) {
      const ChipRecord& record = catalogue.records[i];
      ASSERT_EQ(record.name[sizeof record.name - 1], '\0');
      ChipGeometry geometry;
      ASSERT_TRUE(SelectChip(catalogue, static_cast<int>(i), geometry));
      ASSERT_GE(geometry.flashPageCount, -999);
      ASSERT_LE(geometry.flashPageCount, 9999);
      if (i < 4) {
        ASSERT_TRUE(IsUtf8(DisplayChipName(record))) << RawChipName(record);
      }
    }
    for (std::uint32_t i = catalogue.recordCount; i < kCatalogueCapacity; ++i) {
      const auto* raw = reinterpret_cast<const unsigned char*>(&catalogue.records[i]);
      for (std::size_t b = 0; b < sizeof(ChipRecord); ++b) ASSERT_EQ(raw[b], 0) << "slot " << i;
    }
  }
}

}  // namespace
}  // namespace kestrel::chips
