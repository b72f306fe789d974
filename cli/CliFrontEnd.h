#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/TonePlayer.h"
#include "cli/JsonEvents.h"
#include "control/FrontEnd.h"

namespace kestrel::cli {

// Plays the tones on a real player when there is one, and nothing otherwise.
class OptionalTonePlayer : public TonePlayer {
 public:
  explicit OptionalTonePlayer(std::unique_ptr<TonePlayer> sound) : sound_(std::move(sound)) {}
  void Play(int frequencyHz, int durationMs) override {
    if (sound_) sound_->Play(frequencyHz, durationMs);
  }

 private:
  std::unique_ptr<TonePlayer> sound_;
};

// Writes `text` and flushes the stream at once, so that the lines of `out` and `err` reach a
// shared terminal in the order they were written.
void WriteAll(std::FILE* stream, const std::string& text);

// Where the front end writes, and whether the progress bar is drawn. With --output json the
// human lines of `out` go to standard error and the events to standard output.
struct Terminal {
  std::FILE* out = stdout;  // log and field lines
  std::FILE* err = stderr;  // message boxes and the progress bar
  bool drawProgress = false;
  JsonEvents* events = nullptr;  // --output json
};

// The command line's front end: every log line and field update becomes one line on `out`
// as it happens, message boxes go to `err`, and with --output json the events to `events`; it
// keeps the outcome of the last run and the last fuse and lock bytes read.
class CliFrontEnd : public control::FrontEnd, private control::LogListPort {
 public:
  CliFrontEnd(Terminal terminal, std::unique_ptr<TonePlayer> sound);
  ~CliFrontEnd() override;

  // The fuse and lock texts of the next run: the options', until a whole-chip file or a
  // factory reset sets them, as they set the window's fields.
  void SetFuseText(const std::string& text) override { fuseText_ = text; }
  void SetLockText(const std::string& text) override { lockText_ = text; }
  const std::string& fuseText() const { return fuseText_; }
  const std::string& lockText() const { return lockText_; }
  // The answer to every question whether a fuse text that locks ISP out may be written.
  void SetAllowLockout(bool allow) { allowLockout_ = allow; }
  // A line of the command line's own on `out`.
  void PrintLine(const std::string& text) { WriteLine(text); }
  // Drops the core's log and field lines (message boxes still show): a production run prints
  // its own line per chip instead of the lines of every signature poll and step.
  void SetQuiet(bool quiet) { quiet_ = quiet; }

  // Removes a progress bar still on the screen.
  void EndProgress();
  // Writes the log events still held back (see pending_).
  void FlushEvents();

  int messageCount() const { return messageCount_; }
  const control::Outcome& outcome() const { return outcome_; }
  const std::array<std::uint8_t, 4>& fusesRead() const { return fusesRead_; }

  // control::FrontEnd
  void ShowMessage(const std::string& text) override;
  void ShowPage(int page) override;
  control::LogListPort& LogList() override { return *this; }
  void SetFieldText(control::Field field, const std::string& text) override;
  void ShowProgress(const control::RunProgress& progress) override;
  control::HexViewPort& FlashView() override { return flashView_; }
  control::HexViewPort& EepromView() override { return eepromView_; }
  TonePlayer& Tones() override { return tones_; }
  bool ConfirmLockout(const std::string&) override { return allowLockout_; }
  void ShowFieldBytes(const control::FieldBytes& bytes) override;
  void OperationEnded(control::Operation operation, const control::OperationResult& result) override;
  void RunEnded(const control::Outcome& outcome) override;
  void FusesRead(const std::array<std::uint8_t, 4>& bytes) override { fusesRead_ = bytes; }

 private:
  // control::LogListPort: the lines are written as they arrive, always at the end.
  void InsertLine(int index, const std::string& text) override;
  void SelectLine(int) override {}
  // The lines are numbered from 0 again: those held back can no longer be marked.
  void ResetLines() override { FlushEvents(); }
  void MarkFailureLine(int index) override;

  void WriteLine(const std::string& text);

  Terminal terminal_;
  OptionalTonePlayer tones_;
  // Without a screen a view only keeps which buffer it shows, which a save stores.
  control::HexViewPort flashView_;
  control::HexViewPort eepromView_;
  std::string fuseText_;
  std::string lockText_;
  control::Outcome outcome_;
  std::array<std::uint8_t, 4> fusesRead_{};
  bool allowLockout_ = false;
  bool quiet_ = false;
  int messageCount_ = 0;
  int progressShown_ = -1;  // position on screen, -1 when no bar is drawn
  // The events of the log lines (and the fields between them) not yet written: a line may
  // still be marked a failure line until its operation ends, when they are written in order.
  struct Pending {
    int index = -1;  // the log line's; -1 for another event
    std::string time{}, text{};
    bool failure = false;
    std::function<void(JsonEvents&)> other{};
  };
  std::vector<Pending> pending_;
};

}  // namespace kestrel::cli
