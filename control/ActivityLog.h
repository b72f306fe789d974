#pragma once

#include <ctime>
#include <string>
#include <string_view>

#include "control/FrontEndPorts.h"

namespace kestrel::control {

// The list control of the log page, addressed by explicit index so that nothing sorts it.
class LogListPort {
 public:
  virtual ~LogListPort() = default;
  virtual void InsertLine(int index, const std::string& text) = 0;
  virtual void SelectLine(int index) = 0;  // and scroll it into view
  virtual void ResetLines() = 0;
  // The line at `index` tells of a failure or a refusal; a front end may set it apart.
  virtual void MarkFailureLine(int /*index*/) {}
};

// The activity log: lines in the order written, the running count, the time stamp.
class ActivityLog : public LogSink {
 public:
  ActivityLog(LogListPort& list, PageSwitch& pages) : list_(list), pages_(pages) {}

  void AppendLog(const std::string& text) override;      // log page to front, insert, select
  void InsertLogLine(const std::string& text) override;  // insert only
  void ClearLog();
  // The lines from `failureFrom` on tell of a failure (the failed operation's own); so does
  // every line written while `failureLines` is set (the dispatch of a failure code).
  void MarkFailure();

  int logLineCount = 0;  // lines in the list, and the index of the next one
  int failureFrom = 0;   // the first line of the operation under way: after the last code shown or press
  bool failureLines = false;
  bool keepPage = false;  // a run that keeps its page in front: the log page stays behind

 private:
  LogListPort& list_;
  PageSwitch& pages_;
};

// The pattern formatted with `time` by strftime, "%X" read as "%H:%M:%S" so that the stamp
// keeps its form under any locale.
std::string FormatTimeStamped(std::string_view pattern, const std::tm& time);
std::tm LocalTimeNow();

}  // namespace kestrel::control
