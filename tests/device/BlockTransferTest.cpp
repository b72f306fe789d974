#include <gtest/gtest.h>

#include <cerrno>
#include <random>
#include <tuple>

#include "DeviceTestSupport.h"
#include "control/BlockingStatusChannel.h"
#include "control/Texts.h"

namespace kestrel::device {
namespace {

using testing::EngineRig;
using testing::Report;

std::vector<Report> Progress(std::uint32_t code, std::uint32_t pages, std::uint32_t finalCode) {
  std::vector<Report> reports;
  for (std::uint32_t i = 0; i < pages; ++i) reports.push_back({code, i});
  reports.push_back({finalCode, 0});
  return reports;
}

std::vector<std::uint8_t> Commands(const SimulatedBus& bus) {
  std::vector<std::uint8_t> commands;
  for (const auto& recorded : bus.requests()) commands.push_back(recorded.request.request & 0x0F);
  return commands;
}

// `pages` requests of `command`, then Ready.
std::vector<std::uint8_t> PagesThenReady(std::uint8_t command, std::size_t pages) {
  std::vector<std::uint8_t> commands(pages, command);
  commands.push_back(0);
  return commands;
}

void FillRandom(std::vector<std::uint8_t>& buffer, std::size_t length, unsigned seed) {
  std::mt19937 random(seed);
  for (std::size_t i = 0; i < length; ++i) buffer[i] = static_cast<std::uint8_t>(random());
}

TEST(WriteFlashTest, PageCountFollowsTheUsedLength) {
  struct Case {
    int lastUsedByte;  // -1: all 0xFF
    std::uint32_t pages;
  };
  for (const Case c : {Case{-1, 1}, Case{100, 4}, Case{31, 2}, Case{30, 1}, Case{1023, 32}, Case{5000, 32}}) {
    EngineRig rig;
    if (c.lastUsedByte >= 0) rig.engine.flashImage[static_cast<std::size_t>(c.lastUsedByte)] = 0x00;
    ASSERT_TRUE(rig.RunTransfer(BlockTransfer::WriteFlash));
    EXPECT_EQ(rig.channel.reports(), Progress(11, c.pages, 100)) << "last used byte " << c.lastUsedByte;
    EXPECT_EQ(Commands(rig.bus), PagesThenReady(8, c.pages));
    EXPECT_EQ(rig.engine.pageTotal, c.pages);
  }
}

TEST(WriteFlashTest, PagesGoOutAsTabled) {
  EngineRig rig;
  rig.link.currentMode = static_cast<std::uint8_t>(ProgrammingMode::HVSP);
  rig.engine.flashImage[33] = 0x5A;
  ASSERT_TRUE(rig.RunTransfer(BlockTransfer::WriteFlash));
  const auto requests = rig.bus.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[1].request, (VendorRequest{0x40, 0x28, 16, 0, 32}));
  std::vector<std::uint8_t> second(32, 0xFF);
  second[1] = 0x5A;
  EXPECT_EQ(requests[1].dataOut, second);
  EXPECT_EQ(requests[2].request, (VendorRequest{0xC0, 0x20, 0, 0, 8}));
}

TEST(ReadFlashTest, ReadsEveryPageThenReady) {
  EngineRig rig;
  rig.bus.programmer().flash[1023] = 0x42;
  rig.bus.programmer().flash[1024] = 0x43;  // beyond the chip
  rig.engine.flashReadback[1024] = 0x99;
  ASSERT_TRUE(rig.RunTransfer(BlockTransfer::ReadFlash));
  EXPECT_EQ(rig.channel.reports(), Progress(15, 32, 108));
  EXPECT_EQ(Commands(rig.bus), PagesThenReady(10, 32));
  EXPECT_EQ(rig.bus.requests()[0].request, (VendorRequest{0xC0, 0x0A, 16, 0, 32}));
  EXPECT_EQ(rig.engine.flashReadback[1023], 0x42);
  EXPECT_EQ(rig.engine.flashReadback[1024], 0x99) << "bytes beyond the chip keep their contents";
}

TEST(EepromTransferTest, WriteCarriesThePageInTheSetupPacket) {
  EngineRig rig;
  const std::uint8_t data[4] = {1, 2, 3, 4};
  std::copy(std::begin(data), std::end(data), rig.engine.eepromImage.begin());
  ASSERT_TRUE(rig.RunTransfer(BlockTransfer::WriteEeprom));
  EXPECT_EQ(rig.channel.reports(), Progress(11, 2, 101));
  const auto requests = rig.bus.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].request, (VendorRequest{0xC0, 0x09, 0x0201, 0x0403, 4}));
  EXPECT_EQ(requests[1].request, (VendorRequest{0xC0, 0x09, 0xFFFF, 0xFFFF, 4}));
}

