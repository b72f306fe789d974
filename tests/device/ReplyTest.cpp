#include <gtest/gtest.h>

#include <tuple>

#include "device/PageTransfer.h"
#include "device/ProgrammerLink.h"
#include "device/sim/SimulatedBus.h"

namespace kestrel::device {
namespace {

using enum VendorCommand;
using Pair = std::pair<int, int>;

VendorRequest Asking(VendorCommand command, std::uint16_t length) {
  VendorRequest request = SingleShotRequest(0, command);
  request.length = length;
  return request;
}

// A request fails only when it moved fewer bytes than the host uses of it, whatever it asked
// for: a firmware that answers with no data where the reply is not used (as the simulator does
// with emptyReplies) serves, a signature of two bytes does not.
TEST(ReplyTest, ARequestFailsOnlyWhenItMovedFewerBytesThanTheHostUses) {
  SimulatorOptions options;
  options.emptyReplies = true;
  SimulatedBus bus(options);
  ProgrammerLink link(bus);
  ASSERT_EQ(link.Open(), OpenOk);
  const std::uint8_t page[4] = {1, 2, 3, 4};
  const std::tuple<VendorRequest, int, int> cases[] = {
      // request, bytes moved, bytes needed (-1: none)
      {SingleShotRequest(0, Ready), 0, -1},
      {SingleShotRequest(0, Unlock), 0, -1},
      {SingleShotRequest(0, EraseChip), 0, -1},
      {SingleShotRequest(0, WriteFuses, 0xD9E1, 0xFF), 0, -1},
      {SingleShotRequest(0, WriteLock, 0xFF), 0, -1},
      {WriteEepromPageRequest(0, page, 4), 0, -1},
      {SingleShotRequest(0, ReadSignature), 8, -1},
      {Asking(ReadSignature, 3), 3, -1},
      {Asking(ReadSignature, 2), 2, 3},
      {Asking(ReadCalibration, 4), 4, -1},
      {Asking(ReadCalibration, 3), 3, 4},
      {Asking(ReadFuseLock, 3), 3, 4},
      {ReadFlashPageRequest(0, 16), 32, -1},
      {VendorRequest{kVendorIn, 10, 8, 0, 32}, 16, 32},  // a page of 8 words where 32 bytes were asked
  };
  for (const auto& [request, moved, needed] : cases) {
    std::uint8_t reply[32];
    LinkFailure failure;
    const std::uint32_t code = IssueRequest(bus, link.deviceHandle, request, reply, 0, failure);
    EXPECT_EQ(bus.requests().back().result, moved) << int{request.request};
    EXPECT_EQ(code, needed < 0 ? 0u : 102u) << int{request.request};
    if (needed >= 0) {
      EXPECT_EQ(Pair(failure.result, failure.expectedLength), Pair(moved, needed));
    }
  }
}

// The lock bits as an AVR obeys them: mode 2 (LB = 10) keeps FLASH and EEPROM from being
// written, mode 3 (LB = 00) also reads them back erased and keeps the fuses. A lock write only
// programs bits; only an erase clears them.
TEST(SimulatedLockTest, ModeTwoStopsWritesModeThreeAlsoReadsAndFusesAndOnlyEraseUnlocks) {
  const auto send = [](SimulatedProgrammer& chip, const VendorRequest& request, std::uint8_t fill = 0) {
    std::vector<std::uint8_t> bytes(request.length, fill);
    chip.Answer(request, bytes.data(), request.length);
    return bytes;
  };
  const std::uint8_t page[4] = {0x11, 0x22, 0x33, 0x44};
  const std::tuple<std::uint8_t, bool, bool> cases[] = {
      {0xFF, true, true}, {0xFE, false, true}, {0xFC, false, false}};
  for (const auto& [lock, writes, reads] : cases) {
    SimulatedProgrammer chip;
    send(chip, SingleShotRequest(0, WriteLock, lock));
    send(chip, SingleShotRequest(0, WriteLock, 0xFF));
    EXPECT_EQ(chip.lock, lock);
    send(chip, WriteFlashPageRequest(0, 2), 0x00);
    send(chip, SingleShotRequest(0, Ready));
    send(chip, WriteEepromPageRequest(0, page, 4));
    send(chip, SingleShotRequest(0, WriteFuses, 0x99E1, 0xFE));
    EXPECT_EQ(Pair(chip.flash[3], chip.eeprom[3]), writes ? Pair(0x00, 0x44) : Pair(0xFF, 0xFF));
    EXPECT_EQ(chip.fuses[0], reads ? 0xE1 : 0x62) << int{lock};
    send(chip, SingleShotRequest(0, Ready));
    chip.flash[0] = 0x5A;
    EXPECT_EQ(send(chip, ReadFlashPageRequest(0, 2))[0], reads ? 0x5A : 0xFF) << int{lock};
    send(chip, SingleShotRequest(0, EraseChip));
    send(chip, SingleShotRequest(0, Ready));
    send(chip, WriteFlashPageRequest(0, 2), 0x00);
    EXPECT_EQ(Pair(chip.lock, chip.flash[3]), Pair(0xFF, 0x00));
  }
}

}  // namespace
}  // namespace kestrel::device
