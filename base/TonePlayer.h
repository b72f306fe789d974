#pragma once

namespace kestrel {

// Plays a tone without making the caller wait for it.
class TonePlayer {
 public:
  virtual ~TonePlayer() = default;
  virtual void Play(int frequencyHz, int durationMs) = 0;
};

inline constexpr int kErrorToneHz = 410;
inline constexpr int kErrorToneMs = 100;
inline constexpr int kSuccessToneHz = 4000;
inline constexpr int kSuccessToneMs = 30;

}  // namespace kestrel
