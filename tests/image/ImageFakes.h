#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "chips/ChipGeometry.h"
#include "device/ProgrammerEngine.h"
#include "device/ProgrammerLink.h"
#include "device/StatusChannel.h"
#include "device/TonePlayer.h"
#include "device/UsbBus.h"
#include "image/HexFileReader.h"
#include "image/ImageFiles.h"
#include "image/ImagePorts.h"

// Recording stand-ins for the front-end pieces the image operations reach.
namespace kestrel::image::testing {

class FakeMessages : public MessageSink {
 public:
  void ShowMessage(const std::string& text) override { shown.push_back(text); }
  std::vector<std::string> shown;
};

// Every line in order; `quiet` tells which came through InsertLogLine.
class FakeLog : public LogSink {
 public:
  void AppendLog(const std::string& text) override {
    lines.push_back(text);
    quiet.push_back(false);
  }
  void InsertLogLine(const std::string& text) override {
    lines.push_back(text);
    quiet.push_back(true);
  }
  std::vector<std::string> lines;
  std::vector<bool> quiet;
};

class FakePages : public PageSwitch {
 public:
  void ShowPage(int page) override { shown.push_back(page); }
  std::vector<int> shown;
};

// Answers each dialog with the next queued path; nothing queued reads as cancel.
class FakeChooser : public FileChooser {
 public:
  std::optional<std::string> ChooseFile(FileDialogKind kind) override {
    asked.push_back(kind);
    if (answers.empty()) return std::nullopt;
    std::optional<std::string> answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::deque<std::optional<std::string>> answers;
  std::vector<FileDialogKind> asked;
};

// Holds exactly the bytes it was given; asked for more, it answers 0xFF for the rest.
class FakeView : public HexViewPort {
 public:
  void SetData(const std::uint8_t* bytes, std::size_t length) override {
    content.assign(bytes, bytes + length);
    ++setCount;
  }
  void GetData(std::uint8_t* bytes, std::size_t length) const override {
    const std::size_t held = std::min(length, content.size());
    std::copy_n(content.begin(), held, bytes);
    std::fill(bytes + held, bytes + length, std::uint8_t{0xFF});
  }
  std::vector<std::uint8_t> content;
  int setCount = 0;
};

// A bus without devices: the image operations never reach the programmer.
class EmptyBus : public device::UsbBus {
 public:
  void Init() override {}
  int FindBusses() override { return 0; }
  int FindDevices() override { return 0; }
  std::vector<std::vector<device::UsbDeviceInfo>> GetBusses() override { return {}; }
  device::UsbHandle* Open(const device::UsbDeviceInfo&) override { return nullptr; }
  void Close(device::UsbHandle* handle) override { delete handle; }
  int ControlMsg(device::UsbHandle*, int, int, int, int, std::uint8_t*, int, int) override {
    return -19;
  }
};

class StatusRecorder : public device::StatusChannel {
 public:
  void Send(std::uint32_t code, std::uint32_t) override { codes.push_back(code); }
  std::vector<std::uint32_t> codes;
};

class ToneRecorder : public device::TonePlayer {
 public:
  void Play(int frequencyHz, int durationMs) override { tones.emplace_back(frequencyHz, durationMs); }
  std::vector<std::pair<int, int>> tones;
};

class NoteRecorder : public device::NoteSink {
 public:
  void Note(const std::string& line) override { notes.push_back(line); }
  std::vector<std::string> notes;
};

// An engine and every port the image operations use, wired into one ImageContext.
struct ImageRig {
  chips::ChipGeometry geometry;
  EmptyBus bus;
  device::ProgrammerLink link{bus};
  StatusRecorder status;
  ToneRecorder tones;
  NoteRecorder notes;
  device::ProgrammerEngine engine{link, geometry, status, tones, notes};
  HexFileReader reader;
  FakeChooser chooser;
  FakeView flashView;
  FakeView eepromView;
  FakeLog log;
  FakeMessages messages;
  FakePages pages;
  ImageContext context{engine, reader, geometry, chooser, flashView, eepromView, log, messages, pages};
};

}  // namespace kestrel::image::testing
