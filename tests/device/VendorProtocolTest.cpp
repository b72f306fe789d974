#include <gtest/gtest.h>

#include "device/StatusCode.h"
#include "device/VendorProtocol.h"

namespace kestrel::device {
namespace {

class EveryMode : public ::testing::TestWithParam<std::uint8_t> {};

TEST_P(EveryMode, SingleShotCommandsAskForAnEightByteReply) {
  const std::uint8_t mode = GetParam();
  for (int command = 0; command <= 7; ++command) {
    const VendorRequest request = SingleShotRequest(mode, static_cast<VendorCommand>(command));
    EXPECT_EQ(request, (VendorRequest{0xC0, static_cast<std::uint8_t>(mode * 16 + command), 0, 0, 8}))
        << "command " << command;
  }
}

TEST_P(EveryMode, PageCommandsCarryTheirSizeAndDirection) {
  const std::uint8_t mode = GetParam();
  const std::uint8_t page[4] = {0x12, 0x34, 0x56, 0x78};
  EXPECT_EQ(WriteFlashPageRequest(mode, 16),
            (VendorRequest{0x40, static_cast<std::uint8_t>(mode * 16 + 8), 16, 0, 32}));
  EXPECT_EQ(WriteEepromPageRequest(mode, page, 4),
            (VendorRequest{0xC0, static_cast<std::uint8_t>(mode * 16 + 9), 0x3412, 0x7856, 4}));
  EXPECT_EQ(ReadFlashPageRequest(mode, 64),
            (VendorRequest{0xC0, static_cast<std::uint8_t>(mode * 16 + 10), 64, 0, 128}));
  EXPECT_EQ(ReadEepromPageRequest(mode, 4),
            (VendorRequest{0xC0, static_cast<std::uint8_t>(mode * 16 + 11), 4, 0, 4}));
}

INSTANTIATE_TEST_SUITE_P(Modes, EveryMode, ::testing::Values(0, 1, 2, 3));

TEST(VendorRequestTest, RequestByteCombinesModeAndCommand) {
  EXPECT_EQ(SingleShotRequest(static_cast<std::uint8_t>(ProgrammingMode::ISP), VendorCommand::ReadSignature)
                .request,
            0x13);
  EXPECT_EQ(ReadEepromPageRequest(static_cast<std::uint8_t>(ProgrammingMode::PP_2313), 4).request, 0x3B);
  EXPECT_EQ(RequestByte(2, VendorCommand::ReadFuseLock), 0x25);
}

TEST(VendorRequestTest, FusesAndLockTravelInValueAndIndex) {
  const VendorRequest fuses = SingleShotRequest(1, VendorCommand::WriteFuses, 0x99E1, 0x00FF);
  EXPECT_EQ(fuses, (VendorRequest{0xC0, 0x16, 0x99E1, 0x00FF, 8}));
  EXPECT_EQ(SingleShotRequest(0, VendorCommand::WriteLock, 0x00FF),
            (VendorRequest{0xC0, 0x07, 0x00FF, 0, 8}));
}

TEST(VendorRequestTest, LargestPagesKeepTheirFullLength) {
  EXPECT_EQ(WriteFlashPageRequest(0, 255).length, 510);
  EXPECT_EQ(ReadFlashPageRequest(0, 128), (VendorRequest{0xC0, 0x0A, 128, 0, 256}));
  EXPECT_EQ(ReadEepromPageRequest(0, 255).length, 255);
}

TEST(VendorRequestTest, ShortEepromPageCarriesOnlyItsOwnBytes) {
  const std::uint8_t page[2] = {0xAB, 0xCD};  // nothing readable behind these two bytes
  const VendorRequest request = WriteEepromPageRequest(0, page, 2);
  EXPECT_EQ(request.value, 0xCDAB);
  EXPECT_EQ(request.index, 0);
  EXPECT_EQ(request.length, 2);
}

TEST(StatusCodeTest, FailuresAreTheCodesTheDispatcherDoesNotReportAsDone) {
  for (std::uint32_t code : {102u, 103u, 112u, 114u, 120u, 8u, 12u, 99u, 104u, 110u, 119u, 1000u}) {
    EXPECT_TRUE(IsFailureStatus(code)) << code;
  }
  for (std::uint32_t code : {0u, 3u, 7u, 11u, 15u, 100u, 101u, 108u, 109u, 111u, 113u, 115u, 118u}) {
    EXPECT_FALSE(IsFailureStatus(code)) << code;
  }
  EXPECT_TRUE(IsProgressStatus(11));
  EXPECT_TRUE(IsProgressStatus(15));
  EXPECT_FALSE(IsProgressStatus(100));
  EXPECT_FALSE(IsProgressStatus(0));
}

}  // namespace
}  // namespace kestrel::device
