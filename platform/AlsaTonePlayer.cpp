#include "platform/AlsaTonePlayer.h"

#include <alsa/asoundlib.h>

#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <numbers>
#include <thread>
#include <vector>

namespace kestrel::platform {

namespace {

constexpr unsigned kSampleRate = 48000;
constexpr unsigned kLatencyUs = 100000;
constexpr std::size_t kMostQueuedTones = 8;
constexpr double kAmplitude = 0.3 * 32767;

// ALSA reports a missing sound device on stderr unless its error handler is replaced.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

struct Tone {
  int frequencyHz;
  int durationMs;
};

std::vector<std::int16_t> SineWave(const Tone& tone) {
  const auto frames =
      static_cast<std::size_t>(kSampleRate) * static_cast<std::size_t>(tone.durationMs) / 1000;
  std::vector<std::int16_t> samples(frames);
  const double step = 2 * std::numbers::pi * tone.frequencyHz / kSampleRate;
  for (std::size_t i = 0; i < frames; ++i) {
    samples[i] = static_cast<std::int16_t>(kAmplitude * std::sin(step * static_cast<double>(i)));
  }
  return samples;
}

// Plays one tone on the "default" device and waits until it has sounded; nothing when there
// is no such device.
void PlayOnDefaultDevice(const Tone& tone) {
  snd_pcm_t* pcm = nullptr;
  if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) return;
  if (snd_pcm_nonblock(pcm, 0) == 0 &&
      snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1, kSampleRate, 1,
                         kLatencyUs) == 0) {
    const std::vector<std::int16_t> samples = SineWave(tone);
    std::size_t done = 0;
    while (done < samples.size()) {
      const snd_pcm_sframes_t written = snd_pcm_writei(pcm, samples.data() + done, samples.size() - done);
      if (written < 0) {
        if (snd_pcm_recover(pcm, static_cast<int>(written), 1) < 0) break;
        continue;
      }
      done += static_cast<std::size_t>(written);
    }
    snd_pcm_drain(pcm);
  }
  snd_pcm_close(pcm);
}

// One thread plays the tones in the order asked; Play only queues. A burst of requests beyond
// a few tones is dropped rather than played for seconds after the fact.
class AlsaTonePlayer : public TonePlayer {
 public:
  AlsaTonePlayer() : thread_([this] { PlayQueued(); }) {}

  ~AlsaTonePlayer() override {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }

  void Play(int frequencyHz, int durationMs) override {
    if (frequencyHz <= 0 || durationMs <= 0) return;
    {
      std::lock_guard lock(mutex_);
      if (queue_.size() >= kMostQueuedTones) return;
      queue_.push_back(Tone{frequencyHz, durationMs});
    }
    wake_.notify_one();
  }

 private:
  // Tones queued before destruction are still played, so a last beep is heard.
  void PlayQueued() {
    static std::once_flag quietAlsa;
    std::call_once(quietAlsa, [] { snd_lib_error_set_handler(IgnoreAlsaError); });
    std::unique_lock lock(mutex_);
    while (true) {
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;
      const Tone tone = queue_.front();
      queue_.pop_front();
      lock.unlock();
      PlayOnDefaultDevice(tone);
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Tone> queue_;
  bool stopping_ = false;
  std::thread thread_;  // last, so that it starts after the members it uses
};

}  // namespace

std::unique_ptr<TonePlayer> MakeAlsaTonePlayer() {
  return std::make_unique<AlsaTonePlayer>();
}

}  // namespace kestrel::platform
