#include <gtest/gtest.h>

#include <tuple>

#include "device/PageTransfer.h"
#include "device/ProgrammerLink.h"
#include "device/sim/SimulatedBus.h"

namespace kestrel::device {
namespace {

using enum VendorCommand;
using enum ProgrammingMode;
using Pair = std::pair<int, int>;

// A request fails only when it moved fewer bytes than the host uses of it, whatever it asked
// for: no data serves where the reply is not used (the simulator's emptyReplies), a signature of
// two bytes does not, nor a page read short.
TEST(ReplyTest, ARequestFailsOnlyWhenItMovedFewerBytesThanTheHostUses) {
  SimulatorOptions options;
  options.emptyReplies = true;
  SimulatedBus bus(options);
  ProgrammerLink link(bus);
  ASSERT_EQ(link.Open(), OpenOk);
  // command, bytes asked for, bytes moved, bytes needed (-1: it serves)
  const std::tuple<VendorCommand, std::uint16_t, int, int> cases[] = {
      {Ready, 8, 0, -1},         {Unlock, 8, 0, -1},          {EraseChip, 8, 0, -1},
      {WriteFuses, 8, 0, -1},    {WriteLock, 8, 0, -1},       {WriteEepromPage, 4, 0, -1},
      {ReadSignature, 3, 3, -1}, {ReadSignature, 2, 2, 3},    {ReadCalibration, 3, 3, 4},
      {ReadFuseLock, 3, 3, 4},   {ReadFlashPage, 32, 32, -1}, {ReadFlashPage, 32, 16, 32}};
  for (const auto& [command, asked, moved, needed] : cases) {
    std::uint8_t reply[32];
    LinkFailure failure;
    // wValue: the words of a page read, which is what the simulator sends back
    const VendorRequest request{kVendorIn, RequestByte(PP_20, command), static_cast<std::uint16_t>(moved / 2),
                                0, asked};
    const std::optional<Status> code = IssueRequest(bus, link.deviceHandle, request, reply, 0, failure);
    EXPECT_EQ(bus.requests().back().result, moved) << int{request.request};
    EXPECT_EQ(code, needed < 0 ? std::nullopt : std::optional(Status::CommunicationError))
        << int{request.request};
    EXPECT_EQ(Pair(failure.result, failure.expectedLength), needed < 0 ? Pair(0, 0) : Pair(moved, needed));
  }
}

// The lock bits as an AVR obeys them: mode 2 (LB = 10) keeps FLASH, EEPROM and the fuses from
// being written, mode 3 (LB = 00) also reads them back erased. A lock write only programs bits;
// only an erase clears them.
TEST(SimulatedLockTest, ModeTwoStopsWritesAndFusesModeThreeAlsoReadsAndOnlyEraseUnlocks) {
  const std::uint8_t page[4] = {0x11, 0x22, 0x33, 0x44};
  for (const auto& [lock, writes, reads] :
       {std::tuple(0xFF, true, true), std::tuple(0xFE, false, true), std::tuple(0xFC, false, false)}) {
    SimulatedProgrammer chip;
    std::uint8_t zeros[8] = {}, read[4];  // every reply to these requests is zeros too
    const auto send = [&](std::initializer_list<VendorRequest> requests) {
      for (const VendorRequest& r : requests) chip.Answer(r, zeros, r.length);
    };
    send({SingleShotRequest(PP_20, WriteLock, lock), SingleShotRequest(PP_20, WriteLock, 0xFF),
          WriteFlashPageRequest(PP_20, 2), SingleShotRequest(PP_20, Ready),
          WriteEepromPageRequest(PP_20, page, 4), SingleShotRequest(PP_20, WriteFuses, 0x99E1, 0xFE),
          SingleShotRequest(PP_20, Ready)});
    EXPECT_EQ(chip.lock, lock);
    EXPECT_EQ(Pair(chip.flash[3], chip.eeprom[3]), writes ? Pair(0x00, 0x44) : Pair(0xFF, 0xFF));
    EXPECT_EQ(chip.fuses[0], writes ? 0xE1 : 0x62) << lock;
    chip.flash[0] = 0x5A;
    chip.Answer(ReadFlashPageRequest(PP_20, 2), read, 4);
    EXPECT_EQ(read[0], reads ? 0x5A : 0xFF) << lock;
    send({SingleShotRequest(PP_20, EraseChip), SingleShotRequest(PP_20, Ready),
          WriteFlashPageRequest(PP_20, 2)});
    EXPECT_EQ(Pair(chip.lock, chip.flash[3]), Pair(0xFF, 0x00));
  }
}

}  // namespace
}  // namespace kestrel::device