TEST(EepromTransferTest, ReadFillsTheReadback) {
  EngineRig rig;
  rig.bus.programmer().eeprom[63] = 0x77;
  ASSERT_TRUE(rig.RunTransfer(BlockTransfer::ReadEeprom));
  EXPECT_EQ(rig.channel.reports(), Progress(15, 16, 109));
  EXPECT_EQ(rig.bus.requests()[0].request, (VendorRequest{0xC0, 0x0B, 4, 0, 4}));
  EXPECT_EQ(rig.engine.eepromReadback[63], 0x77);
}

TEST(BlockTransferTest, NoPagesStillEndsWithReadyAndTheFinalCode) {
  const std::pair<BlockTransfer, std::uint32_t> transfers[] = {{BlockTransfer::WriteFlash, 100},
                                                               {BlockTransfer::ReadFlash, 108},
                                                               {BlockTransfer::WriteEeprom, 101},
                                                               {BlockTransfer::ReadEeprom, 109}};
  for (const auto& [transfer, finalCode] : transfers) {
    EngineRig rig;
    rig.engine.flashImage[0] = 0;
    rig.engine.eepromImage[0] = 0;
    rig.geometry.flashPageCount = 0;
    rig.geometry.eepromPageCount = 0;
    ASSERT_TRUE(rig.RunTransfer(transfer));
    EXPECT_EQ(rig.channel.reports(), (std::vector<Report>{{finalCode, 0}}));
    EXPECT_EQ(Commands(rig.bus), std::vector<std::uint8_t>{0});
  }
}

// Writes both images, reads them back, and compares what the geometry covers.
void ExpectRoundTrip(const chips::ChipGeometry& geometry, unsigned seed) {
  EngineRig rig;
  rig.geometry = geometry;
  FillRandom(rig.engine.flashImage, static_cast<std::size_t>(geometry.FlashSize()), seed);
  FillRandom(rig.engine.eepromImage, static_cast<std::size_t>(geometry.EepromSize()), seed + 1);
  int finished = 0;
  for (auto transfer : {BlockTransfer::WriteFlash, BlockTransfer::WriteEeprom, BlockTransfer::ReadFlash,
                        BlockTransfer::ReadEeprom}) {
    ASSERT_TRUE(rig.engine.StartTransfer(transfer));
    ASSERT_TRUE(rig.channel.WaitForFinals(++finished));
  }
  const auto finals = rig.channel.reports();
  std::vector<std::uint32_t> finalCodes;
  for (const auto& report : finals) {
    if (!IsProgressStatus(report.code)) finalCodes.push_back(report.code);
  }
  EXPECT_EQ(finalCodes, (std::vector<std::uint32_t>{100, 101, 108, 109}));
  const auto flashEnd = static_cast<std::ptrdiff_t>(geometry.FlashSize());
  const auto eepromEnd = static_cast<std::ptrdiff_t>(geometry.EepromSize());
  EXPECT_TRUE(std::equal(rig.engine.flashImage.begin(), rig.engine.flashImage.begin() + flashEnd,
                         rig.engine.flashReadback.begin()));
  EXPECT_TRUE(std::equal(rig.engine.eepromImage.begin(), rig.engine.eepromImage.begin() + eepromEnd,
                         rig.engine.eepromReadback.begin()));
}

TEST(RoundTripTest, WhatIsWrittenReadsBack) {
  ExpectRoundTrip(chips::ChipGeometry{}, 1);
  ExpectRoundTrip(chips::ChipGeometry{128, 4, 1024, 1024}, 2);  // ATmega2560
  ExpectRoundTrip(chips::ChipGeometry{255, 4, 2, 1}, 3);        // the largest page the geometry describes
}

TEST(RoundTripTest, LockedChipReadsErased) {
  EngineRig rig;
  rig.bus.programmer().flash[0] = 0x12;
  rig.bus.programmer().eeprom[0] = 0x34;
  rig.engine.WriteLock("FC");
  ASSERT_TRUE(rig.engine.StartTransfer(BlockTransfer::ReadFlash));
  ASSERT_TRUE(rig.channel.WaitForFinals(2));
  ASSERT_TRUE(rig.engine.StartTransfer(BlockTransfer::ReadEeprom));
  ASSERT_TRUE(rig.channel.WaitForFinals(3));
  EXPECT_EQ(rig.engine.flashReadback[0], 0xFF);
  EXPECT_EQ(rig.engine.eepromReadback[0], 0xFF);
}

