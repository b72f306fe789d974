#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/Texts.h"
#include "control/ProgrammerController.h"
#include "control/Wording.h"
#include "device/StatusCode.h"
#include "device/sim/SimulatedBus.h"
#include "support/DeviceSupport.h"
#include "support/FrontEndFakes.h"

namespace kestrel::control {
namespace {

using ::testing::ElementsAre;

// The controller over the simulated programmer, driven as a front end drives it.
struct Harness {
  explicit Harness(device::SimulatorOptions options = {}) : bus(std::move(options)) {
    channel.blocking.SetHandler([this](device::Status code, std::uint32_t argument) {
      channel.Handled();
      if (onStatus) onStatus(code, argument);
      controller.OnProgrammerStatus(code, argument);
    });
  }
  ~Harness() {
    onStatus = nullptr;
    channel.Close();
  }
  bool Start() {
    controller.BindImageViews();
    return controller.ProbeProgrammer();
  }
  // A button press, then the event loop until the operations have ended.
  void Press(OperationButton button) {
    controller.Start(frontEnd.Request(button));
    channel.blocking.PumpUntil([this] { return controller.Idle(); });
  }
  unsigned Failures() const {
    unsigned failures = 0;
    for (const Outcome& outcome : frontEnd.outcomes) failures += static_cast<unsigned>(outcome.failures);
    return failures;
  }
  std::vector<std::string> Lines() const { return support::Unstamped(frontEnd.log.lines); }

