#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "control/BlockingStatusChannel.h"
#include "control/FrontEnd.h"
#include "control/ProgrammerController.h"
#include "device/sim/SimulatedBus.h"

namespace kestrel::control::testing {

// A front end that records everything the core asks of it, in one ordered trace as well.
class RecordingFrontEnd : public FrontEnd, public LogListPort, public device::TonePlayer {
 public:
  class View : public image::HexViewPort {
   public:
    void SetData(const std::uint8_t* data, std::size_t length) override { bytes.assign(data, data + length); }
    void GetData(std::uint8_t* out, std::size_t length) const override {
      for (std::size_t i = 0; i < length; ++i) out[i] = i < bytes.size() ? bytes[i] : 0xFF;
    }
    std::vector<std::uint8_t> bytes;
  };

  // LogListPort
  void InsertLine(int index, const std::string& text) override {
    lines.insert(lines.begin() + index, text);
    trace.push_back("line " + text);
  }
  void SelectLine(int index) override { selected = index; }
  void ResetLines() override {
    lines.clear();
    selected = -1;
  }
  // TonePlayer
  void Play(int frequencyHz, int) override {
    tones.push_back(frequencyHz);
    trace.push_back("tone " + std::to_string(frequencyHz));
  }
  // FrontEnd
  LogListPort& LogList() override { return *this; }
  void SetFieldText(Field field, const std::string& text) override { fields[field] = text; }
  std::string FuseText() override { return fuseText; }
  std::string LockText() override { return lockText; }
  AutoSelection AutoBoxes() override { return autoBoxes; }
  void SetProgress(int position) override { progress.push_back(position); }
  image::HexViewPort& FlashView() override { return flashView; }
  image::HexViewPort& EepromView() override { return eepromView; }
  device::TonePlayer& Tones() override { return *this; }
  void ShowPage(int page) override {
    pages.push_back(page);
    trace.push_back("page " + std::to_string(page));
  }
  std::optional<std::string> ChooseFile(image::FileDialogKind) override {
    if (chosenFiles.empty()) return std::nullopt;
    auto path = chosenFiles.front();
    chosenFiles.pop_front();
    return path;
  }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }

  int ErrorBeeps() const { return Count(device::kErrorToneHz); }
  int SuccessBeeps() const { return Count(device::kSuccessToneHz); }
  int Count(int hz) const {
    int n = 0;
    for (int tone : tones) n += tone == hz;
    return n;
  }

  std::vector<std::string> lines;
  int selected = -1;
  std::vector<int> tones;
  std::vector<std::string> trace;
  std::map<Field, std::string> fields;
  std::string fuseText = "E199FF";
  std::string lockText = "FF";
  AutoSelection autoBoxes;
  std::vector<int> progress;
  std::vector<int> pages;
  std::deque<std::optional<std::string>> chosenFiles;
  std::vector<std::string> messages;
  View flashView;
  View eepromView;
};

// The controller over the simulated programmer, driven as a front end drives it.
struct Harness {
  explicit Harness(device::SimulatorOptions options = {}) : bus(std::move(options)) {
    channel.SetHandler([this](std::uint32_t code, std::uint32_t argument) {
      if (onStatus) onStatus(code, argument);
      controller.OnProgrammerStatus(code, argument);
    });
  }

  // A button press, then the event loop until the queue is idle.
  void Press(OperationButton button) {
    controller.OnOperationButton(button);
    WaitIdle();
  }
  void WaitIdle() {
    channel.PumpUntil([this] { return controller.Idle(); });
  }
  bool Start() {
    controller.BindImageViews();
    return controller.ProbeProgrammer();
  }

  device::SimulatedBus bus;
  RecordingFrontEnd frontEnd;
  BlockingStatusChannel channel;
  ProgrammerController controller{bus, frontEnd, channel};
  // Runs on the front end's thread before each dispatch: where a test "clicks" mid-chain.
  std::function<void(std::uint32_t, std::uint32_t)> onStatus;
};

// The log lines without their time stamps.
std::vector<std::string> Unstamped(const std::vector<std::string>& lines);

}  // namespace kestrel::control::testing
