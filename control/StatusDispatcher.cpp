#include "control/StatusDispatcher.h"

#include <algorithm>

#include "base/Texts.h"
#include "control/StatusTable.h"
#include "control/Wording.h"

namespace kestrel::control {
namespace {

std::string UpperCased(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::size_t ClampedSize(std::int64_t size, std::size_t limit) {
  if (size <= 0) return 0;
  return static_cast<std::uint64_t>(size) < limit ? static_cast<std::size_t>(size) : limit;
}

}  // namespace

std::size_t StatusDispatcher::FlashViewLength() const {
  return ClampedSize(geometry_.FlashSize(), engine_.memories().flashReadback.size());
}

std::size_t StatusDispatcher::EepromViewLength() const {
  return ClampedSize(geometry_.EepromSize(), engine_.memories().eepromReadback.size());
}

bool StatusDispatcher::Dispatch(std::uint32_t code, std::uint32_t argument) {
  using Kind = StatusEntry::Kind;
  const StatusEntry& entry = FindStatus(code);
  if (entry.kind == Kind::Progress) {
    frontEnd_.SetProgress(ProgressPosition(argument, engine_.PageTotal()));
    return false;
  }
  const std::tm now = LocalTimeNow();
  auto line = [&](const char* pattern) { log_.AppendLog(FormatTimeStamped(pattern, now)); };
  log_.failureLines = entry.kind == Kind::Failure;
  const auto& reply = engine_.LastReply();

  switch (entry.reply) {
    case StatusEntry::Reply::Signature:
      frontEnd_.SetFieldText(Field::Signature,
                             UpperCased(Printf(texts::kThreeBytePattern, reply[0], reply[1], reply[2])));
      break;
    case StatusEntry::Reply::Calibration:
    case StatusEntry::Reply::FuseLock:
      frontEnd_.SetFieldText(
          entry.reply == StatusEntry::Reply::Calibration ? Field::Calibration : Field::FuseLock,
          UpperCased(Printf(texts::kFourBytePattern, reply[0], reply[1], reply[2], reply[3])));
      break;
    case StatusEntry::Reply::None:
      break;
  }
  if (entry.line != nullptr) line(*entry.line);
  if (entry.readback == StatusEntry::Readback::Flash) {
    frontEnd_.FlashView().SetData(engine_.memories().flashReadback.Use(FlashViewLength()), FlashViewLength());
    frontEnd_.ShowPage(FlashPage);
  } else if (entry.readback == StatusEntry::Readback::Eeprom) {
    frontEnd_.EepromView().SetData(engine_.memories().eepromReadback.Use(EepromViewLength()),
                                   EepromViewLength());
    frontEnd_.ShowPage(EepromPage);
  }
  if (entry.linkFailure) {
    line(texts::kCommunicationErrorLine);
    operationFailed_();
    line(texts::kOtherReasonLine);
    log_.AppendLog(LinkFailureLine(engine_.LastFailure()));
  } else if (entry.kind == Kind::Failure) {
    operationFailed_();
    if (entry.otherReason) line(texts::kOtherReasonLine);
  }
  log_.failureLines = false;
  log_.failureFrom = log_.logLineCount;
  return true;
}

}  // namespace kestrel::control
