#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

// A hex view holds its own copy of the bytes. SetData copies `length` bytes in and shows them;
// GetData copies the view's bytes, edits included, out, and 0xFF for bytes beyond its content.
class HexViewPort {
 public:
  virtual ~HexViewPort() = default;
  virtual void SetData(const std::uint8_t* bytes, std::size_t length) = 0;
  virtual void GetData(std::uint8_t* bytes, std::size_t length) const = 0;
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
