#include "control/ActivityLog.h"

#include <string>

namespace kestrel::control {

void ActivityLog::AppendLog(const std::string& text) {
  if (!keepPage) pages_.ShowPage(LogPage);
  list_.InsertLine(logLineCount, text);
  list_.SelectLine(logLineCount);
  if (failureLines) list_.MarkFailureLine(logLineCount);
  ++logLineCount;
}

void ActivityLog::InsertLogLine(const std::string& text) {
  list_.InsertLine(logLineCount, text);
  if (failureLines) list_.MarkFailureLine(logLineCount);
  ++logLineCount;
}

void ActivityLog::MarkFailure() {
  for (int line = failureFrom; line < logLineCount; ++line) list_.MarkFailureLine(line);
}

void ActivityLog::ClearLog() {
  list_.ResetLines();
  logLineCount = failureFrom = 0;
}

std::string FormatTimeStamped(std::string_view pattern, const std::tm& time) {
  // %X follows LC_TIME, which a front end may have set from the environment; the stamp must
  // keep one form, so spell the 24-hour time out.
  std::string fixed;
  fixed.reserve(pattern.size() + 8);
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 'X') {
      fixed += "%H:%M:%S";
      ++i;
    } else {
      fixed += pattern[i];
    }
  }
  std::string text(fixed.size() * 2 + 64, '\0');
  const std::size_t length = std::strftime(text.data(), text.size(), fixed.c_str(), &time);
  text.resize(length);
  return text;
}

std::tm LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

}  // namespace kestrel::control
