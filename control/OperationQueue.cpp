#include "control/ActivityLog.h"
#include "control/ProgrammerController.h"
#include "control/Texts.h"
#include "image/ImageFiles.h"
#include "image/VerifyReport.h"

namespace kestrel::control {

bool ProgrammerController::RefuseWhileBusy() {
  if (engine_.busy == 0) return false;
  log_.AppendLog(texts::kBusyLine);
  engine_.StartErrorBeep();
  return true;
}

void ProgrammerController::OnOperationButton(OperationButton button) {
  if (RefuseWhileBusy()) return;
  PendingOperations& p = pending_;
  switch (button) {
    case OperationButton::ReadSignature: p.readSignature = 1; break;
    case OperationButton::ReadCalibration: p.readCalibration = 1; break;
    case OperationButton::ReadFuseLock: p.readFuseLock = 1; break;
    case OperationButton::Erase: p.eraseChip = 1; p.readFuseLock = 1; break;
    case OperationButton::WriteFuses: p.writeFuses = 1; p.readFuseLock = 1; break;
    case OperationButton::WriteLock: p.writeLock = 1; p.readFuseLock = 1; break;
    case OperationButton::WriteFlash: p.writeFlash = 1; break;
    case OperationButton::ReadFlash: p.readFlash = 1; break;
    case OperationButton::VerifyFlash: p.verifyFlash = 1; break;
    case OperationButton::WriteEeprom: p.writeEeprom = 1; break;
    case OperationButton::ReadEeprom: p.readEeprom = 1; break;
    case OperationButton::VerifyEeprom: p.verifyEeprom = 1; break;
    case OperationButton::OpenFlashFile: p.openFlashFile = 1; break;
    case OperationButton::SaveFlashFile: p.saveFlashFile = 1; break;
    case OperationButton::OpenEepromFile: p.openEepromFile = 1; break;
    case OperationButton::SaveEepromFile: p.saveEepromFile = 1; break;
    case OperationButton::Auto: RunAuto(frontEnd_.AutoBoxes()); return;
    case OperationButton::Burn: RunBurn(); return;
  }
  RunNextOperation();
}

void ProgrammerController::RunAuto(const AutoSelection& boxes) {
  log_.ClearLog();
  PendingOperations& p = pending_;
  if (boxes.eraseChip) p.eraseChip = 1;
  if (boxes.writeFlash) p.writeFlash = 1;
  if (boxes.readFlash) p.readFlash = 1;
  if (boxes.verifyFlash) p.verifyFlash = 1;
  if (boxes.writeEeprom) p.writeEeprom = 1;
  if (boxes.readEeprom) p.readEeprom = 1;
  if (boxes.verifyEeprom) p.verifyEeprom = 1;
  if (boxes.writeFuses) p.writeFuses = 1;
  if (boxes.writeLock) p.writeLock = 1;
  p.readFuseLock = 1;  // every Auto run ends by showing the fuse and lock bytes
  RunNextOperation();
}

void ProgrammerController::RunBurn() {
  log_.ClearLog();
  PendingOperations& p = pending_;
  p.readSignature = p.readCalibration = p.writeFuses = p.eraseChip = 1;
  p.writeFlash = p.readFlash = p.verifyFlash = p.writeLock = p.readFuseLock = 1;
  RunNextOperation();
}

// Starts the first pending operation in priority order. `busy` and the flag are written
// before the operation starts: a window-thread operation dispatches its completion inside
// its own call, and that dispatch clears `busy` and re-enters here for the next one.
void ProgrammerController::RunNextOperation() {
  PendingOperations& p = pending_;
  auto take = [this](int& flag) {
    if (flag == 0) return false;
    engine_.busy = 1;
    flag = 0;
    return true;
  };
  if (take(p.saveFlashFile)) return image::SaveFlashImage(imageContext_);
  if (take(p.saveEepromFile)) return image::SaveEepromImage(imageContext_);
  if (take(p.openFlashFile)) return image::OpenFlashImage(imageContext_);
  if (take(p.openEepromFile)) return image::OpenEepromImage(imageContext_);
  if (take(p.readSignature)) return engine_.ReadSignature();
  if (take(p.readCalibration)) return engine_.ReadCalibration();
  if (take(p.unlock)) return engine_.Unlock();
  if (take(p.eraseChip)) return engine_.EraseChip();
  if (take(p.writeFlash)) return StartTransfer(device::BlockTransfer::WriteFlash, texts::kFlashWriteStartLine);
  if (take(p.readFlash)) return StartTransfer(device::BlockTransfer::ReadFlash, texts::kFlashReadStartLine);
  if (take(p.verifyFlash)) return image::VerifyFlash(imageContext_);
  if (take(p.writeEeprom)) return StartTransfer(device::BlockTransfer::WriteEeprom, texts::kEepromWriteStartLine);
  if (take(p.readEeprom)) return StartTransfer(device::BlockTransfer::ReadEeprom, texts::kEepromReadStartLine);
  if (take(p.verifyEeprom)) return image::VerifyEeprom(imageContext_);
  if (take(p.writeFuses)) return engine_.WriteFuses(frontEnd_.FuseText());
  if (take(p.writeLock)) return engine_.WriteLock(frontEnd_.LockText());
  if (take(p.readFuseLock)) return engine_.ReadFuseLock();
  engine_.StartSuccessBeep();
}

void ProgrammerController::StartTransfer(device::BlockTransfer transfer, const char* startLine) {
  // A refused transfer has already logged why and dispatched its code.
  if (engine_.StartTransfer(transfer)) log_.AppendLog(FormatTimeStamped(startLine, LocalTimeNow()));
}

}  // namespace kestrel::control
