#include <gtest/gtest.h>

#include "device/TonePlayer.h"

namespace kestrel::device {
namespace {

// Where there is no sound device (as on build machines) the player must stay silent on
// stderr too; where there is one, it plays and still returns at once.
TEST(AlsaTonePlayerTest, PlaysWithoutMakingTheCallerWaitOrWritingToStderr) {
  ::testing::internal::CaptureStderr();
  {
    auto player = MakeAlsaTonePlayer();
    player->Play(kSuccessToneHz, 5);
    player->Play(kErrorToneHz, 5);
    player->Play(0, 5);  // nothing to play
  }
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

}  // namespace
}  // namespace kestrel::device
