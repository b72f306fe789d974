#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

#include "ControlHarness.h"
#include "control/Texts.h"
#include "device/StatusCode.h"

namespace kestrel::control::testing {

std::vector<std::string> Unstamped(const std::vector<std::string>& lines) {
  static const std::regex stamp("^〖\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d〗 ");
  std::vector<std::string> result;
  for (const std::string& line : lines) result.push_back(std::regex_replace(line, stamp, ""));
  return result;
}

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// The command numbers of the vendor requests the programmer received, repeats folded.
std::vector<int> CommandRuns(const device::SimulatedBus& bus) {
  std::vector<int> runs;
  for (const auto& recorded : bus.requests()) {
    const int command = recorded.request.request & 0x0F;
    if (runs.empty() || runs.back() != command) runs.push_back(command);
  }
  return runs;
}

TEST(OperationQueue, StartUpLogsTheReadyLineAndEndsWithTheSuccessBeep) {
  Harness h;
  ASSERT_TRUE(h.Start());
  EXPECT_THAT(Unstamped(h.frontEnd.lines), ElementsAre("编程器:就绪."));
  EXPECT_THAT(h.frontEnd.tones, ElementsAre(device::kSuccessToneHz));
  EXPECT_TRUE(h.controller.Idle());
}

TEST(OperationQueue, AutoWithEveryBoxRunsTheTenOperationsInPriorityOrder) {
  Harness h;
  h.Start();
  h.frontEnd.autoBoxes = {true, true, true, true, true, true, true, true, true};
  h.frontEnd.tones.clear();
  h.Press(OperationButton::Auto);

  EXPECT_THAT(Unstamped(h.frontEnd.lines),
              ElementsAreArray<std::string>({
                  "擦除OK",
                  "FLASH编程开始",
                  "FLASH编程OK",
                  "FLASH读取开始",
                  "FLASH读取OK，显示在FLASH窗口页",
                  texts::kFlashVerifyBegin,
                  texts::Printf(texts::kVerifyCountPattern, 0),
                  texts::kFlashVerifyEnd,
                  "EEPROM编程开始",
                  "EEPROM编程OK",
                  "EEPROM读取开始",
                  "EEPROM读取OK，显示在EEPROM窗口页",
                  texts::kEepromVerifyBegin,
                  texts::Printf(texts::kVerifyCountPattern, 0),
                  texts::kEepromVerifyEnd,
                  "熔丝位编程OK",
                  "锁定位编程OK",
                  "熔丝与锁定位读取OK",
              }));
  EXPECT_THAT(h.frontEnd.tones, ElementsAre(device::kSuccessToneHz));
  EXPECT_EQ(h.frontEnd.fields[Field::FuseLock], "E1：99：FF：FF");
}

TEST(OperationQueue, AutoWithNoBoxClearsTheLogAndOnlyReadsFusesAndLock) {
  Harness h;
  h.Start();
  h.Press(OperationButton::Auto);
  EXPECT_THAT(Unstamped(h.frontEnd.lines), ElementsAre("熔丝与锁定位读取OK"));
  EXPECT_EQ(h.controller.log().logLineCount, 1);
}

TEST(OperationQueue, BurnWritesTheFusesAfterTheFlashVerify) {
  Harness h;
  h.Start();
  h.Press(OperationButton::Burn);
  using C = device::VendorCommand;
  auto n = [](C c) { return static_cast<int>(c); };
  EXPECT_THAT(CommandRuns(h.bus),
              ElementsAre(n(C::ReadSignature), n(C::ReadCalibration), n(C::EraseChip), n(C::WriteFlashPage),
                          n(C::Ready), n(C::ReadFlashPage), n(C::Ready), n(C::WriteFuses), n(C::WriteLock),
                          n(C::ReadFuseLock)));
  EXPECT_EQ(h.frontEnd.fields[Field::Signature], "1E：95：0F");
}

TEST(OperationQueue, WindowThreadChainsCompleteInsideTheFirstCallInExecutionOrder) {
  Harness h;
  h.Start();
  h.controller.pending().readSignature = 1;
  h.controller.pending().readCalibration = 1;
  h.controller.OnOperationButton(OperationButton::Erase);  // no event loop turn needed
  EXPECT_TRUE(h.controller.Idle());
  EXPECT_THAT(Unstamped(h.frontEnd.lines),
              ElementsAre("编程器:就绪.", "ID读取OK", "标定字节读取OK", "擦除OK", "熔丝与锁定位读取OK"));
}

TEST(OperationQueue, AClickDuringATransferIsRefusedOnceAndTheChainGoesOn) {
  Harness h;
  h.Start();
  h.frontEnd.tones.clear();
  h.controller.pending().readFuseLock = 1;
  bool clicked = false;
  h.onStatus = [&](std::uint32_t code, std::uint32_t) {
    if (code == device::status::PageWritten && !clicked) {
      clicked = true;
      const std::size_t before = h.frontEnd.pages.size();
      h.controller.OnOperationButton(OperationButton::ReadSignature);
      EXPECT_EQ(h.frontEnd.pages.size(), before + 1);
      EXPECT_EQ(h.frontEnd.pages.back(), image::LogPage);
    }
  };
  h.Press(OperationButton::WriteFlash);

  EXPECT_THAT(Unstamped(h.frontEnd.lines),
              ElementsAre("编程器:就绪.", "FLASH编程开始", "编程器忙，稍后再操作", "FLASH编程OK", "熔丝与锁定位读取OK"));
  EXPECT_EQ(h.frontEnd.lines[2], "编程器忙，稍后再操作");  // a plain line, no stamp
  EXPECT_THAT(h.frontEnd.tones, ElementsAre(device::kErrorToneHz, device::kSuccessToneHz));
  EXPECT_TRUE(h.frontEnd.fields.find(Field::Signature) == h.frontEnd.fields.end());
}

TEST(OperationQueue, SingleButtonsDoNotClearTheLog) {
  Harness h;
  h.Start();
  h.Press(OperationButton::ReadSignature);
  h.Press(OperationButton::ReadCalibration);
  EXPECT_THAT(Unstamped(h.frontEnd.lines), ElementsAre("编程器:就绪.", "ID读取OK", "标定字节读取OK"));
}

TEST(OperationQueue, AFailedVerifyInAChainBeepsAndTheNextOperationStillRuns) {
  Harness h;
  h.Start();
  h.controller.engine().flashImage[5] = 0x12;  // never written, so the verify differs
  h.frontEnd.autoBoxes.verifyFlash = true;
  h.frontEnd.autoBoxes.writeEeprom = true;
  h.frontEnd.tones.clear();
  h.Press(OperationButton::Auto);
  const auto lines = Unstamped(h.frontEnd.lines);
  EXPECT_EQ(lines[1], texts::kVerifyLengthMismatch);
  EXPECT_THAT(lines, ::testing::Contains("EEPROM编程OK"));
  EXPECT_THAT(h.frontEnd.tones, ElementsAre(device::kErrorToneHz, device::kSuccessToneHz));
}

TEST(OperationQueue, ATimeOutMidTransferEndsThatOperationAndTheChainContinues) {
  device::SimulatorOptions options;
  options.failAt = 3;  // the third page request of the FLASH write
  Harness h(options);
  h.Start();
  h.controller.engine().flashImage.assign(h.controller.engine().flashImage.size(), 0x00);
  h.frontEnd.autoBoxes.writeFlash = true;
  h.frontEnd.autoBoxes.readFlash = true;
  h.frontEnd.tones.clear();
  h.Press(OperationButton::Auto);

  const auto lines = Unstamped(h.frontEnd.lines);
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0], "FLASH编程开始");
  EXPECT_EQ(lines[1], "编程器接收数据超时.");
  EXPECT_EQ(lines[2], "通讯出错.");
  EXPECT_EQ(lines[3], "其它原因");
  EXPECT_EQ(lines[4], h.controller.engine().lastFailure.text);
  EXPECT_EQ(lines[5], "FLASH读取开始");
  EXPECT_EQ(h.frontEnd.ErrorBeeps(), 1);
}

