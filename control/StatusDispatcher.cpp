#include "control/StatusDispatcher.h"

#include <algorithm>

#include "base/Texts.h"
#include "control/MemoryTable.h"
#include "control/StatusTable.h"
#include "control/Wording.h"

namespace kestrel::control {
namespace {}  // namespace

bool StatusDispatcher::Dispatch(device::Status code, std::uint32_t argument) {
  using Kind = StatusEntry::Kind;
  const StatusEntry& entry = FindStatus(code);
  if (entry.kind == Kind::Progress) {
    const device::BlockTransfer transfer = engine_.Transfer();
    const bool write =
        transfer == device::BlockTransfer::WriteFlash || transfer == device::BlockTransfer::WriteEeprom;
    frontEnd_.ShowProgress({device::MemoryOf(transfer), write ? Direction::Write : Direction::Read, argument,
                            engine_.PageTotal(), ProgressPosition(argument, engine_.PageTotal())});
    return false;
  }
  const std::tm now = LocalTimeNow();
  auto line = [&](const char* pattern) { log_.AppendLog(FormatTimeStamped(pattern, now)); };
  log_.failureLines = entry.kind == Kind::Failure;
  const auto& reply = engine_.LastReply();

  switch (entry.reply) {
    case StatusEntry::Reply::Signature:
      frontEnd_.ShowFieldBytes({Field::Signature, {reply[0], reply[1], reply[2]}});
      frontEnd_.SetFieldText(Field::Signature,
                             Printf(texts::kThreeBytePattern, reply[0], reply[1], reply[2]));
      break;
    case StatusEntry::Reply::Calibration:
    case StatusEntry::Reply::FuseLock: {
      const bool calibration = entry.reply == StatusEntry::Reply::Calibration;
      const Field field = calibration ? Field::Calibration : Field::FuseLock;
      const chips::ChipFacts* chip = selected_ != nullptr ? *selected_ : nullptr;
      frontEnd_.ShowFieldBytes({field,
                                {reply[0], reply[1], reply[2], reply[3]},
                                chip != nullptr && !calibration ? chip->fuseBytes : 3});
      frontEnd_.SetFieldText(field, Printf(texts::kFourBytePattern, reply[0], reply[1], reply[2], reply[3]));
      break;
    }
    case StatusEntry::Reply::None:
      break;
  }
  if (entry.line != nullptr) line(*entry.line);
  if (entry.readback) {
    device::ChipMemories& memories = engine_.memories();
    const std::size_t length = MemoryLength(geometry_, memories, *entry.readback);
    ShowReadback(frontEnd_.View(*entry.readback), memories[*entry.readback], length);
    log_.AppendLog(CrcLine(EntryOf(*entry.readback).name, memories[*entry.readback].readback, length));
    frontEnd_.ShowPage(EntryOf(*entry.readback).page);
  }
  if (entry.linkFailure) {
    line(texts::kCommunicationErrorLine);
    operationFailed_(code);
    line(texts::kOtherReasonLine);
    log_.AppendLog(LinkFailureLine(engine_.LastFailure()));
  } else if (entry.kind == Kind::Failure) {
    operationFailed_(code);
    if (entry.otherReason) line(texts::kOtherReasonLine);
  }
  log_.failureLines = false;
  log_.failureFrom = log_.logLineCount;
  return true;
}

}  // namespace kestrel::control
