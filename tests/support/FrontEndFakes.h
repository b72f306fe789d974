#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "base/TonePlayer.h"
#include "control/BlockingStatusChannel.h"
#include "control/FrontEnd.h"

// Recording stand-ins for the pieces of a front end, written once for every test that needs
// one. None of them is locked: a test touches them on the front end's thread only.
namespace kestrel::support {

class ToneRecorder : public TonePlayer {
 public:
  void Play(int frequencyHz, int durationMs) override { tones.push_back({frequencyHz, durationMs}); }
  int ErrorBeeps() const { return Count(kErrorToneHz, kErrorToneMs); }
  int SuccessBeeps() const { return Count(kSuccessToneHz, kSuccessToneMs); }
  int Count(int hz, int ms) const {
    return static_cast<int>(std::count(tones.begin(), tones.end(), Tone{hz, ms}));
  }

  using Tone = std::pair<int, int>;  // Hz, ms
  std::vector<Tone> tones;
};

class FakeLogList : public control::LogListPort {
 public:
  void InsertLine(int index, const std::string& text) override { lines.insert(lines.begin() + index, text); }
  void SelectLine(int) override {}
  void ResetLines() override { lines.clear(); }
  std::vector<std::string> lines;
};

// Builds requests from its fields, as the window does from its controls, and records what it
// is shown. The n-th press that needs a file takes the n-th answer; one past the answers reads
// as cancel.
class FakeFrontEnd : public control::FrontEnd {
 public:
  control::RunRequest Request(control::OperationButton button) {
    control::RunRequest request;
    request.press = button;
    if (const auto kind = control::FileDialogOf(button)) {
      dialogs.push_back(*kind);
      if (dialogs.size() <= answers.size()) request.file = answers[dialogs.size() - 1];
    }
    request.boxes = autoBoxes;
    request.fuseText = fuseText;
    request.lockText = lockText;
    request.fastVerify = fastVerify;
    request.signatureCheck = signatureCheck;
    return request;
  }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void ShowPage(int page) override { pages.push_back(page); }
  control::LogListPort& LogList() override { return log; }
  void SetFieldText(control::Field field, const std::string& text) override { fields[field] = text; }
  void SetFuseText(const std::string& text) override { fuseText = text; }
  void SetLockText(const std::string& text) override { lockText = text; }
  void ShowProgress(const control::RunProgress& shown) override { progress.push_back(shown.position); }
  void RunEnded(const control::Outcome& outcome) override { outcomes.push_back(outcome); }
  bool ConfirmLockout(const std::string&) override { return confirmLockout; }
  control::HexViewPort& FlashView() override { return flashView; }
  control::HexViewPort& EepromView() override { return eepromView; }
  TonePlayer& Tones() override { return tones; }

  std::vector<std::optional<std::string>> answers;
  std::vector<control::FileDialogKind> dialogs;
  std::vector<std::string> messages;
  std::vector<int> pages;
  FakeLogList log;
  std::map<control::Field, std::string> fields;
  std::string fuseText = "E199FF";
  std::string lockText = "FF";
  control::AutoSelection autoBoxes;
  bool fastVerify = false;
  bool signatureCheck = true;
  bool confirmLockout = false;
  std::vector<int> progress;
  std::vector<control::Outcome> outcomes;
  control::HexViewPort flashView;  // which buffer each shows is all a test needs
  control::HexViewPort eepromView;
  ToneRecorder tones;
};

// The front end's status channel for a test that pumps it: the blocking channel behind a gate
// that Close shuts. Codes a worker sends after that are dropped, so that a fault which leaves a
// worker waiting for a pump cannot hang the test. The handler calls Handled for each code.
class GatedChannel : public device::StatusChannel {
 public:
  void Send(device::Status code, std::uint32_t argument) override {
    {
      std::lock_guard lock(mutex_);
      if (closed_) return;
      ++underWay_;
    }
    blocking.Send(code, argument);
  }
  void Handled() {
    std::lock_guard lock(mutex_);
    --underWay_;
  }
  void Close() {
    blocking.PumpUntil([this] {
      std::lock_guard lock(mutex_);
      closed_ = true;
      return underWay_ == 0;
    });
  }
  control::BlockingStatusChannel blocking;

 private:
  std::mutex mutex_;
  bool closed_ = false;
  int underWay_ = 0;
};

// The log lines without their time stamps.
inline std::vector<std::string> Unstamped(const std::vector<std::string>& lines) {
  static const std::regex stamp("^〖\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d〗 ");
  std::vector<std::string> result;
  for (const std::string& line : lines) result.push_back(std::regex_replace(line, stamp, ""));
  return result;
}

}  // namespace kestrel::support