TEST(OperationQueue, BadFuseTextIsRefusedWithoutARequestAndTheFuseReadStillRuns) {
  Harness h;
  h.Start();
  h.frontEnd.fuseText = "E1Z9FF";
  h.frontEnd.tones.clear();
  h.Press(OperationButton::WriteFuses);
  const auto lines = Unstamped(h.frontEnd.lines);
  EXPECT_THAT(lines, ::testing::Contains("其它原因"));
  EXPECT_EQ(lines.back(), "熔丝与锁定位读取OK");
  EXPECT_EQ(h.frontEnd.ErrorBeeps(), 1);
  for (const auto& recorded : h.bus.requests())
    EXPECT_NE(recorded.request.request & 0x0F, static_cast<int>(device::VendorCommand::WriteFuses));
}

TEST(DeviceArrival, IsDeferredUntilTheRunningTransferHasEnded) {
  Harness h;
  h.Start();
  int scansDuringTransfer = -1;
  const int scansBefore = h.bus.findDevicesCount();
  h.onStatus = [&](std::uint32_t code, std::uint32_t) {
    if (code == device::status::PageRead && scansDuringTransfer < 0) {
      h.controller.OnDeviceArrival();
      scansDuringTransfer = h.bus.findDevicesCount() - scansBefore;
    }
  };
  h.Press(OperationButton::ReadFlash);
  EXPECT_EQ(scansDuringTransfer, 0);
  EXPECT_EQ(h.bus.findDevicesCount() - scansBefore, 1);
  EXPECT_TRUE(h.frontEnd.messages.empty());
}

TEST(DeviceArrival, WithoutTheProgrammerShowsTheInsertMessage) {
  device::SimulatorOptions options;
  options.programmerPresent = false;
  Harness h(options);
  EXPECT_FALSE(h.Start());
  h.controller.OnDeviceArrival();
  ASSERT_EQ(h.frontEnd.messages.size(), 2u);
  EXPECT_EQ(h.frontEnd.messages[1], texts::InsertProgrammerMessage());
  EXPECT_TRUE(h.frontEnd.lines.empty());
}

TEST(DeviceArrival, AProgrammerThatCannotBeAccessedIsReportedWithTheRuleCommand) {
  device::SimulatorOptions options;
  device::SimulatedDevice programmer;
  programmer.accessDenied = true;
  options.busses = {{programmer}};
  Harness h(options);
  EXPECT_FALSE(h.Start());
  ASSERT_EQ(h.frontEnd.messages.size(), 1u);
  EXPECT_NE(h.frontEnd.messages[0].find(texts::UdevRuleCommand()), std::string::npos);
}

}  // namespace
}  // namespace kestrel::control::testing
