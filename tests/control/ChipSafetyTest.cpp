#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <tuple>

#include "base/Texts.h"
#include "chips/ChipCatalogue.h"
#include "control/ProgrammerController.h"
#include "device/StatusCode.h"
#include "support/DeviceSupport.h"
#include "support/FrontEndFakes.h"

namespace kestrel::control {
namespace {

using ::testing::Contains;
using ::testing::IsSupersetOf;

// The controller with the shipped catalogue and chip facts over a simulated chip, started in
// `mode` as a front end starts it.
struct Rig {
  explicit Rig(const device::SimulatedChip& chip = {}, device::ProgrammingMode mode = {}) {
    bus.programmer() = device::SimulatedProgrammer(chip);
    channel.blocking.SetHandler([this](device::Status code, std::uint32_t argument) {
      channel.Handled();
      if (onStatus) onStatus(code);
      controller.OnProgrammerStatus(code, argument);
    });
    controller.LoadCatalogue({KESTREL_SOURCE_DIR "/data/chip.txt"});
    controller.SetMode(mode);
    controller.BindImageViews();
    controller.ProbeProgrammer();
  }
  ~Rig() { channel.Close(); }
  void Select(const std::string& name) {
    controller.OnChipSelChange(chips::FindChip(controller.catalogue(), name));
  }
  void Press(OperationButton button) {
    controller.Start(frontEnd.Request(button));
    channel.blocking.PumpUntil([this] { return controller.Idle(); });
  }
  // The commands (the low nibble of the request byte) the chip was sent.
  std::string Commands() const {
    std::string commands;
    for (const auto& request : support::Requests(bus))
      commands += std::to_string(request.request & 0x0F) + " ";
    return commands.substr(0, commands.empty() ? 0 : commands.size() - 1);
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
  std::function<void(device::Status code)> onStatus;  // before each code is handled
};

const device::SimulatedChip kAtmega8{.signature = {0x1E, 0x93, 0x07}, .fuses = {0xE1, 0xD9, 0xFF}};

// A signature shared by a group names the whole group and picks its first chip; one the facts
// do not know fails the operation.
TEST(ChipSafety, IdentifyNamesTheGroupAndPicksItsFirstChipOrFailsOnAnUnknownSignature) {
  const std::tuple<std::array<std::uint8_t, 3>, std::string, std::string> cases[] = {
      {{0x1E, 0x93, 0x07}, "ATmega8,ATmega8A", "识别芯片：ATmega8/ATmega8A（签名 1E 93 07）"},
      {{0x1E, 0x00, 0x00}, "", "签名 1E 00 00 不属于器件资料中的任何芯片"},
  };
  for (const auto& [signature, group, line] : cases) {
    Rig rig({.signature = signature});
    rig.Press(OperationButton::Identify);
    EXPECT_EQ(rig.frontEnd.fields[Field::Chip], group);
    EXPECT_THAT(rig.Lines(), Contains(line));
    const chips::ChipFacts* picked = rig.controller.SelectedFacts();
    EXPECT_EQ(picked != nullptr ? picked->name : "", group.empty() ? "" : "ATmega8");
    EXPECT_EQ(rig.Failures(), group.empty() ? 1u : 0u);
  }
}

// Another chip in the socket of a selected ATmega328P: its signature is read and nothing else
// is sent, unless the check is off. All three bytes count, and a restore checks always.
TEST(ChipSafety, TheSignatureCheckSendsNothingToAnotherChipUnlessSwitchedOff) {
  const std::string file = ::testing::TempDir() + "kestrel-m328p-" + std::to_string(::getpid()) + ".hex";
  std::ofstream(file) << ":020000000C945E\n:02000004008476\n:030000000F951E3B\n:00000001FF\n";
  const device::SimulatedChip sameFamily{.signature = {0x1E, 0x95, 0x02}};
  const std::tuple<device::SimulatedChip, bool, OperationButton, std::string, std::string> cases[] = {
      {kAtmega8, true, OperationButton::Erase, "3", "1E 93 07"},
      {kAtmega8, false, OperationButton::Erase, "2 5", ""},
      {sameFamily, true, OperationButton::Erase, "3", "1E 95 02"},
      {kAtmega8, false, OperationButton::Restore, "3", "1E 93 07"},
  };
  for (const auto& [chip, check, button, commands, read] : cases) {
    Rig rig(chip);
    rig.Select("ATmega328P");
    rig.frontEnd.signatureCheck = check;
    rig.frontEnd.answers = {file};
    rig.Press(button);
    EXPECT_EQ(rig.Commands(), commands) << read;
    if (read.empty()) {
      EXPECT_THAT(rig.Lines(), Contains("擦除OK"));
      EXPECT_TRUE(rig.frontEnd.outcomes.back().passed);
      continue;
    }
    EXPECT_THAT(rig.Lines(), Contains("签名不符：所选器件 ATmega328P 的签名为 1E 95 0F，读到的是 " + read +
                                      "；未向芯片写入任何内容"));
    EXPECT_EQ(rig.frontEnd.outcomes.back().cause, Cause::WrongChip);
  }
  std::remove(file.c_str());
}

// In ISP, a fuse text that locks ISP out is refused before anything is sent unless the user
// confirms it; then the read-back shows the chip gone, as warned, and the run fails.
TEST(ChipSafety, AFuseTextThatLocksIspOutIsRefusedInIspAndWrittenWithAWarningInHighVoltage) {
  using enum device::ProgrammingMode;
  for (const auto& [mode, confirm, commands, line, cause] :
       {std::tuple(ISP, false, "", texts::kLockoutRefusedLine.id(), Cause::RefusedInput),
        std::tuple(ISP, true, "3 6 5", texts::kLockoutTookEffectLine.id(), Cause::VerifyDifference),
        std::tuple(PP_20, false, "3 6 5", texts::kLockoutHighVoltageLine.id(), Cause::None)}) {
    Rig rig({}, mode);
    rig.Select("ATmega328P");
    rig.frontEnd.fuseText = "6259FF";
    rig.frontEnd.confirmLockout = confirm;
    rig.Press(OperationButton::WriteFuses);
    EXPECT_EQ(rig.Commands(), commands);
    EXPECT_THAT(rig.Lines(),
                IsSupersetOf({"熔丝高位 RSTDISBL：复位引脚将变为普通I/O，ISP将无法访问芯片", line}));
    EXPECT_EQ(rig.frontEnd.outcomes.back().cause, cause);
  }
}

// Every fuse write is read back: fuses that did not take fail the run; a lock the run did not
// write is not compared.
TEST(ChipSafety, AFuseWriteIsComparedWithWhatTheChipThenHolds) {
  for (const bool takes : {true, false}) {
    Rig rig;
    rig.Select("ATmega328P");
    rig.bus.programmer().lock = 0xFC;
    rig.frontEnd.fuseText = "62D9FF";
    rig.onStatus = [&](device::Status code) {
      if (code == device::Status::FusesWritten && !takes) rig.bus.programmer().fuses[1] = 0xD8;
    };
    rig.Press(OperationButton::WriteFuses);
    EXPECT_EQ(rig.frontEnd.outcomes.back().passed, takes);
    if (!takes) {
      EXPECT_THAT(rig.Lines(), Contains("熔丝位回读 62D8FF 与写入的 62D9FF 不符"));
      EXPECT_EQ(rig.frontEnd.outcomes.back().cause, Cause::VerifyDifference);
    }
  }
}

// Bits without a meaning may read back as anything: the ATmega8 has no extended fuse byte and
// uses lock bits 0 to 5 only. A used bit that differs fails the reset.
TEST(ChipSafety, AFactoryResetComparesOnlyTheBitsThatMeanSomething) {
  const std::pair<std::function<void(device::SimulatedProgrammer&)>, std::string> cases[] = {
      {[](device::SimulatedProgrammer& chip) { chip.fuses[2] = 0x00, chip.lock = 0x3F; }, "恢复出厂OK"},
      {[](device::SimulatedProgrammer& chip) { chip.fuses[1] = 0xD8; },
       "恢复出厂后读回熔丝位 E1D8FF 锁定位 FF，与出厂值 E1D9FF FF 不符"},
  };
  for (const auto& [change, line] : cases) {
    Rig rig(kAtmega8);
    rig.Select("ATmega8");
    rig.bus.programmer().fuses = {0x24, 0x99, 0xFF};
    rig.onStatus = [&](device::Status code) {
      if (code == device::Status::FusesWritten) change(rig.bus.programmer());
    };
    rig.Press(OperationButton::FactoryReset);
    EXPECT_EQ(rig.Commands(), "3 2 6 5");
    EXPECT_THAT(rig.Lines(), Contains(line));
  }
}

}  // namespace
}  // namespace kestrel::control