TEST(TransferFailureTest, TimeOutStopsAtThePageAndStillSendsReady) {
  SimulatorOptions options;
  options.failAt = 3;
  EngineRig rig(options);
  ASSERT_TRUE(rig.RunTransfer(BlockTransfer::ReadFlash));
  EXPECT_EQ(rig.channel.reports(), (std::vector<Report>{{15, 0}, {15, 1}, {103, 0}}));
  EXPECT_EQ(Commands(rig.bus), (std::vector<std::uint8_t>{10, 10, 10, 0}));
  EXPECT_EQ(rig.bus.programmer().pageNumber, 0u) << "Ready reached the programmer";
  EXPECT_EQ(rig.engine.lastFailure.operation, texts::Printf(texts::kReadFlashPagePattern, 2u));
  EXPECT_EQ(rig.engine.lastFailure.error, -ETIMEDOUT);
}

TEST(TransferFailureTest, AFailedReadLeavesNoStaleBytesBehindASuccessCode) {
  SimulatorOptions options;
  options.failAt = 1;
  EngineRig rig(options);
  rig.bus.programmer().flash[0] = 0x00;
  rig.engine.response.fill(0xAB);
  ASSERT_TRUE(rig.RunTransfer(BlockTransfer::ReadFlash));
  EXPECT_EQ(rig.channel.codes(), std::vector<std::uint32_t>{103});
  EXPECT_EQ(rig.engine.flashReadback[0], 0xFF) << "the failed page was not copied";
}

TEST(TransferFailureTest, UnplugEndsTheWriteWithTheFailedPage) {
  SimulatorOptions options;
  options.unplugAt = 2;
  EngineRig rig(options);
  rig.engine.eepromImage[20] = 0;
  ASSERT_TRUE(rig.RunTransfer(BlockTransfer::WriteEeprom));
  EXPECT_EQ(rig.channel.reports(), (std::vector<Report>{{11, 0}, {102, 0}}));
  EXPECT_EQ(Commands(rig.bus), (std::vector<std::uint8_t>{9, 9, 0}));
  EXPECT_EQ(rig.engine.lastFailure.operation, texts::Printf(texts::kWriteEepromPagePattern, 1u))
      << "the page's failure, not Ready's";
  EXPECT_EQ(rig.engine.lastFailure.error, -ENODEV);
}

TEST(TransferFailureTest, AFailedReadyFailsTheTransfer) {
  SimulatorOptions options;
  options.failAt = 2;
  EngineRig rig(options);
  ASSERT_TRUE(rig.RunTransfer(BlockTransfer::WriteFlash));
  EXPECT_EQ(rig.channel.reports(), (std::vector<Report>{{11, 0}, {103, 0}}));
  EXPECT_EQ(rig.engine.lastFailure.operation, texts::kEndTransferOperation);
}

TEST(TransferFailureTest, WithoutAProgrammerNoRequestIsSent) {
  for (auto transfer : {BlockTransfer::WriteFlash, BlockTransfer::ReadEeprom}) {
    EngineRig rig({}, /*open=*/false);
    ASSERT_TRUE(rig.RunTransfer(transfer));
    EXPECT_EQ(rig.channel.reports(), (std::vector<Report>{{102, 0}}));
    EXPECT_EQ(rig.bus.vendorRequestCount(), 0u);
    EXPECT_EQ(rig.engine.lastFailure.text, texts::kNoProgrammerOpen);
  }
}

TEST(TransferFailureTest, AShortPageIsAFailure) {
  testing::EngineRig rig;
  rig.bus.adjustResult = [](int, int request, int result) {
    return (request & 0x0F) == 10 && result > 2 ? result - 2 : result;  // a page read cut short
  };
  ASSERT_TRUE(rig.RunTransfer(BlockTransfer::ReadFlash));
  EXPECT_EQ(rig.channel.codes(), std::vector<std::uint32_t>{102});
  EXPECT_EQ(rig.engine.lastFailure.text,
            texts::Printf(texts::kShortTransferPattern,
                          texts::Printf(texts::kReadFlashPagePattern, 0u).c_str(), 30, 32));
}

