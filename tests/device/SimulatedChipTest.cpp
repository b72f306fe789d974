#include <gtest/gtest.h>

#include <tuple>

#include "device/sim/SimulatedProgrammer.h"

namespace kestrel::device {
namespace {

using enum ProgrammingMode;
using enum VendorCommand;

// A chip answers only in ISP and the high-voltage mode of its package, and in ISP only while
// RSTDISBL and DWEN are unprogrammed and SPIEN programmed (high fuse bits 7, 6, 5 of the
// ATmega328P). Where it does not answer, it reads as 0xFF and ignores every write.
TEST(SimulatedChip, AnswersOnlyInItsModesAndNotInIspOnceItsFusesLockIspOut) {
  SimulatedChip tiny;  // an HVSP chip
  tiny.modes = ModeBit(ISP) | ModeBit(HVSP);
  const std::tuple<SimulatedChip, std::uint8_t, ProgrammingMode, bool> cases[] = {
      {{}, 0xD9, ISP, true},   {{}, 0x59, ISP, false},   {{}, 0x99, ISP, false},
      {{}, 0xF9, ISP, false},  {{}, 0x19, PP_20, true},  {{}, 0x99, PP_2313, true},
      {{}, 0xD9, HVSP, false}, {tiny, 0x99, HVSP, true}, {tiny, 0xD9, PP_20, false},
  };
  for (const auto& [chip, high, mode, answers] : cases) {
    SimulatedProgrammer socket(chip);
    socket.fuses[1] = high;
    socket.flash[0] = 0x5A;
    SCOPED_TRACE(::testing::Message() << "high fuse " << int{high} << ", mode " << static_cast<int>(mode));
    std::uint8_t reply[8] = {}, zeros[4] = {};
    socket.Answer(SingleShotRequest(mode, ReadSignature), reply, 8);
    EXPECT_EQ(reply[1], answers ? 0x95 : 0xFF);
    socket.Answer(ReadFlashPageRequest(mode, 2), reply, 4);
    EXPECT_EQ(reply[0], answers ? 0x5A : 0xFF);
    socket.Answer(SingleShotRequest(mode, Ready), reply, 8);
    socket.Answer(WriteFlashPageRequest(mode, 2), zeros, 4);
    socket.Answer(SingleShotRequest(mode, WriteFuses, 0xD9E2, 0xFF), reply, 8);
    EXPECT_EQ(socket.flash[1], answers ? 0x00 : 0xFF);
    EXPECT_EQ(socket.fuses[0], answers ? 0xE2 : 0x62);
  }
}

}  // namespace
}  // namespace kestrel::device
