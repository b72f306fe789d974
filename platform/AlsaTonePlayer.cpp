#include "platform/AlsaTonePlayer.h"

#include <alsa/asoundlib.h>
#include <dlfcn.h>

#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <numbers>
#include <optional>
#include <thread>
#include <type_traits>
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

// The ALSA calls a tone needs. libasound is loaded on the first tone, not at start: most runs
// of the command line sound nothing, and mapping and relocating the library costs a start-up
// a third of its page faults.
struct Alsa {
  decltype(&snd_lib_error_set_handler) setErrorHandler = nullptr;
  decltype(&snd_pcm_open) open = nullptr;
  decltype(&snd_pcm_nonblock) nonblock = nullptr;
  decltype(&snd_pcm_set_params) setParams = nullptr;
  decltype(&snd_pcm_writei) writei = nullptr;
  decltype(&snd_pcm_recover) recover = nullptr;
  decltype(&snd_pcm_drain) drain = nullptr;
  decltype(&snd_pcm_close) close = nullptr;

  // All calls, or none when the library or one of them is missing.
  static Alsa Load() {
    Alsa alsa;
    void* const library = ::dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!library) return alsa;
    const auto find = [library](auto& call, const char* name) {
      call = reinterpret_cast<std::remove_reference_t<decltype(call)>>(::dlsym(library, name));
      return call != nullptr;
    };
    if (!(find(alsa.setErrorHandler, "snd_lib_error_set_handler") && find(alsa.open, "snd_pcm_open") &&
          find(alsa.nonblock, "snd_pcm_nonblock") && find(alsa.setParams, "snd_pcm_set_params") &&
          find(alsa.writei, "snd_pcm_writei") && find(alsa.recover, "snd_pcm_recover") &&
          find(alsa.drain, "snd_pcm_drain") && find(alsa.close, "snd_pcm_close"))) {
      return Alsa{};
    }
    alsa.setErrorHandler(IgnoreAlsaError);
    return alsa;
  }
  bool loaded() const { return open != nullptr; }
};

// Plays one tone on the "default" device and waits until it has sounded; nothing when there
// is no such device.
void PlayOnDefaultDevice(const Alsa& alsa, const Tone& tone) {
  snd_pcm_t* pcm = nullptr;
  if (!alsa.loaded() || alsa.open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) return;
  if (alsa.nonblock(pcm, 0) == 0 && alsa.setParams(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED,
                                                   1, kSampleRate, 1, kLatencyUs) == 0) {
    const std::vector<std::int16_t> samples = SineWave(tone);
    std::size_t done = 0;
    while (done < samples.size()) {
      const snd_pcm_sframes_t written = alsa.writei(pcm, samples.data() + done, samples.size() - done);
      if (written < 0) {
        if (alsa.recover(pcm, static_cast<int>(written), 1) < 0) break;
        continue;
      }
      done += static_cast<std::size_t>(written);
    }
    alsa.drain(pcm);
  }
  alsa.close(pcm);
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
    std::optional<Alsa> alsa;
    std::unique_lock lock(mutex_);
    while (true) {
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;
      const Tone tone = queue_.front();
      queue_.pop_front();
      lock.unlock();
      if (!alsa) alsa = Alsa::Load();
      PlayOnDefaultDevice(*alsa, tone);
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
