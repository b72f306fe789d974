#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "device/DeviceTestSupport.h"
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

// An engine with no programmer open, and every port the image operations use, wired into
// one ImageContext.
struct ImageRig {
  device::testing::EngineRig programmer{{}, /*open=*/false};
  chips::ChipGeometry& geometry = programmer.geometry;
  device::ProgrammerEngine& engine = programmer.engine;
  device::testing::RecordingChannel& status = programmer.channel;
  device::testing::RecordingTones& tones = programmer.tones;
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
