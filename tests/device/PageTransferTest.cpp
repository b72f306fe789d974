#include <gtest/gtest.h>

#include <cerrno>
#include <tuple>

#include "support/DeviceSupport.h"

namespace kestrel::device {
namespace {

using enum BlockTransfer;
using enum VendorCommand;

auto Facts(const LinkFailure& f) {
  return std::tuple(f.command, f.page, f.noHandle, f.result);
}

// A write covers the pages up to the last byte that is not 0xFF, plus one (even when that byte
// ends a page), capped at the chip; a read covers the chip.
TEST(PlanTransferTest, PageCounts) {
  const std::tuple<BlockTransfer, int, std::uint32_t> cases[] = {
      {WriteFlash, -1, 1},   {WriteFlash, 30, 1},    {WriteFlash, 31, 2},
      {WriteFlash, 100, 4},  {WriteFlash, 5000, 32}, {WriteEeprom, 20, 6},
      {WriteEeprom, 63, 16}, {ReadFlash, -1, 32},    {ReadEeprom, 5, 16}};
  for (const auto& [transfer, lastUsed, pages] : cases) {
    ChipMemories memories;
    if (lastUsed >= 0)
      memories[MemoryKind::Flash].image[lastUsed] = memories[MemoryKind::Eeprom].image[lastUsed] = 0;
    EXPECT_EQ(PlanTransfer(transfer, {}, memories).pageCount, pages) << lastUsed;
  }
}

// Only the memory a transfer moves can refuse it; EEPROM pages too long for the setup packet
// can be read but not written.
TEST(CheckTransferTest, RefusesWhatTheMemoryCannotServe) {
  using enum chips::GeometryProblem;
  const std::tuple<chips::ChipGeometry, BlockTransfer, chips::GeometryProblem, bool> cases[] = {
      {{0, 4, 32, 16}, ReadFlash, PageSizeZero, false},
      {{0, 4, 32, 16}, ReadEeprom, None, false},
      {{16, 8, 32, -1}, WriteEeprom, PageCountNegative, false},
      {{16, 8, 32, 8}, WriteEeprom, None, true},
      {{16, 8, 32, 8}, ReadEeprom, None, false}};
  for (const auto& [geometry, transfer, problem, tooLong] : cases) {
    const TransferRefusal refusal = CheckTransfer(transfer, geometry);
    EXPECT_EQ(std::pair(refusal.geometry, refusal.eepromPageTooLong), std::pair(problem, tooLong));
  }
}

// The trace holds each request's command and each code: every page's code follows its request
// and names the page, and the final code follows Ready, which goes out in the run's mode.
TEST(PageTransferTest, EachPageThenReadyThenTheFinalCode) {
  const std::tuple<BlockTransfer, const char*, VendorRequest> cases[] = {
      {WriteFlash, "8 11/0 8 11/1 0 100/0", {0x40, 0x28, 16, 0, 32}},
      {ReadFlash, "10 15/0 10 15/1 0 108/0", {0xC0, 0x2A, 16, 0, 32}},
      {WriteEeprom, "9 11/0 9 11/1 0 101/0", {0xC0, 0x29, 0xFFFF, 0xFFFF, 4}},
      {ReadEeprom, "11 15/0 11 15/1 0 109/0", {0xC0, 0x2B, 4, 0, 4}}};
  for (const auto& [transfer, trace, first] : cases) {
    support::EngineRig rig;
    rig.link.currentMode = ProgrammingMode::HVSP;
    rig.geometry = {16, 4, 2, 2};
    rig.engine.memories()[MemoryKind::Flash].image[33] = rig.engine.memories()[MemoryKind::Eeprom].image[5] =
        0x5A;
    ASSERT_TRUE(rig.Run(transfer));
    ASSERT_EQ(rig.channel.trace(), trace);
    EXPECT_EQ(support::Requests(rig.bus).front(), first);
    EXPECT_EQ(support::Requests(rig.bus).back(), (VendorRequest{0xC0, 0x20, 0, 0, 8}));
  }
}

// The first failed request ends the transfer with its code, a failed page outranking a failed
// Ready, after Ready has still gone out; a failed page leaves nothing in the read-back.
TEST(PageTransferTest, StopsAtTheFirstFailureAndStillSendsReady) {
  const std::tuple<BlockTransfer, std::uint32_t, std::uint32_t, const char*, LinkFailure> cases[] = {
      {ReadFlash, 3, 0, "10 15/0 10 15/1 10 0 103/0", {ReadFlashPage, 2, false, -ETIMEDOUT}},
      {WriteFlash, 0, 2, "8 11/0 8 0 102/0", {WriteFlashPage, 1, false, -ENODEV}},
      {WriteEeprom, 3, 0, "9 11/0 9 11/1 0 103/0", {Ready, 0, false, -ETIMEDOUT}}};
  for (const auto& [transfer, failAt, unplugAt, trace, failure] : cases) {
    support::EngineRig rig;
    rig.bus.InjectFaults(failAt, unplugAt);
    rig.engine.memories()[MemoryKind::Flash].image[33] = rig.engine.memories()[MemoryKind::Eeprom].image[5] =
        0;
    rig.bus.programmer().flash[33] = 0x12;
    ASSERT_TRUE(rig.Run(transfer));
    EXPECT_EQ(rig.channel.trace(), trace);
    EXPECT_EQ(Facts(rig.engine.LastFailure()), Facts(failure));
    EXPECT_EQ(rig.engine.memories()[MemoryKind::Flash].readback[65], 0xFF);
  }
}

// Only a page that moves the bar sends a progress code: each position once, the last page's
// 100 included, and the same position the dispatcher computes from the page index.
TEST(PageTransferTest, ProgressCodesOnlyForPagesThatMoveTheBar) {
  support::EngineRig rig;
  rig.geometry = {16, 4, 1000, 16};
  std::vector<int> positions;
  rig.channel.onReport = [&](Status code, std::uint32_t page) {
    if (IsProgressStatus(code)) positions.push_back(ProgressPosition(page, 1000));
  };
  ASSERT_TRUE(rig.Run(ReadFlash));
  ASSERT_EQ(positions.size(), 101u);
  for (int i = 0; i <= 100; ++i) EXPECT_EQ(positions[static_cast<std::size_t>(i)], i);
}

// What --sim-stats counts: every vendor request and the bytes of its data stage each way.
TEST(SimulatedBusTest, CountsRequestsAndTheirBytesEachWay) {
  support::EngineRig rig;
  rig.engine.memories()[MemoryKind::Flash].image[33] = 0;  // two pages of 32 bytes
  rig.engine.EraseChip();
  ++rig.finals;  // its code, handled at once
  ASSERT_TRUE(rig.Run(WriteFlash));
  const LinkStatistics s = rig.bus.linkStatistics();
  EXPECT_EQ(std::tuple(s.requests, s.bytesOut, s.bytesIn), std::tuple(4u, 64u, 16u));
}

// A time-out is 103; any other failure, a page read cut short (32 of 40 bytes) too, is 102.
TEST(IssueRequestTest, ATimeOutIs103AndEveryOtherFailure102) {
  SimulatorOptions options;
  options.busses = {{SimulatedDevice{}, SimulatedDevice{.accessDenied = true}}};
  SimulatedBus bus(options);
  UsbHandle* programmer = bus.Open(bus.GetBusses()[0][0]);
  UsbHandle* denied = bus.Open(bus.GetBusses()[0][1]);
  const VendorRequest signature = SingleShotRequest(ProgrammingMode::ISP, ReadSignature),
                      page{0xC0, 0x1A, 16, 0, 40};
  using Failed = std::optional<Status>;
  const std::tuple<UsbHandle*, VendorRequest, std::uint32_t, std::uint32_t, Failed, int> cases[] = {
      {programmer, signature, 0, 0, std::nullopt, 0},
      {programmer, signature, 1, 0, Status::ReceiveTimeout, -ETIMEDOUT},
      {programmer, page, 0, 0, Status::CommunicationError, 32},
      {denied, signature, 0, 0, Status::CommunicationError, -EPERM},
      {programmer, signature, 0, 1, Status::CommunicationError, -ENODEV},
      {nullptr, signature, 0, 0, Status::CommunicationError, 0}};
  for (const auto& [handle, request, failAt, unplugAt, code, result] : cases) {
    bus.InjectFaults(failAt, unplugAt);
    std::uint8_t reply[40];
    LinkFailure failure{.page = 99},
        expected{VendorCommand(request.request & 0x0F), 7, handle == nullptr, result};
    EXPECT_EQ(IssueRequest(bus, handle, request, reply, 7, failure), code);
    EXPECT_EQ(Facts(failure), !code ? Facts(LinkFailure{.page = 99}) : Facts(expected));
  }
  bus.Close(programmer);
  bus.Close(denied);
}

}  // namespace
}  // namespace kestrel::device
