#pragma once

#include <cstdint>
#include <optional>

#include "base/Translate.h"
#include "device/ChipMemories.h"
#include "device/StatusCode.h"

namespace kestrel::control {

// What the dispatcher does with one status code, in this order: the reply bytes into a
// field, the time-stamped line, the read-back into its view and page, the link-failure lines
// ("通讯出错", beep, "其它原因", which request failed); a failure sounds the error beep, and one
// marked otherReason adds "其它原因".
struct StatusEntry {
  enum class Kind { Progress, Success, Failure };
  enum class Reply { None, Signature, Calibration, FuseLock };

  device::Status code;
  Kind kind;
  const Message* line = nullptr;  // time-stamped pattern
  Reply reply = Reply::None;
  std::optional<device::MemoryKind> readback = std::nullopt;  // the memory whose read-back it shows
  bool linkFailure = false;
  bool otherReason = false;
};

// The entry of `code`; a code of no entry is a failure that reads as "其它原因".
const StatusEntry& FindStatus(device::Status code);

}  // namespace kestrel::control
