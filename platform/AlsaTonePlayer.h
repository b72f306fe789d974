#pragma once

#include <memory>

#include "base/TonePlayer.h"

namespace kestrel::platform {

// A sine wave on the ALSA "default" device; silent, and quiet on stderr, where there is none.
std::unique_ptr<TonePlayer> MakeAlsaTonePlayer();

}  // namespace kestrel::platform
