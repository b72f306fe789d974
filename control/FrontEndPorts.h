#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "device/ChipMemories.h"

// The small pieces of a front end that the image operations reach: the file dialogs' kinds, the
// two hex views, message boxes, the activity log and the page switch.
namespace kestrel::control {

enum class FileDialogKind { OpenFlash, OpenEeprom, SaveFlash, SaveEeprom, OpenWholeChip, SaveBackup };

struct FileFilter {
  std::string description;  // e.g. "Intel Hex文件(*.hex)"
  std::string pattern;      // e.g. "*.hex"
};

// What a front end needs to build each file dialog.
struct FileDialogSpec {
  bool save = false;          // a save dialog asks before overwriting
  std::string defaultSuffix;  // "bin"
  std::vector<FileFilter> filters;
};
const FileDialogSpec& DialogSpec(FileDialogKind kind);

// A hex view draws the first `length` bytes of a memory's buffer, from the buffer itself: the
// image after an open, the read-back after a read. An edit in the view writes into that buffer,
// so that an edited image is what a write sends and what a save stores. Used on the front end's
// thread only; whoever shows a buffer keeps it alive while it is shown.
class HexViewPort {
 public:
  virtual ~HexViewPort() = default;

  // Shows `buffer`, whose first `length` bytes the caller has put to use (ChipBuffer::Use), and
  // draws it again; the core calls it again after each change of the buffer. `edited` runs
  // after each edit of it, with the byte's index.
  void Show(device::ChipBuffer& buffer, std::size_t length, std::function<void(std::size_t)> edited = {}) {
    buffer_ = &buffer;
    length_ = std::min(length, buffer.size());
    edited_ = std::move(edited);
    Redraw();
  }
  // The buffer shown, or nullptr before the first Show.
  device::ChipBuffer* buffer() const { return buffer_; }
  std::size_t length() const { return buffer_ != nullptr ? length_ : 0; }
  // Byte `index` (< length()) as it is now.
  std::uint8_t At(std::size_t index) const { return std::as_const(*buffer_)[index]; }
  // Overwrites byte `index` (< length()) of the shown buffer, as the user does.
  void Edit(std::size_t index, std::uint8_t value) {
    (*buffer_)[index] = value;
    if (edited_) edited_(index);
  }

 protected:
  // A buffer was shown: draw it from the start, forgetting what was edited in the one before.
  virtual void Redraw() {}

 private:
  device::ChipBuffer* buffer_ = nullptr;
  std::size_t length_ = 0;
  std::function<void(std::size_t)> edited_;
};

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void ShowMessage(const std::string& text) = 0;  // modal; returns when dismissed
};

class LogSink {
 public:
  virtual ~LogSink() = default;
  virtual void AppendLog(const std::string& text) = 0;      // selects it, log page to front
  virtual void InsertLogLine(const std::string& text) = 0;  // quietly, at the end
};

// Pages of the tab control.
enum Page : int { FlashPage = 0, EepromPage = 1, LogPage = 2, IntroPage = 3 };

class PageSwitch {
 public:
  virtual ~PageSwitch() = default;
  virtual void ShowPage(int page) = 0;
};

}  // namespace kestrel::control
