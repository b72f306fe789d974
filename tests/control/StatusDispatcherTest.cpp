// What the user reads: the dispatcher's lines for each status code, the wording of the facts
// that lower layers report, and the time stamp.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <clocale>

#include "CoreRig.h"
#include "base/Texts.h"
#include "control/StatusDispatcher.h"
#include "control/StatusTable.h"
#include "control/Wording.h"

namespace kestrel::control {
namespace {

using device::Status;

TEST(StatusDispatcher, EachCodeGivesItsLinesAndPageAndOnlyFailuresBeep) {
  const std::string link = texts::kNoProgrammerOpen;  // the failure a link-failure code words
  struct Case {
    Status code;
    std::vector<std::string> lines;
    int failures = 0;
    int page = LogPage;  // in front afterwards
  } const cases[] = {
      {Status::Ready, {"编程器:就绪."}},
      {Status::CommunicationError, {"通讯出错.", "其它原因", link}, 1},
      {Status::ReceiveTimeout, {"编程器接收数据超时.", "通讯出错.", "其它原因", link}, 1},
      {Status::FlashRead,
       {"FLASH读取OK，显示在FLASH窗口页", "FLASH CRC-32：00000000（0字节）"},
       0,
       FlashPage},
      {Status::EepromRead,
       {"EEPROM读取OK，显示在EEPROM窗口页", "EEPROM CRC-32：00000000（0字节）"},
       0,
       EepromPage},
      {Status::FlashVerified, {}, 0, -1},
      {Status::FlashVerifyFailed, {}, 1, -1},
      {Status::EepromVerifyFailed, {}, 1, -1},
      {Status::Refused, {"其它原因"}, 1},
      {static_cast<Status>(199), {"其它原因"}, 1},  // a code of no entry
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<std::uint32_t>(c.code));
    CoreRig rig;
    rig.engine.ReadSignature();
    EXPECT_TRUE(rig.dispatcher.Dispatch(c.code, 0));
    EXPECT_EQ(support::Unstamped(rig.lines()), c.lines);
    EXPECT_EQ(rig.failures, c.failures);
    EXPECT_EQ(rig.frontEnd.pages.empty() ? -1 : rig.frontEnd.pages.back(), c.page);
    if (c.page == FlashPage || c.page == EepromPage) {  // the read-back over the chip's size
      const bool flash = c.page == FlashPage;
      const auto& view = flash ? rig.frontEnd.flashView : rig.frontEnd.eepromView;
      EXPECT_EQ(view.buffer(), &rig.memories[flash ? MemoryKind::Flash : MemoryKind::Eeprom].readback);
      EXPECT_EQ(view.length(), flash ? 1024u : 64u);
    }
  }
}

// The check value of CRC-32 is that of "123456789"; the 0xFF after the last used byte stay out.
TEST(StatusDispatcher, AReadLogsTheCrcOfTheUsedBytes) {
  CoreRig rig;
  std::uint8_t* const readback = rig.memories[MemoryKind::Flash].readback.Use(1024);
  std::fill_n(std::copy_n("123456789", 9, readback), 1024 - 9, 0xFF);
  rig.dispatcher.Dispatch(Status::FlashRead, 0);
  EXPECT_EQ(rig.lines().back(), "FLASH CRC-32：CBF43926（9字节）");
}

// A code left out of the table would read as "其它原因" with the error beep.
TEST(StatusTable, EveryStatusHasItsOwnEntry) {
  const StatusEntry& unknown = FindStatus(static_cast<Status>(199));
  for (const Status code : device::kAllStatuses) {
    const StatusEntry& entry = FindStatus(code);
    EXPECT_TRUE(&entry != &unknown && entry.code == code) << static_cast<std::uint32_t>(code);
  }
}

TEST(StatusDispatcher, ProgressMovesTheBarFromTheFirstPageAtZeroToTheLastAtAHundred) {
  const int positions[] = {ProgressPosition(0, 128), ProgressPosition(64, 128), ProgressPosition(127, 128),
                           ProgressPosition(0, 1)};
  EXPECT_THAT(positions, ::testing::ElementsAre(0, 50, 100, 100));
  EXPECT_EQ(HasFailure() ? 0 : ProgressPosition(0, 0), 0);  // never sent; a wrong formula may divide by 0
}

TEST(Wording, ALinkFailureNamesTheRequestItsPageAndWhatTheBusSaid) {
  using device::VendorCommand;
  const std::pair<device::LinkFailure, std::string> cases[] = {
      {{VendorCommand::WriteFlashPage, 3, false, -ENODEV, 0},
       "通讯失败：写FLASH 第 3 页，libusb 错误 -19（No such device）"},
      {{VendorCommand::ReadEepromPage, 1, false, 2, 4},
       "通讯失败：读EEPROM 第 1 页，只传送了2字节（应为4字节）"},
      {{VendorCommand::Ready, 0, false, -EPIPE, 8}, "通讯失败：结束传送，libusb 错误 -32（Broken pipe）"},
      {{VendorCommand::Unlock, 0, false, -EPERM, 8}, AccessDeniedLine()},
  };
  for (const auto& [failure, line] : cases) EXPECT_EQ(LinkFailureLine(failure), line);
}

TEST(ActivityLog, TheTimeStampKeepsItsTwentyFourHourFormUnderAnyLocale) {
  std::tm time{};
  ::strptime("2026-12-06 15:04:05", "%Y-%m-%d %H:%M:%S", &time);
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  for (const char* locale : {"C", "C.UTF-8", "en_US.UTF-8", "de_DE.UTF-8", "zh_CN.UTF-8"}) {
    if (!std::setlocale(LC_ALL, locale)) continue;
    EXPECT_EQ(FormatTimeStamped(texts::kFlashWrittenLine.c_str(), time), "〖26/12/06 15:04:05〗 FLASH编程OK")
        << locale;
  }
  std::setlocale(LC_ALL, saved.c_str());
}

}  // namespace
}  // namespace kestrel::control
