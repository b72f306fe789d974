#include "control/ProgrammerController.h"

#include <cerrno>

#include "base/Bytes.h"
#include "base/Texts.h"
#include "control/VerifyReport.h"
#include "control/Wording.h"
#include "device/StatusCode.h"

namespace kestrel::control {

ProgrammerController::ProgrammerController(device::UsbBus& bus, FrontEnd& frontEnd,
                                           device::StatusChannel& channel)
    : frontEnd_(frontEnd),
      link_(bus),
      engine_(link_, geometry_, channel),
      log_(frontEnd.LogList(), frontEnd),
      dispatcher_(frontEnd, log_, engine_, geometry_, [this] { OperationFailed(); }),
      imageContext_{engine_,   reader_, geometry_, frontEnd, frontEnd.FlashView(), frontEnd.EepromView(),
                    log_,      frontEnd, frontEnd, [this] { OperationFailed(); }} {}

ProgrammerController::~ProgrammerController() = default;

chips::CatalogueLoad ProgrammerController::LoadCatalogue(const std::vector<std::string>& searchPaths) {
  chips::CatalogueLoad load = chips::LoadChipCatalogue(searchPaths, catalogue_);
  if (load.loaded) {
    for (const std::string& line : CatalogueCutLines(catalogue_.cuts)) log_.AppendLog(line);
  }
  return load;
}

void ProgrammerController::BindImageViews() {
  frontEnd_.FlashView().SetData(engine_.memories().flashImage.data(), dispatcher_.FlashViewLength());
  frontEnd_.EepromView().SetData(engine_.memories().eepromImage.data(), dispatcher_.EepromViewLength());
}

bool ProgrammerController::ProbeProgrammer() {
  if (link_.Open() != device::OpenOk) {
    frontEnd_.ShowMessage(ProgrammerMissingMessage());
    return false;
  }
  engine_.PostStatus(device::status::Ready);
  return true;
}

void ProgrammerController::OnChipSelChange(int index) { chips::SelectChip(catalogue_, index, geometry_); }

void ProgrammerController::SetMode(std::uint8_t mode) { link_.currentMode = mode; }

void ProgrammerController::OnDeviceArrival() {
  // libusb-0.1 is not thread-safe and a rescan frees devices that have gone: never rescan
  // under a running operation.
  if (busy_) {
    arrivalPending_ = true;
    return;
  }
  HandleArrivalNow();
}

void ProgrammerController::HandleArrivalNow() {
  arrivalPending_ = false;
  if (link_.Open() != device::OpenOk) frontEnd_.ShowMessage(ProgrammerMissingMessage());
}

std::string ProgrammerController::ProgrammerMissingMessage() const {
  if (link_.lastOpenError == -EACCES || link_.lastOpenError == -EPERM) return AccessDeniedLine();
  return texts::InsertProgrammerMessage();
}

bool ProgrammerController::RefuseWhileBusy() {
  if (!busy_) return false;
  log_.AppendLog(texts::kBusyLine);
  OperationFailed();
  return true;
}

void ProgrammerController::OnOperationButton(OperationButton button) {
  if (RefuseWhileBusy()) return;
  if (button == OperationButton::Auto) {
    log_.ClearLog();
    queue_.QueueAuto(frontEnd_.AutoBoxes());
  } else if (button == OperationButton::Burn) {
    log_.ClearLog();
    queue_.QueueBurn();
  } else {
    queue_.QueueButton(button);
  }
  RunNextOperation();
}

void ProgrammerController::OnOperation(Operation operation) {
  if (RefuseWhileBusy()) return;
  queue_.Queue(operation);
  RunNextOperation();
}

// Starts the first waiting operation. `busy_` is set before the operation starts: a
// window-thread operation dispatches its completion inside its own call, and that dispatch
// clears `busy_` and re-enters here for the next one.
void ProgrammerController::RunNextOperation() {
  const std::optional<Operation> next = queue_.TakeNext();
  if (!next) {
    frontEnd_.Tones().Play(kSuccessToneHz, kSuccessToneMs);
    return;
  }
  busy_ = true;
  Run(*next);
}

void ProgrammerController::Run(Operation operation) {
  using device::BlockTransfer;
  switch (operation) {
    case Operation::SaveFlashFile: return SaveFlashImage(imageContext_);
    case Operation::SaveEepromFile: return SaveEepromImage(imageContext_);
    case Operation::OpenFlashFile: return OpenFlashImage(imageContext_);
    case Operation::OpenEepromFile: return OpenEepromImage(imageContext_);
    case Operation::ReadSignature: return engine_.ReadSignature();
    case Operation::ReadCalibration: return engine_.ReadCalibration();
    case Operation::Unlock: return engine_.Unlock();
    case Operation::EraseChip: return engine_.EraseChip();
    case Operation::WriteFlash: return StartTransfer(BlockTransfer::WriteFlash, texts::kFlashWriteStartLine);
    case Operation::ReadFlash: return StartTransfer(BlockTransfer::ReadFlash, texts::kFlashReadStartLine);
    case Operation::VerifyFlash: return VerifyFlash(imageContext_);
    case Operation::WriteEeprom: return StartTransfer(BlockTransfer::WriteEeprom, texts::kEepromWriteStartLine);
    case Operation::ReadEeprom: return StartTransfer(BlockTransfer::ReadEeprom, texts::kEepromReadStartLine);
    case Operation::VerifyEeprom: return VerifyEeprom(imageContext_);
    case Operation::WriteFuses: return WriteFuses();
    case Operation::WriteLock: return WriteLock();
    case Operation::ReadFuseLock: return engine_.ReadFuseLock();
  }
}

void ProgrammerController::StartTransfer(device::BlockTransfer transfer, const char* startLine) {
  const device::TransferRefusal refusal = engine_.StartTransfer(transfer);
  if (refusal.Refused()) return Refuse(TransferRefusalLine(transfer, refusal, geometry_));
  log_.AppendLog(FormatTimeStamped(startLine, LocalTimeNow()));
}

// Arbitrary fuse bytes can lock a chip out of its programming mode, so text that is not six
// hex digits is refused instead of guessed at.
void ProgrammerController::WriteFuses() {
  const std::string text = frontEnd_.FuseText();
  std::array<std::uint8_t, 3> fuses{};
  if (!ParseHexText(std::string_view(text).substr(0, 6), 3, fuses.data())) {
    return Refuse(Printf(texts::kFuseTextInvalidPattern, text.c_str()));
  }
  engine_.WriteFuses(fuses);
}

void ProgrammerController::WriteLock() {
  const std::string text = frontEnd_.LockText();
  std::uint8_t lock = 0;
  if (!ParseHexText(std::string_view(text).substr(0, 2), 1, &lock)) {
    return Refuse(Printf(texts::kLockTextInvalidPattern, text.c_str()));
  }
  engine_.WriteLock(lock);
}

void ProgrammerController::Refuse(const std::string& line) {
  log_.AppendLog(line);
  engine_.PostStatus(device::status::Refused);
}

void ProgrammerController::OperationFailed() {
  ++failures_;
  frontEnd_.Tones().Play(kErrorToneHz, kErrorToneMs);
}

void ProgrammerController::OnProgrammerStatus(std::uint32_t code, std::uint32_t argument) {
  if (!dispatcher_.Dispatch(code, argument)) return;
  busy_ = false;
  // The operation that just ended has finished with the bus: a deferred rescan is safe now.
  if (arrivalPending_) HandleArrivalNow();
  RunNextOperation();
}

}  // namespace kestrel::control