// Each case just past a limit; the first fault is the one named.
TEST(GeometryRefusalTest, EveryTransferRefusesWhatItCannotServe) {
  struct Case {
    chips::ChipGeometry geometry;
    bool flash;
    const char* reason;
  };
  const Case cases[] = {
      {{0, 4, -1, 16}, true, texts::kPageSizeZero},
      {{16, 4, -1, 16}, true, texts::kPageCountNegative},
      {{128, 4, 1025, 16}, true, texts::kSizeBeyondBuffer},
      {{16, 0, 32, 16}, false, texts::kPageSizeZero},
      {{16, 4, 32, -16}, false, texts::kPageCountNegative},
      {{16, 4, 32, 16385}, false, texts::kSizeBeyondBuffer},
  };
  const std::tuple<BlockTransfer, bool, const char*> transfers[] = {
      {BlockTransfer::WriteFlash, true, texts::kFlashWriteOperation},
      {BlockTransfer::ReadFlash, true, texts::kFlashReadOperation},
      {BlockTransfer::WriteEeprom, false, texts::kEepromWriteOperation},
      {BlockTransfer::ReadEeprom, false, texts::kEepromReadOperation}};
  for (const Case& c : cases) {
    for (const auto& [transfer, flash, operation] : transfers) {
      if (flash != c.flash) continue;
      EngineRig rig;
      rig.geometry = c.geometry;
      EXPECT_FALSE(rig.engine.StartTransfer(transfer));
      EXPECT_FALSE(rig.engine.TransferRunning());
      EXPECT_EQ(rig.channel.codes(), std::vector<std::uint32_t>{status::Refused});
      EXPECT_EQ(rig.notes.lines,
                std::vector<std::string>{texts::Printf(texts::kGeometryRefusedPattern,
                                                       flash ? "FLASH" : "EEPROM", c.reason, operation)});
      EXPECT_EQ(rig.bus.vendorRequestCount(), 0u);
    }
  }
}

TEST(GeometryRefusalTest, LongEepromPagesCanBeReadButNotWritten) {
  EngineRig rig;
  rig.geometry.eepromPageBytes = 8;
  rig.geometry.eepromPageCount = 8;
  EXPECT_FALSE(rig.engine.StartTransfer(BlockTransfer::WriteEeprom));
  EXPECT_EQ(rig.notes.lines, std::vector<std::string>{texts::Printf(texts::kEepromPageTooLongPattern, 8)});
  EXPECT_EQ(rig.channel.codes(), std::vector<std::uint32_t>{status::Refused});
  EXPECT_EQ(rig.bus.vendorRequestCount(), 0u);
  ASSERT_TRUE(rig.engine.StartTransfer(BlockTransfer::ReadEeprom));
  ASSERT_TRUE(rig.channel.WaitForFinals(2));
  EXPECT_EQ(rig.channel.codes().back(), status::EepromRead);
}

TEST(TransferSnapshotTest, ChipAndModePickedDuringATransferApplyToTheNext) {
  EngineRig rig;
  rig.channel.onReport = [&](std::uint32_t code, std::uint32_t argument) {
    if (code == status::PageRead && argument == 0) {
      rig.geometry = chips::ChipGeometry{128, 4, 1, 1};
      rig.link.currentMode = 3;
    }
  };
  ASSERT_TRUE(rig.RunTransfer(BlockTransfer::ReadFlash));
  const auto requests = rig.bus.requests();
  ASSERT_EQ(requests.size(), 33u);
  for (const auto& recorded : requests) {
    EXPECT_EQ(recorded.request.request >> 4, 0);
    if (recorded.request.request != 0) {
      EXPECT_EQ(recorded.request.length, 32);
    }
  }
  EXPECT_EQ(rig.engine.pageTotal, 32u);
  rig.bus.ClearRequests();
  rig.channel.onReport = nullptr;
  ASSERT_TRUE(rig.engine.StartTransfer(BlockTransfer::ReadFlash));
  ASSERT_TRUE(rig.channel.WaitForFinals(2));
  EXPECT_EQ(rig.bus.requests().front().request, (VendorRequest{0xC0, 0x3A, 128, 0, 256}));
}

TEST(TransferThreadTest, RunningUntilTheFinalCodeAndChainableFromIt) {
  // Codes are handled on this thread, as a front end handles them, so the chained transfer
  // starts from here while the first worker still waits inside its final Send.
  SimulatedBus bus;
  ProgrammerLink link(bus);
  ASSERT_EQ(link.Open(), OpenOk);
  chips::ChipGeometry geometry;
  control::BlockingStatusChannel channel;
  testing::RecordingTones tones;
  testing::RecordingNotes notes;
  ProgrammerEngine engine(link, geometry, channel, tones, notes);
  std::vector<bool> runningAt;
  std::vector<std::uint32_t> codes;
  channel.SetHandler([&](std::uint32_t code, std::uint32_t) {
    runningAt.push_back(engine.TransferRunning());
    codes.push_back(code);
    if (code == status::FlashWritten) {
      EXPECT_TRUE(engine.StartTransfer(BlockTransfer::ReadEeprom));
    }
  });
  ASSERT_TRUE(engine.StartTransfer(BlockTransfer::WriteFlash));
  channel.PumpUntil([&] { return !codes.empty() && codes.back() == status::EepromRead; });
  // WriteFlash: one page then its final code; the chained read: 16 pages then its final code.
  std::vector<bool> expected{true, false};
  expected.insert(expected.end(), 16, true);
  expected.push_back(false);
  EXPECT_EQ(runningAt, expected);
  EXPECT_FALSE(engine.TransferRunning());
}

}  // namespace
}  // namespace kestrel::device
