#include <gtest/gtest.h>

#include <random>

#include "support/DeviceSupport.h"

namespace kestrel::device {
namespace {

using support::EngineRig;
using support::Requests;
using enum BlockTransfer;

// One request in the current mode, then its command's success code (its own number), or 102/103.
TEST(EngineTest, SingleRequestsPostTheirCommandOrTheirFailure) {
  EngineRig rig;
  rig.bus.InjectFaults(8, 0);
  rig.link.currentMode = ProgrammingMode::ISP;
  rig.engine.ReadSignature();
  EXPECT_EQ(rig.engine.LastReply()[1], 0x95);
  for (auto command : {&ProgrammerEngine::ReadCalibration, &ProgrammerEngine::ReadFuseLock,
                       &ProgrammerEngine::EraseChip, &ProgrammerEngine::Unlock}) {
    (rig.engine.*command)();
  }
  rig.engine.WriteFuses({0xE1, 0x99, 0xFE});  // low, high, extended
  rig.engine.WriteLock(0x3C);
  rig.engine.ReadSignature();  // times out
  ASSERT_EQ(rig.channel.trace(), "3 3/0 4 4/0 5 5/0 2 2/0 1 1/0 6 6/0 7 7/0 3 103/0");
  const auto requests = Requests(rig.bus);
  EXPECT_EQ(requests[0], (VendorRequest{0xC0, 0x13, 0, 0, 8}));
  EXPECT_EQ(requests[5], (VendorRequest{0xC0, 0x16, 0x99E1, 0x00FE, 8}));
  EXPECT_EQ(requests[6], (VendorRequest{0xC0, 0x17, 0x3C, 0, 8}));
}

TEST(EngineTest, ARefusedTransferDoesNotStart) {
  EngineRig rig;
  rig.geometry.flashPageWords = 0;
  EXPECT_TRUE(rig.engine.StartTransfer(ReadFlash).Refused());
  EXPECT_FALSE(rig.engine.TransferRunning());
}

// Writes both images, reads them back, and compares what the geometry covers.
TEST(EngineTest, WhatIsWrittenReadsBack) {
  for (const chips::ChipGeometry geometry : {chips::ChipGeometry{}, {128, 4, 1024, 1024}, {255, 4, 2, 1}}) {
    EngineRig rig;
    rig.geometry = geometry;
    Memory& flash = rig.engine.memories()[MemoryKind::Flash];
    Memory& eeprom = rig.engine.memories()[MemoryKind::Eeprom];
    const auto flashSize = geometry.FlashSize(), eepromSize = geometry.EepromSize();
    std::mt19937 random(geometry.flashPageWords);
    std::generate_n(flash.image.begin(), flashSize, [&] { return std::uint8_t(random()); });
    std::generate_n(eeprom.image.begin(), eepromSize, [&] { return std::uint8_t(random()); });
    for (auto transfer : {WriteFlash, WriteEeprom, ReadFlash, ReadEeprom}) ASSERT_TRUE(rig.Run(transfer));
    EXPECT_TRUE(std::equal(flash.image.begin(), flash.image.begin() + flashSize, flash.readback.begin()));
    EXPECT_TRUE(std::equal(eeprom.image.begin(), eeprom.image.begin() + eepromSize, eeprom.readback.begin()));
  }
}

// Codes are handled on this thread while the worker waits in Send, as a front end handles them.
// TransferRunning is false by the final code, whose handling may start the next transfer with
// the chip and mode picked meanwhile; the running transfer keeps those of its start.
TEST(EngineTest, TheFinalCodeMayStartTheNextTransfer) {
  std::vector<bool> running;
  EngineRig rig;
  rig.engine.memories()[MemoryKind::Flash].image[33] = 0x00;  // two pages
  rig.channel.onReport = [&](Status code, std::uint32_t argument) {
    running.push_back(rig.engine.TransferRunning());
    if (code == Status::PageWritten && argument == 0) {
      rig.geometry = {128, 2, 1, 1};
      rig.link.currentMode = ProgrammingMode::PP_2313;
    }
    if (code == Status::FlashWritten) rig.engine.StartTransfer(ReadEeprom);
  };
  ASSERT_FALSE(rig.engine.StartTransfer(WriteFlash).Refused());
  ASSERT_TRUE(rig.channel.WaitForFinals(2));
  ASSERT_EQ(rig.channel.trace(), "8 11/0 8 11/1 0 100/0 11 15/0 0 109/0");
  EXPECT_EQ(running, (std::vector<bool>{true, true, false, true, false}));
  const auto requests = Requests(rig.bus);
  EXPECT_EQ(requests[1], (VendorRequest{0x40, 0x08, 16, 0, 32}));
  EXPECT_EQ(requests[3], (VendorRequest{0xC0, 0x3B, 2, 0, 2}));
}

// A stop asked for during a page ends the transfer after it with Ready and TransferStopped;
// the next transfer runs to its end.
TEST(EngineTest, AStoppedTransferEndsAfterItsPageWithReady) {
  EngineRig rig;
  rig.engine.memories()[MemoryKind::Flash].image[65] = 0x00;  // three pages
  rig.channel.onReport = [&](Status code, std::uint32_t) {
    if (code == Status::PageWritten) rig.engine.RequestStop();
  };
  ASSERT_TRUE(rig.Run(WriteFlash));
  rig.channel.onReport = nullptr;
  ASSERT_TRUE(rig.Run(ReadEeprom));
  EXPECT_EQ(rig.channel.trace().substr(0, 13), "8 11/0 0 122/");
  EXPECT_EQ(rig.channel.trace().find(" 0 109/0"), rig.channel.trace().size() - 8);
}

}  // namespace
}  // namespace kestrel::device
