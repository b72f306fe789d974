#include <gtest/gtest.h>

#include "device/VendorProtocol.h"

namespace kestrel::device {
namespace {

class EveryMode : public ::testing::TestWithParam<std::uint8_t> {};

TEST_P(EveryMode, EveryCommandCarriesModeSizeAndDirection) {
  const std::uint8_t mode = GetParam();
  const auto byte = [mode](int command) { return static_cast<std::uint8_t>(mode * 16 + command); };
  for (int command = 0; command <= 7; ++command) {
    EXPECT_EQ(SingleShotRequest(mode, static_cast<VendorCommand>(command)),
              (VendorRequest{0xC0, byte(command), 0, 0, 8}))
        << "command " << command;
  }
  const std::uint8_t page[4] = {0x12, 0x34, 0x56, 0x78};
  EXPECT_EQ(WriteFlashPageRequest(mode, 16), (VendorRequest{0x40, byte(8), 16, 0, 32}));
  EXPECT_EQ(WriteEepromPageRequest(mode, page, 4), (VendorRequest{0xC0, byte(9), 0x3412, 0x7856, 4}));
  EXPECT_EQ(ReadFlashPageRequest(mode, 64), (VendorRequest{0xC0, byte(10), 64, 0, 128}));
  EXPECT_EQ(ReadEepromPageRequest(mode, 4), (VendorRequest{0xC0, byte(11), 4, 0, 4}));
}

INSTANTIATE_TEST_SUITE_P(Modes, EveryMode, ::testing::Values(0, 1, 2, 3));

TEST(VendorRequestTest, EdgesOfTheSetupPacket) {
  EXPECT_EQ(SingleShotRequest(static_cast<std::uint8_t>(ProgrammingMode::ISP), VendorCommand::ReadSignature)
                .request,
            0x13);
  EXPECT_EQ(ReadEepromPageRequest(static_cast<std::uint8_t>(ProgrammingMode::PP_2313), 4).request, 0x3B);
  EXPECT_EQ(SingleShotRequest(1, VendorCommand::WriteFuses, 0x99E1, 0x00FF),
            (VendorRequest{0xC0, 0x16, 0x99E1, 0x00FF, 8}));
  // The largest pages keep their full length.
  EXPECT_EQ(WriteFlashPageRequest(0, 255).length, 510);
  EXPECT_EQ(ReadFlashPageRequest(0, 128), (VendorRequest{0xC0, 0x0A, 128, 0, 256}));
  EXPECT_EQ(ReadEepromPageRequest(0, 255).length, 255);
  // A short EEPROM page carries only its own bytes: nothing readable lies behind these two.
  const std::uint8_t page[2] = {0xAB, 0xCD};
  EXPECT_EQ(WriteEepromPageRequest(0, page, 2), (VendorRequest{0xC0, 0x09, 0xCDAB, 0, 2}));
}

}  // namespace
}  // namespace kestrel::device