  device::SimulatedBus bus;
  support::FakeFrontEnd frontEnd;
  support::GatedChannel channel;
  ProgrammerController controller{bus, frontEnd, channel};
  // Runs on the front end's thread before each dispatch: where a test clicks mid-chain.
  std::function<void(device::Status, std::uint32_t)> onStatus;
};

TEST(ProgrammerController, AutoWithEveryBoxProgramsTheChipRefusingAClickAndDeferringAnArrival) {
  Harness h;
  ASSERT_TRUE(h.Start());
  auto& memories = h.controller.memories();
  for (int i = 0; i < 1024; ++i) memories[MemoryKind::Flash].image[i] = static_cast<std::uint8_t>(i * 7);
  memories[MemoryKind::Flash].imageLoaded = memories[MemoryKind::Eeprom].imageLoaded = true;
  h.frontEnd.fuseText = "62D9FF";
  h.frontEnd.lockText = "3C";
  h.frontEnd.autoBoxes = {true, true, true, true, true, true, true, true, true};
  h.frontEnd.tones.tones.clear();
  const int scans = h.bus.findDevicesCount();
  int clicks = 0, scansDuringRead = -1;  // a click during the FLASH write, an arrival during the read
  h.onStatus = [&](device::Status code, std::uint32_t) {
    if (code == device::Status::PageWritten && clicks++ == 0)
      h.controller.Start(h.frontEnd.Request(OperationButton::Erase));
    if (code != device::Status::PageRead || scansDuringRead >= 0) return;
    h.controller.OnDeviceArrival();
    scansDuringRead = h.bus.findDevicesCount() - scans;
  };
  h.Press(OperationButton::Auto);

  const std::string passed = "共发现     0个单元不对!";
  EXPECT_EQ(h.Lines(), std::vector<std::string>({"擦除OK",
                                                 "FLASH编程开始",
                                                 "编程器忙，稍后再操作",
                                                 "FLASH编程OK",
                                                 "FLASH读取开始",
                                                 "FLASH读取OK，显示在FLASH窗口页",
                                                 "FLASH CRC-32：28D29E67（1024字节）",
                                                 texts::kFlashVerifyBegin,
                                                 passed,
                                                 texts::kFlashVerifyEnd,
                                                 "EEPROM编程开始",
                                                 "EEPROM编程OK",
                                                 "EEPROM读取开始",
                                                 "EEPROM读取OK，显示在EEPROM窗口页",
                                                 "EEPROM CRC-32：00000000（0字节）",
                                                 texts::kEepromVerifyBegin,
                                                 passed,
                                                 texts::kEepromVerifyEnd,
                                                 "熔丝位编程OK",
                                                 "锁定位编程OK",
                                                 "熔丝与锁定位读取OK"}));
  const auto& chip = h.bus.programmer();
  EXPECT_TRUE(
      std::equal(chip.flash.begin(), chip.flash.begin() + 1024, memories[MemoryKind::Flash].image.begin()));
  EXPECT_EQ(h.frontEnd.fields[Field::FuseLock], "62：D9：FF：3C");
  const auto& bar = h.frontEnd.progress;
  EXPECT_EQ(std::count(bar.begin(), bar.end(), 100), 4);  // the last page of each transfer
  EXPECT_EQ(h.frontEnd.tones.ErrorBeeps(), 1);            // the refused click
  EXPECT_EQ(h.frontEnd.tones.SuccessBeeps(), 1);
  EXPECT_TRUE(h.frontEnd.outcomes.back().passed);  // the click failed, not the run
  EXPECT_EQ(scansDuringRead, 0);                   // the rescan waits until the transfer has ended
  EXPECT_EQ(h.bus.findDevicesCount() - scans, 1);
}

// What the plan check finds refuses the run before its first request; a step refused on its way
// ends the run there.
TEST(ProgrammerController, ARefusedStepEndsTheRunAndTheClosingLineNamesTheCause) {
  const std::string catalogue = ::testing::TempDir() + "kestrel-chip-" + std::to_string(::getpid()) + ".txt";
  std::ofstream(catalogue) << "Wide|16:16|16:8<";  // EEPROM pages of 8 bytes
  const std::pair<AutoSelection, std::vector<std::string>> cases[] = {
      {{.writeFuses = true},
       {"熔丝位文本“E1Z9FF”无效：需要6个十六进制数字（低 高 扩），未写入",
        "运行未开始：输入被拒绝，未向芯片发送任何内容"}},
      {{.writeEeprom = true, .readEeprom = true},
       {"所选器件的EEPROM页为8字节，编程器每页只能传送4字节，EEPROM编程未进行",
        "运行未开始：输入被拒绝，未向芯片发送任何内容"}},
      {{.writeLock = true},
       {"锁定位文本“F”无效：需要2个十六进制数字，未写入", "运行未开始：输入被拒绝，未向芯片发送任何内容"}},
      {{.writeFlash = true, .verifyFlash = true},
       {"FLASH窗口页没有载入文件，FLASH编程未进行", "芯片的FLASH数据未（完整）读出，不能校验",
        "运行未开始：输入被拒绝，未向芯片发送任何内容"}},
  };
  for (const auto& [boxes, lines] : cases) {
    Harness h;
    ASSERT_TRUE(h.controller.LoadCatalogue({catalogue}).loaded);
    h.controller.OnChipSelChange(0);
    h.Start();
    h.frontEnd.fuseText = "E1Z9FF";
    h.frontEnd.lockText = "F";
    h.controller.memories()[MemoryKind::Eeprom].imageLoaded = true;
    h.frontEnd.autoBoxes = boxes;
    h.bus.ClearRequests();
    h.Press(OperationButton::Auto);
    EXPECT_EQ(h.Lines(), lines);
    EXPECT_EQ(h.frontEnd.tones.ErrorBeeps(), 1) << lines[0];
    const Outcome& outcome = h.frontEnd.outcomes.back();
    EXPECT_EQ(outcome.failures, 1) << lines[0];
    EXPECT_EQ(outcome.cause, Cause::RefusedInput);
    EXPECT_TRUE(outcome.sentNothing) << lines[0];
    EXPECT_TRUE(support::Requests(h.bus).empty()) << lines[0];
  }
  std::remove(catalogue.c_str());
}

TEST(ProgrammerController, OnlyAReadThatCompletedEveryPageCanBeVerified) {
  Harness h;
  ASSERT_TRUE(h.Start());
  h.Press(OperationButton::ReadFlash);
  h.Press(OperationButton::VerifyFlash);
  EXPECT_EQ(h.Lines().end()[-2], "共发现     0个单元不对!");
  h.bus.InjectFaults(3, 0);  // the next read fails part-way, its first pages already copied
  h.Press(OperationButton::ReadFlash);
  h.Press(OperationButton::VerifyFlash);
  EXPECT_EQ(h.Lines().end()[-2], "芯片的FLASH数据未（完整）读出，不能校验");
  EXPECT_EQ(h.Failures(), 2u);
  // Nor does a read-back that a write of the same run has made stale.
  h.Press(OperationButton::ReadFlash);
  h.controller.memories()[MemoryKind::Flash].image[3] = 0x12;
  h.controller.memories()[MemoryKind::Flash].imageLoaded = true;
  h.frontEnd.autoBoxes = {.writeFlash = true, .verifyFlash = true};
  h.bus.ClearRequests();
  h.Press(OperationButton::Auto);
  EXPECT_TRUE(support::Requests(h.bus).empty());
  EXPECT_EQ(h.frontEnd.outcomes.back().cause, Cause::RefusedInput);
  h.Press(OperationButton::WriteFlash);  // the same in runs of their own
  h.Press(OperationButton::VerifyFlash);
  EXPECT_TRUE(h.frontEnd.outcomes.back().sentNothing);
}

// An edit in a view writes into the buffer it shows: into the image, which the next write
// sends; into a read-back, which then no longer counts as the chip's.
TEST(ProgrammerController, AViewEditReachesTheChipOnTheNextWrite) {
  Harness h;
  ASSERT_TRUE(h.Start());
  h.controller.memories()[MemoryKind::Flash].imageLoaded = true;
  h.frontEnd.flashView.Edit(5, 0x12);
  h.Press(OperationButton::WriteFlash);
  EXPECT_EQ(h.bus.programmer().flash[5], 0x12);
  h.Press(OperationButton::ReadFlash);
  h.frontEnd.flashView.Edit(6, 0x34);
  h.Press(OperationButton::VerifyFlash);
  EXPECT_EQ(h.Lines().end()[-2], "芯片的FLASH数据未（完整）读出，不能校验");
}

// Whole-chip files through the controller: a backup restored onto an erased chip backs up
// byte for byte the same, and what must not be written is refused.
TEST(ProgrammerController, BackupEraseRestoreBackupGivesTheSameFile) {
  Harness h;
  ASSERT_TRUE(h.controller.LoadCatalogue({KESTREL_SOURCE_DIR "/data/chip.txt"}).loaded);
  h.controller.OnChipSelChange(54);
  ASSERT_EQ(h.controller.SelectedFacts()->name, "ATmega328P");
  ASSERT_TRUE(h.Start());
  auto& chip = h.bus.programmer();
  for (int i = 0; i < 3000; ++i) chip.flash[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 13);
  chip.eeprom[7] = 0x42;
  const std::string dir = ::testing::TempDir() + "kestrel-whole-" + std::to_string(::getpid());
  std::filesystem::create_directories(dir);
  std::ofstream(dir + "/tiny85.hex") << ":020000000C945E\n:02000004008476\n:030000000B931E41\n:00000001FF\n";
  // Only the low fuse byte: the others would be written as FF.
  std::ofstream(dir + "/short.hex")
      << ":02000004008278\n:01000000E21D\n:02000004008476\n:030000000F951E3B\n:00000001FF\n";
  h.frontEnd.answers = {dir + "/1.hex", dir + "/1.hex", dir + "/2.hex", dir + "/tiny85.hex"};
  h.Press(OperationButton::Backup);
  h.Press(OperationButton::Erase);
  h.Press(OperationButton::Restore);
  h.Press(OperationButton::Backup);
  EXPECT_EQ(h.Failures(), 0u);
  std::ifstream one(dir + "/1.hex"), two(dir + "/2.hex");
  const std::string first{std::istreambuf_iterator<char>(one), {}};
  EXPECT_EQ(first, std::string(std::istreambuf_iterator<char>(two), {}));
  EXPECT_NE(first.find(":0300000062D9FF"), std::string::npos);  // the fuses, at 0x820000
  EXPECT_EQ(h.Lines().end()[-1].rfind("备份保存到文件 " + dir + "/2.hex：FLASH 3000字节、EEPROM 8字节", 0),
            0u);

  h.Press(OperationButton::Restore);  // made for an ATtiny85: refused before anything is sent
  EXPECT_THAT(
      h.Lines(),
      ::testing::Contains("文件 tiny85.hex 的签名 1E 93 0B 与所选器件 ATmega328P（1E 95 0F）不符，未读入"));
  h.frontEnd.answers.push_back(dir + "/short.hex");
  h.bus.ClearRequests();
  h.Press(OperationButton::Restore);
  EXPECT_THAT(h.Lines(),
              ::testing::Contains(
                  "文件 short.hex 的熔丝区只有1字节，器件 ATmega328P 有3个熔丝字节；文件不完整，不能使用"));
  EXPECT_TRUE(support::Requests(h.bus).empty());
  chip.lock = 0xFC;  // read-back disabled: no backup rather than one full of 0xFF
  h.frontEnd.answers.push_back(dir + "/3.hex");
  h.Press(OperationButton::Backup);
  EXPECT_EQ(h.Lines().end()[-3], "锁定位 FC 禁止读出芯片数据：备份未进行，没有写入文件");
  EXPECT_FALSE(std::filesystem::exists(dir + "/3.hex"));
  h.Press(OperationButton::Restore);  // no file chosen: cancelled, and the chip is not erased
  EXPECT_EQ(h.frontEnd.outcomes.back().cause, Cause::Cancelled);
  EXPECT_EQ(h.Failures(), 3u);
  EXPECT_EQ(chip.flash[1], 13) << "nothing was erased";
  h.frontEnd.answers.resize(h.frontEnd.dialogs.size());  // a click refused mid-way leaves the restore going
  h.frontEnd.answers.push_back(dir + "/1.hex");
  h.onStatus = [&](device::Status code, std::uint32_t) {
    if (code == device::Status::Erased)
      h.controller.Start(h.frontEnd.Request(OperationButton::ReadSignature));
  };
  h.Press(OperationButton::Restore);
  EXPECT_EQ(h.Lines().end()[-1], "恢复OK");
  EXPECT_EQ(chip.flash[1], 13);
  std::filesystem::remove_all(dir);
}

// With fast verify, the read before the verify of an Auto run whose erase succeeded stops after
// the written pages and leaves 0xFF (not the last read's bytes) in the rest; a run without an
// erase or a verify, and a burn, read the whole chip. A byte written wrong is still found.
TEST(ProgrammerController, FastVerifyReadsOnlyTheWrittenPagesAfterAnErase) {
  const AutoSelection all{.eraseChip = true, .writeFlash = true, .readFlash = true, .verifyFlash = true};
  AutoSelection noErase = all, noVerify = all;
  noErase.eraseChip = noVerify.verifyFlash = false;
  using enum OperationButton;
  const std::tuple<bool, OperationButton, AutoSelection, long> cases[] = {{true, Auto, all, 3},
                                                                          {false, Auto, all, 32},
                                                                          {true, Auto, noErase, 32},
                                                                          {true, Auto, noVerify, 32},
                                                                          {true, Burn, {}, 32}};
  for (const auto& [fast, button, boxes, pagesRead] : cases) {
    Harness h;
    ASSERT_TRUE(h.Start());
    h.frontEnd.fastVerify = fast;
    h.frontEnd.autoBoxes = {.eraseChip = true};  // an erase in an earlier run counts for nothing
    h.Press(OperationButton::Auto);
    auto& chip = h.bus.programmer();
    chip.flash.assign(chip.flash.size(), 0x00);
    h.Press(OperationButton::ReadFlash);
    h.controller.memories()[MemoryKind::Flash].image[70] = 0x12;  // three pages of 32 bytes
    h.controller.memories()[MemoryKind::Flash].imageLoaded = true;
    h.onStatus = [&](device::Status code, std::uint32_t) {
      if (code == device::Status::FlashWritten) chip.flash[70] = 0x10;
    };
    h.bus.ClearRequests();
    h.frontEnd.autoBoxes = boxes;
    h.Press(button);
    const auto requests = support::Requests(h.bus);
    EXPECT_EQ(
        std::count_if(requests.begin(), requests.end(), [](auto& r) { return (r.request & 0x0F) == 10; }),
        pagesRead);
    const std::vector<std::string> lines = h.Lines();
    const std::string fastLine = "快速校验：只读取写入过的 3 页（共 32 页），其余按擦除后的 FF 比较";
    EXPECT_EQ(std::count(lines.begin(), lines.end(), fastLine), pagesRead == 3 ? 1 : 0);
    if (pagesRead != 3) continue;
    EXPECT_EQ(lines[3] + lines[4], "FLASH读取开始" + fastLine);  // the read's start line, then it
    EXPECT_THAT(lines, ::testing::Contains("共发现     1个单元不对!"));
  }
  // An erase that failed leaves the chip as it was: the read before the verify covers it all.
  Harness h;
  ASSERT_TRUE(h.Start());
  h.frontEnd.fastVerify = true;
  h.controller.memories()[MemoryKind::Flash].image[70] = 0x12;
  h.controller.memories()[MemoryKind::Flash].imageLoaded = true;
  h.frontEnd.autoBoxes = all;
  h.bus.InjectFaults(1, 0);
  h.bus.ClearRequests();
  h.Press(OperationButton::Auto);
  const auto requests = support::Requests(h.bus);
  EXPECT_EQ(std::count_if(requests.begin(), requests.end(), [](auto& r) { return (r.request & 0x0F) == 10; }),
            32);
  EXPECT_EQ(h.frontEnd.outcomes.back().cause, Cause::TimeOut);
}

// A file that holds only FLASH restores only FLASH, says what it left alone, and is done.
TEST(ProgrammerController, ARestoreSaysWhatTheFileLeftAlone) {
  Harness h;
  ASSERT_TRUE(h.controller.LoadCatalogue({KESTREL_SOURCE_DIR "/data/chip.txt"}).loaded);
  h.controller.OnChipSelChange(chips::FindChip(h.controller.catalogue(), "ATmega328P"));
  ASSERT_TRUE(h.Start());
  const std::string file = ::testing::TempDir() + "kestrel-flash-only-" + std::to_string(::getpid()) + ".hex";
  std::ofstream(file) << ":020000000C945E\n:02000004008476\n:030000000F951E3B\n:00000001FF\n";
  h.frontEnd.answers = {file};
  h.Press(OperationButton::Restore);
  EXPECT_THAT(h.Lines(), ::testing::IsSupersetOf({"文件中没有EEPROM、熔丝位、锁定位：恢复不写入这些",
                                                  "擦除清空了EEPROM（EESAVE已编程时保留）", "恢复OK"}));
  EXPECT_EQ(h.bus.programmer().flash[1], 0x94);
  EXPECT_TRUE(h.frontEnd.outcomes.back().passed);
  std::remove(file.c_str());
}

// Stop ends the transfer after its page, fails the run with its own cause and drops the rest.
TEST(ProgrammerController, AStoppedTransferFailsTheRunAndDropsTheRest) {
  Harness h;
  ASSERT_TRUE(h.Start());
  h.onStatus = [&](device::Status code, std::uint32_t page) {
    if (code == device::Status::PageRead && page == 2) h.controller.StopTransfer();
  };
  h.frontEnd.autoBoxes = {.readFlash = true, .readEeprom = true};
  h.Press(OperationButton::Auto);
  const Outcome& outcome = h.frontEnd.outcomes.back();
  EXPECT_EQ(outcome.cause, Cause::Stopped);
  EXPECT_EQ(outcome.failedAt, Operation::ReadFlash);
  EXPECT_EQ(outcome.failures, 1);
  EXPECT_THAT(h.Lines(), ::testing::Not(::testing::Contains("EEPROM读取开始")));
}

// A blank check passes only on 0xFF throughout; a chip that is not blank has both memories
// named before the run fails, so that nothing written after it in a run reaches the chip.
TEST(ProgrammerController, ABlankCheckNamesTheFirstByteNotFFAndHowManyAreNot) {
  Harness h;
  ASSERT_TRUE(h.Start());
  h.Press(OperationButton::BlankCheck);
  EXPECT_TRUE(h.frontEnd.outcomes.back().passed);
  EXPECT_THAT(h.Lines(), ::testing::IsSupersetOf(
                             {"FLASH空白检查通过：1024字节全为FF", "EEPROM空白检查通过：64字节全为FF"}));
  device::SimulatedProgrammer& chip = h.bus.programmer();
  chip.flash.data()[0x105] = chip.flash.data()[0x3FF] = 0x00;
  chip.eeprom.data()[63] = 0xFE;
  chip.flash.data()[0x400] = 0x00;  // beyond the chip's 1 KiB: not read
  h.Press(OperationButton::BlankCheck);
  const Outcome& outcome = h.frontEnd.outcomes.back();
  EXPECT_EQ(outcome.cause, Cause::NotBlank);
  EXPECT_THAT(h.Lines(),
              ::testing::IsSupersetOf({"FLASH空白检查失败：首个非空白地址 0x00105，共2字节不为FF",
                                       "EEPROM空白检查失败：首个非空白地址 0x0003F，共1字节不为FF"}));
}

TEST(ProgrammerController, AProgrammerItMayNotOpenIsReportedWithTheRuleToInstall) {
  device::SimulatorOptions denied;
  denied.busses = {{device::SimulatedDevice{.accessDenied = true}}};
  Harness h(denied);
  EXPECT_FALSE(h.Start());
  EXPECT_THAT(h.frontEnd.messages, ElementsAre(AccessDeniedLine()));
}

}  // namespace
}  // namespace kestrel::control
