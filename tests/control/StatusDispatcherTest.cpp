#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <regex>

#include "ControlHarness.h"
#include "control/Texts.h"
#include "device/StatusCode.h"

namespace kestrel::control::testing {
namespace {

using ::testing::ElementsAre;

std::string Stamp(const std::string& line) { return line.substr(0, line.find("〗") + std::string("〗 ").size()); }

// A dispatch as it arrives at the end of an operation: busy set, maybe something pending.
void Dispatch(Harness& h, std::uint32_t code, std::uint32_t argument = 0) {
  h.controller.engine().busy = 1;
  h.controller.OnProgrammerStatus(code, argument);
}

TEST(StatusDispatcher, FieldsShowTheReplyBytesInCapitalsBeforeTheLine) {
  Harness h;
  auto& reply = h.controller.engine().response;
  reply[0] = 0x1e, reply[1] = 0x95, reply[2] = 0x0f;
  Dispatch(h, device::status::SignatureRead);
  EXPECT_EQ(h.frontEnd.fields[Field::Signature], "1E：95：0F");
  reply[0] = 0xa0, reply[1] = 0xb1, reply[2] = 0x9f, reply[3] = 0xc2;
  Dispatch(h, device::status::CalibrationRead);
  EXPECT_EQ(h.frontEnd.fields[Field::Calibration], "A0：B1：9F：C2");
  Dispatch(h, device::status::FuseLockRead);
  EXPECT_EQ(h.frontEnd.fields[Field::FuseLock], "A0：B1：9F：C2");
  EXPECT_THAT(Unstamped(h.frontEnd.lines), ElementsAre("ID读取OK", "标定字节读取OK", "熔丝与锁定位读取OK"));
}

TEST(StatusDispatcher, ATimeOutGivesThreeLinesWithOneStampOneBeepAndTheChainGoesOn) {
  Harness h;
  h.Start();
  h.controller.log().ClearLog();
  h.frontEnd.tones.clear();
  h.controller.pending().readSignature = 1;
  h.controller.engine().lastFailure.text = "通讯失败：测试";
  Dispatch(h, device::status::ReceiveTimeout);
  const auto& lines = h.frontEnd.lines;
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_THAT(Unstamped({lines[0], lines[1], lines[2]}),
              ElementsAre("编程器接收数据超时.", "通讯出错.", "其它原因"));
  EXPECT_EQ(Stamp(lines[0]), Stamp(lines[1]));
  EXPECT_EQ(Stamp(lines[1]), Stamp(lines[2]));
  EXPECT_EQ(lines[3], "通讯失败：测试");
  EXPECT_EQ(Unstamped({lines[4]})[0], "ID读取OK");
  EXPECT_EQ(h.frontEnd.ErrorBeeps(), 1);
}

TEST(StatusDispatcher, FailureCodesBeepAndPassCodesStaySilent) {
  struct Case {
    std::uint32_t code;
    std::vector<std::string> lines;
    int errorBeeps;
  };
  const std::vector<Case> cases = {
      {device::status::CommunicationError, {"通讯出错.", "其它原因"}, 1},
      {device::status::FlashVerifyFailed, {}, 1},
      {device::status::EepromVerifyFailed, {}, 1},
      {device::status::FlashVerified, {}, 0},
      {device::status::EepromFileSaved, {}, 0},
      {119, {"其它原因"}, 1},
      {8, {"其它原因"}, 1},
      {110, {"其它原因"}, 1},
      {device::status::Refused, {"其它原因"}, 1},
  };
  for (const Case& c : cases) {
    Harness h;
    Dispatch(h, c.code);
    EXPECT_EQ(Unstamped(h.frontEnd.lines), c.lines) << c.code;
    EXPECT_EQ(h.frontEnd.ErrorBeeps(), c.errorBeeps) << c.code;
    EXPECT_TRUE(h.controller.Idle()) << c.code;
    EXPECT_EQ(h.frontEnd.SuccessBeeps(), 1) << c.code;  // nothing pending: the queue ends
  }
}

TEST(StatusDispatcher, ProgressRunsFromZeroToAHundredAndKeepsTheMarkBusy) {
  Harness h;
  h.controller.engine().pageTotal = 128;
  for (std::uint32_t index : {0u, 64u, 127u}) Dispatch(h, device::status::PageWritten, index);
  h.controller.engine().pageTotal = 1;
  Dispatch(h, device::status::PageRead, 0);
  h.controller.engine().pageTotal = 0;  // never sent, but must not divide by zero
  Dispatch(h, device::status::PageRead, 0);
  EXPECT_THAT(h.frontEnd.progress, ElementsAre(0, 50, 100, 100, 0));
  EXPECT_FALSE(h.controller.Idle());
  EXPECT_TRUE(h.frontEnd.lines.empty());
}

TEST(StatusDispatcher, AFinishedReadBindsTheReadBackDataAndBringsItsPageForward) {
  Harness h;
  auto& engine = h.controller.engine();
  engine.flashReadback[0] = 0x42;
  engine.eepromReadback[63] = 0x17;
  Dispatch(h, device::status::FlashRead);
  ASSERT_EQ(h.frontEnd.flashView.bytes.size(), 1024u);
  EXPECT_EQ(h.frontEnd.flashView.bytes[0], 0x42);
  EXPECT_EQ(h.frontEnd.pages.back(), image::FlashPage);
  Dispatch(h, device::status::EepromRead);
  ASSERT_EQ(h.frontEnd.eepromView.bytes.size(), 64u);
  EXPECT_EQ(h.frontEnd.eepromView.bytes[63], 0x17);
  EXPECT_EQ(h.frontEnd.pages.back(), image::EepromPage);
  // the line comes first, then the page switch, so the data page ends in front
  const auto& trace = h.frontEnd.trace;
  const auto line = std::find(trace.begin(), trace.end(), "line " + h.frontEnd.lines.back());
  ASSERT_NE(line, trace.end());
  EXPECT_EQ(*std::next(line), "page 1");
}

TEST(ActivityLog, LinesKeepTheirOrderTheLastIsSelectedAndClearingRestartsAtZero) {
  Harness h;
  ActivityLog& log = h.controller.log();
  h.frontEnd.ShowPage(image::FlashPage);
  log.AppendLog("b");
  log.AppendLog("a");
  log.InsertLogLine("c");
  EXPECT_THAT(h.frontEnd.lines, ElementsAre("b", "a", "c"));
  EXPECT_EQ(h.frontEnd.selected, 1);  // the quiet insert selects nothing
  EXPECT_EQ(log.logLineCount, 3);
  EXPECT_EQ(h.frontEnd.pages.back(), image::LogPage);
  log.ClearLog();
  log.AppendLog("d");
  EXPECT_THAT(h.frontEnd.lines, ElementsAre("d"));
  EXPECT_EQ(h.frontEnd.selected, 0);
}

TEST(ActivityLog, TheTimeStampKeepsItsFormUnderAnyLocale) {
  std::tm time{};
  time.tm_year = 126, time.tm_mon = 11, time.tm_mday = 6;
  time.tm_hour = 3, time.tm_min = 52, time.tm_sec = 45;
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  for (const char* locale : {"C", "C.UTF-8", "en_US.UTF-8", "de_DE.UTF-8", "zh_CN.UTF-8"}) {
    if (!std::setlocale(LC_ALL, locale)) continue;
    EXPECT_EQ(FormatTimeStamped(texts::kFlashWrittenLine, time), "〖26/12/06 03:52:45〗 FLASH编程OK") << locale;
  }
  std::setlocale(LC_ALL, saved.c_str());
}

}  // namespace
}  // namespace kestrel::control::testing
