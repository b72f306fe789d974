#include <cctype>
#include <cstdint>

#include "control/ActivityLog.h"
#include "control/ProgrammerController.h"
#include "control/Texts.h"
#include "device/StatusCode.h"

namespace kestrel::control {
namespace {

std::string UpperCased(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// Index i of `total` pages as a bar position: the first page 0, the last 100. Unsigned
// arithmetic as the bar always had: a total of 0 divides by 2^32-1 and gives 0.
int ProgressPosition(std::uint32_t index, std::uint32_t total) {
  if (total == 1) return 100;
  return static_cast<int>(index * 100u / (total - 1u));
}

}  // namespace

// Turns one status code into what the user sees, then releases the busy mark and lets the
// queue start the next operation. Every line of one dispatch carries the same time stamp.
void ProgrammerController::OnProgrammerStatus(std::uint32_t code, std::uint32_t argument) {
  namespace status = device::status;
  const std::tm now = LocalTimeNow();
  auto line = [&](const char* pattern) { log_.AppendLog(FormatTimeStamped(pattern, now)); };
  const std::uint8_t* reply = engine_.response.data();

  switch (code) {
    case status::PageWritten:
    case status::PageRead:
      frontEnd_.SetProgress(ProgressPosition(argument, engine_.pageTotal));
      return;
    case status::Ready: line(texts::kReadyLine); break;
    case status::Unlocked: line(texts::kUnlockedLine); break;
    case status::Erased: line(texts::kErasedLine); break;
    case status::SignatureRead:
      frontEnd_.SetFieldText(Field::Signature,
                             UpperCased(texts::Printf(texts::kThreeBytePattern, reply[0], reply[1], reply[2])));
      line(texts::kSignatureReadLine);
      break;
    case status::CalibrationRead:
      frontEnd_.SetFieldText(Field::Calibration, UpperCased(texts::Printf(texts::kFourBytePattern, reply[0],
                                                                          reply[1], reply[2], reply[3])));
      line(texts::kCalibrationReadLine);
      break;
    case status::FuseLockRead:
      frontEnd_.SetFieldText(Field::FuseLock, UpperCased(texts::Printf(texts::kFourBytePattern, reply[0],
                                                                       reply[1], reply[2], reply[3])));
      line(texts::kFuseLockReadLine);
      break;
    case status::FusesWritten: line(texts::kFusesWrittenLine); break;
    case status::LockWritten: line(texts::kLockWrittenLine); break;
    case status::FlashWritten: line(texts::kFlashWrittenLine); break;
    case status::EepromWritten: line(texts::kEepromWrittenLine); break;
    case status::FlashRead:
      line(texts::kFlashReadLine);
      frontEnd_.FlashView().SetData(engine_.flashReadback.data(), FlashViewLength());
      frontEnd_.ShowPage(image::FlashPage);
      break;
    case status::EepromRead:
      line(texts::kEepromReadLine);
      frontEnd_.EepromView().SetData(engine_.eepromReadback.data(), EepromViewLength());
      frontEnd_.ShowPage(image::EepromPage);
      break;
    case status::ReceiveTimeout:
      line(texts::kReceiveTimeoutLine);
      [[fallthrough]];
    case status::CommunicationError:
      line(texts::kCommunicationErrorLine);
      engine_.StartErrorBeep();
      line(texts::kOtherReasonLine);
      // Which request failed and how, kept by the engine.
      if (!engine_.lastFailure.text.empty()) log_.AppendLog(engine_.lastFailure.text);
      break;
    case status::FlashVerifyFailed:
    case status::EepromVerifyFailed: engine_.StartErrorBeep(); break;
    case status::FlashVerified:
    case status::EepromVerified:
    case status::FlashFileOpened:
    case status::EepromFileOpened:
    case status::EepromFileSaved:
    case status::FlashFileSaved: break;
    default:
      engine_.StartErrorBeep();
      line(texts::kOtherReasonLine);
      break;
  }

  engine_.busy = 0;
  // The operation that just ended has finished with the bus: a deferred rescan is safe now.
  if (arrivalPending_) HandleArrivalNow();
  RunNextOperation();
}

}  // namespace kestrel::control
