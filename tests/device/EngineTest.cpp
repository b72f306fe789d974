#include <gtest/gtest.h>

#include <cerrno>

#include "DeviceTestSupport.h"
#include "control/Texts.h"

namespace kestrel::device {
namespace {

using testing::EngineRig;
using testing::Report;

TEST(EngineTest, StartsIdleWithErasedBuffers) {
  EngineRig rig;
  EXPECT_EQ(rig.engine.busy, 0);
  for (const auto* buffer : {&rig.engine.flashImage, &rig.engine.flashReadback, &rig.engine.eepromImage,
                             &rig.engine.eepromReadback}) {
    EXPECT_EQ(std::count(buffer->begin(), buffer->end(), 0xFF), static_cast<std::ptrdiff_t>(buffer->size()));
  }
}

TEST(EngineTest, SingleShotsSendTheirCommandInTheCurrentModeAndPostIt) {
  EngineRig rig;
  rig.link.currentMode = static_cast<std::uint8_t>(ProgrammingMode::ISP);
  rig.engine.ReadSignature();
  EXPECT_EQ(std::vector<std::uint8_t>(rig.engine.response.begin(), rig.engine.response.begin() + 3),
            (std::vector<std::uint8_t>{0x1E, 0x95, 0x0F}));
  rig.engine.ReadCalibration();
  rig.engine.ReadFuseLock();
  EXPECT_EQ(rig.engine.response[3], 0xFF);
  rig.engine.EraseChip();
  rig.engine.Unlock();
  EXPECT_EQ(rig.channel.reports(), (std::vector<Report>{{3, 0}, {4, 0}, {5, 0}, {2, 0}, {1, 0}}));
  std::vector<std::uint8_t> requestBytes;
  for (const auto& recorded : rig.bus.requests()) requestBytes.push_back(recorded.request.request);
  EXPECT_EQ(requestBytes, (std::vector<std::uint8_t>{0x13, 0x14, 0x15, 0x12, 0x11}));
}

TEST(EngineTest, FuseAndLockTextsBecomeValueAndIndex) {
  EngineRig rig;
  rig.engine.WriteFuses("E199FF");
  rig.engine.WriteFuses("e199ff");
  rig.engine.WriteFuses("E199FF42");  // cut to six characters
  rig.engine.WriteLock("FF");
  rig.engine.WriteLock("3Cz");  // cut to two characters
  const auto requests = rig.bus.requests();
  ASSERT_EQ(requests.size(), 5u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(requests[i].request, (VendorRequest{0xC0, 6, 0x99E1, 0x00FF, 8}));
  EXPECT_EQ(requests[3].request, (VendorRequest{0xC0, 7, 0x00FF, 0, 8}));
  EXPECT_EQ(requests[4].request, (VendorRequest{0xC0, 7, 0x003C, 0, 8}));
  EXPECT_EQ(rig.channel.codes(), (std::vector<std::uint32_t>{6, 6, 6, 7, 7}));
  EXPECT_EQ(rig.bus.programmer().lock, 0x3C);
}

TEST(EngineTest, InvalidFuseOrLockTextIsRefusedWithoutARequest) {
  EngineRig rig;
  for (const char* text : {"", "E199F", "E199FG", "E1 9FF", "0x99FF"}) rig.engine.WriteFuses(text);
  for (const char* text : {"", "F", "G0", "-1"}) rig.engine.WriteLock(text);
  EXPECT_TRUE(rig.bus.requests().empty());
  EXPECT_EQ(rig.channel.codes(), std::vector<std::uint32_t>(9, status::Refused));
  ASSERT_EQ(rig.notes.lines.size(), 9u);
  EXPECT_EQ(rig.notes.lines[2], texts::Printf(texts::kFuseTextInvalidPattern, "E199FG"));
  EXPECT_EQ(rig.notes.lines[6], texts::Printf(texts::kLockTextInvalidPattern, "F"));
  EXPECT_TRUE(IsFailureStatus(status::Refused));
}

TEST(EngineTest, WithoutAProgrammerEveryCommandFailsAtOnce) {
  EngineRig rig({}, /*open=*/false);
  rig.engine.ReadSignature();
  rig.engine.WriteFuses("E199FF");
  EXPECT_TRUE(rig.bus.requests().empty());
  EXPECT_EQ(rig.channel.codes(), (std::vector<std::uint32_t>{102, 102}));
  EXPECT_EQ(rig.engine.lastFailure.text, texts::kNoProgrammerOpen);
  EXPECT_EQ(rig.engine.lastFailure.operation, texts::kWriteFusesOperation);
}

TEST(EngineTest, TimeOutAndOtherFailuresAreReportedWithTheRequest) {
  SimulatorOptions options;
  options.failAt = 2;
  options.unplugAt = 3;
  EngineRig rig(options);
  rig.engine.ReadSignature();
  rig.engine.ReadCalibration();  // times out: its reply area still holds the signature
  EXPECT_EQ(rig.engine.lastFailure.operation, texts::kReadCalibrationOperation);
  EXPECT_EQ(rig.engine.lastFailure.error, -ETIMEDOUT);
  EXPECT_NE(rig.engine.lastFailure.text.find(texts::kReadCalibrationOperation), std::string::npos);
  EXPECT_NE(rig.engine.lastFailure.text.find("-110"), std::string::npos);
  rig.engine.ReadFuseLock();  // the programmer is gone
  EXPECT_EQ(rig.engine.lastFailure.error, -ENODEV);
  EXPECT_EQ(rig.channel.codes(), (std::vector<std::uint32_t>{3, 103, 102}))
      << "no success code that would show the stale reply";
}

TEST(EngineTest, AccessDeniedExplainsHowToInstallTheRule) {
  SimulatorOptions options;
  options.busses = {{SimulatedDevice{.accessDenied = true}}};
  EngineRig rig(options, /*open=*/false);
  rig.link.deviceHandle = rig.bus.Open(rig.bus.GetBusses()[0][0]);  // opens, but may not talk
  rig.engine.ReadSignature();
  EXPECT_EQ(rig.channel.codes(), std::vector<std::uint32_t>{102});
  EXPECT_EQ(rig.engine.lastFailure.error, -EPERM);
  EXPECT_EQ(rig.engine.lastFailure.text,
            texts::Printf(texts::kAccessDeniedPattern, texts::UdevRuleCommand().c_str()));
}

TEST(EngineTest, AShortTransferIsAFailure) {
  EngineRig rig;
  rig.bus.adjustResult = [](int, int, int result) { return result > 0 ? result - 1 : result; };
  rig.engine.ReadSignature();
  EXPECT_EQ(rig.channel.codes(), std::vector<std::uint32_t>{102});
  EXPECT_EQ(rig.engine.lastFailure.error, 7);
  EXPECT_EQ(rig.engine.lastFailure.text,
            texts::Printf(texts::kShortTransferPattern, texts::kReadSignatureOperation, 7, 8));
}

TEST(EngineTest, EveryErrorBeepIsCounted) {
  EngineRig rig;
  rig.engine.StartErrorBeep();
  rig.engine.StartSuccessBeep();
  rig.engine.StartErrorBeep();
  const std::vector<std::pair<int, int>> expected{{410, 100}, {4000, 30}, {410, 100}};
  EXPECT_EQ(rig.tones.tones, expected);
  EXPECT_EQ(rig.engine.errorBeepCount, 2u);
}

TEST(TrimmedLengthTest, CountsUpToTheLastByteThatIsNotErased) {
  std::uint8_t bytes[64];
  std::fill(std::begin(bytes), std::end(bytes), 0xFF);
  EXPECT_EQ(ProgrammerEngine::TrimmedLength(bytes, 64), 0);
  EXPECT_EQ(ProgrammerEngine::TrimmedLength(bytes, -5), -5);
  bytes[0] = 0x00;
  bytes[40] = 0xFE;
  EXPECT_EQ(ProgrammerEngine::TrimmedLength(bytes, 64), 41);
  EXPECT_EQ(ProgrammerEngine::TrimmedLength(bytes, 30), 1);
  bytes[63] = 0x7F;
  EXPECT_EQ(ProgrammerEngine::TrimmedLength(bytes, 64), 64);
}

}  // namespace
}  // namespace kestrel::device
