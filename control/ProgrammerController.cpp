#include "control/ProgrammerController.h"

#include <algorithm>
#include <utility>

#include "base/Bytes.h"
#include "base/Texts.h"
#include "control/ChipSafety.h"
#include "control/VerifyReport.h"
#include "control/WholeChipFiles.h"
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
      imageContext_{engine_,
                    reader_,
                    geometry_,
                    frontEnd,
                    frontEnd.FlashView(),
                    frontEnd.EepromView(),
                    log_,
                    frontEnd,
                    frontEnd,
                    [this] { OperationFailed(); }} {}

ProgrammerController::~ProgrammerController() = default;

chips::CatalogueLoad ProgrammerController::LoadCatalogue(const std::vector<std::string>& searchPaths) {
  return UseChipBooks(chips::LoadChipBooks(searchPaths));
}

chips::CatalogueLoad ProgrammerController::UseChipBooks(chips::ChipBooks books) {
  catalogue_ = books.catalogue;
  facts_ = std::move(books.facts);
  if (books.load.loaded) {
    for (const std::string& line : CatalogueCutLines(catalogue_.cuts)) log_.AppendLog(line);
  }
  return std::move(books.load);
}

// Only the chip's part of each image is shown, and filled (memory is taken as it is used).
void ProgrammerController::BindImageViews() {
  const std::size_t flash = FlashLength(geometry_, engine_.memories());
  const std::size_t eeprom = EepromLength(geometry_, engine_.memories());
  frontEnd_.FlashView().SetData(engine_.memories().flashImage.Use(flash), flash);
  frontEnd_.EepromView().SetData(engine_.memories().eepromImage.Use(eeprom), eeprom);
}

bool ProgrammerController::ProbeProgrammer() {
  if (link_.Open() != device::OpenOk) {
    frontEnd_.ShowMessage(ProgrammerMissingMessage());
    return false;
  }
  engine_.PostStatus(device::Status::Ready);
  if (const std::string line = ProgrammersFoundLine(link_); !line.empty()) log_.AppendLog(line);
  return true;
}

void ProgrammerController::OnChipSelChange(int index) {
  if (!chips::SelectChip(catalogue_, index, geometry_)) return;
  selectedIndex_ = index;
  expectedSignature_.reset();
  signatureChecked_ = false;
  ForgetReadbacks();
  const std::string name = chips::DisplayChipName(catalogue_.records[static_cast<std::size_t>(index)]);
  selectedFacts_ = facts_.Find(name);
  if (selectedFacts_ != nullptr || facts_.chips.empty()) return;
  // Said once per chip: the chip works as before, only without the checks.
  if (std::find(noFactsNoted_.begin(), noFactsNoted_.end(), name) != noFactsNoted_.end()) return;
  noFactsNoted_.push_back(name);
  log_.AppendLog(Printf(texts::kNoFactsPattern, name.c_str()));
}

void ProgrammerController::SetMode(device::ProgrammingMode mode) {
  link_.currentMode = mode;
  signatureChecked_ = false;
  ForgetReadbacks();
}

void ProgrammerController::ForgetReadbacks() {
  engine_.memories().flashReadbackValid = false;
  engine_.memories().eepromReadbackValid = false;
  // Another chip, mode or programmer: what the run erased is not known to be there.
  flashErased_ = false;
  flashPagesWritten_ = 0;
}

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
  signatureChecked_ = false;
  // Another programmer may hold another chip.
  ForgetReadbacks();
  if (link_.Open() != device::OpenOk) {
    frontEnd_.ShowMessage(ProgrammerMissingMessage());
  } else if (const std::string line = ProgrammersFoundLine(link_); !line.empty()) {
    log_.AppendLog(line);
  }
}

std::string ProgrammerController::ProgrammerMissingMessage() const {
  return control::ProgrammerMissingMessage(link_);
}

bool ProgrammerController::RefuseWhileBusy() {
  if (!busy_) return false;
  // Only the busy line tells of this failure, not the lines of the operation that runs.
  const int running = std::exchange(log_.failureFrom, log_.logLineCount);
  log_.AppendLog(texts::kBusyLine);
  // The refused press failed, not the run under way: a backup or restore goes on.
  CountFailure();
  log_.failureFrom = running;
  return true;
}

void ProgrammerController::OnOperationButton(OperationButton button) {
  if (RefuseWhileBusy()) return;
  log_.failureFrom = log_.logLineCount;
  if (button == OperationButton::Auto) {
    log_.ClearLog();
    runKind_ = RunKind::Auto;
    queue_.QueueAuto(frontEnd_.AutoBoxes());
  } else if (button == OperationButton::Burn) {
    log_.ClearLog();
    queue_.QueueBurn();
  } else if (button == OperationButton::Backup) {
    const auto path = frontEnd_.ChooseFile(FileDialogKind::SaveBackup);
    if (!path) return;
    backup_.emplace();
    backup_->path = *path;
    backup_->start = std::chrono::steady_clock::now();
    if (selectedFacts_ != nullptr) backup_->fuseBytes = selectedFacts_->fuseBytes;
    runKind_ = RunKind::Backup;
    queue_.QueueButton(button);
  } else if (button == OperationButton::Restore) {
    runKind_ = RunKind::Restore;
    queue_.QueueButton(button);
  } else if (button == OperationButton::FactoryReset) {
    if (selectedFacts_ == nullptr) {
      log_.AppendLog(selectedIndex_ < 0
                         ? std::string(texts::kPickChipFirstLine)
                         : Printf(texts::kNoFactsPattern, chips::DisplayChipName(SelectedRecord()).c_str()));
      return OperationFailed();
    }
    runKind_ = RunKind::FactoryReset;
    expectedFuses_ = selectedFacts_->factory;
    frontEnd_.SetFuseText(FuseTextOf(*expectedFuses_));
    log_.AppendLog(Printf(texts::kFactoryValuesPattern, FuseTextOf(*expectedFuses_).c_str(),
                          LockTextOf(*expectedFuses_).c_str()));
    queue_.QueueButton(button);
  } else {
    queue_.QueueButton(button);
  }
  RunNextOperation();
}

void ProgrammerController::OnOperation(Operation operation) {
  if (RefuseWhileBusy()) return;
  log_.failureFrom = log_.logLineCount;
  queue_.Queue(operation);
  RunNextOperation();
}

// Starts the first waiting operation. `busy_` is set before the operation starts: a
// window-thread operation dispatches its completion inside its own call, and that dispatch
// clears `busy_` and re-enters here for the next one.
void ProgrammerController::RunNextOperation() {
  const std::optional<Operation> next = queue_.TakeNext();
  if (!next) {
    // The run is over: the next one checks the chip again.
    signatureChecked_ = false;
    runKind_ = RunKind::Plain;
    flashErased_ = false;
    flashPagesWritten_ = 0;
    expectedFuses_.reset();
    backup_.reset();
    frontEnd_.Tones().Play(kSuccessToneHz, kSuccessToneMs);
    return;
  }
  busy_ = true;
  if (NeedsSignatureCheck(*next)) {
    // Nothing that changes the chip is sent before its signature has been read and compared.
    queue_.Queue(*next);
    followUp_ = FollowUp::SignatureCheck;
    return engine_.ReadSignature();
  }
  Run(*next);
}

bool ProgrammerController::NeedsSignatureCheck(Operation operation) const {
  // A restore always checks: it erases the chip to clone another onto it.
  if ((!signatureCheck_ && runKind_ != RunKind::Restore) || signatureChecked_) return false;
  if (selectedFacts_ == nullptr && !expectedSignature_) return false;
  switch (operation) {
    case Operation::Unlock:
    case Operation::EraseChip:
    case Operation::WriteFlash:
    case Operation::WriteEeprom:
    case Operation::WriteFuses:
    case Operation::WriteLock:
      return true;
    default:
      return false;
  }
}

void ProgrammerController::Run(Operation operation) {
  using device::BlockTransfer;
  device::ChipMemories& memories = engine_.memories();
  switch (operation) {
    case Operation::OpenWholeChipFile:
      return OpenWholeChip();
    case Operation::SaveFlashFile:
      return SaveFlashImage(imageContext_);
    case Operation::SaveEepromFile:
      return SaveEepromImage(imageContext_);
    case Operation::OpenFlashFile:
      return OpenFlashImage(imageContext_);
    case Operation::OpenEepromFile:
      return OpenEepromImage(imageContext_);
    case Operation::ReadSignature:
      if (backup_) followUp_ = FollowUp::BackupSignature;
      return engine_.ReadSignature();
    case Operation::Identify:
      followUp_ = FollowUp::Identify;
      return engine_.ReadSignature();
    case Operation::ReadCalibration:
      return engine_.ReadCalibration();
    case Operation::Unlock:
    case Operation::EraseChip:
      ForgetReadbacks();
      return operation == Operation::Unlock ? engine_.Unlock() : engine_.EraseChip();
    case Operation::WriteFlash:
      if (!memories.flashImageLoaded) return Refuse(Printf(texts::kNoImagePattern, "FLASH", "FLASH"));
      memories.flashReadbackValid = false;
      return StartTransfer(BlockTransfer::WriteFlash, texts::kFlashWriteStartLine);
    case Operation::ReadFlash:
      memories.flashReadbackValid = false;
      return StartTransfer(BlockTransfer::ReadFlash, texts::kFlashReadStartLine, FastVerifyPages());
    case Operation::VerifyFlash:
      return VerifyFlash(imageContext_);
    case Operation::WriteEeprom:
      if (!memories.eepromImageLoaded) return Refuse(Printf(texts::kNoImagePattern, "EEPROM", "EEPROM"));
      memories.eepromReadbackValid = false;
      return StartTransfer(BlockTransfer::WriteEeprom, texts::kEepromWriteStartLine);
    case Operation::ReadEeprom:
      memories.eepromReadbackValid = false;
      return StartTransfer(BlockTransfer::ReadEeprom, texts::kEepromReadStartLine);
    case Operation::VerifyEeprom:
      return VerifyEeprom(imageContext_);
    case Operation::WriteFuses:
      return WriteFuses();
    case Operation::WriteLock:
      return WriteLock();
    case Operation::ReadFuseLock:
      if (expectedFuses_) followUp_ = FollowUp::FuseCheck;
      return engine_.ReadFuseLock();
    case Operation::BackupFuseLock:
      followUp_ = FollowUp::BackupLock;
      return engine_.ReadFuseLock();
    case Operation::WriteBackupFile: {
      BackupRun backup = *backup_;
      backup_.reset();
      return WriteBackupFile(imageContext_, backup);
    }
  }
}

void ProgrammerController::StartTransfer(device::BlockTransfer transfer, const char* startLine,
                                         std::uint32_t readPages) {
  const device::TransferRefusal refusal = engine_.StartTransfer(transfer, readPages);
  if (refusal.Refused()) return Refuse(TransferRefusalLine(transfer, refusal, geometry_));
  log_.AppendLog(FormatTimeStamped(startLine, LocalTimeNow()));
  if (readPages != 0 && engine_.PageTotal() < static_cast<std::uint32_t>(geometry_.flashPageCount)) {
    log_.AppendLog(Printf(texts::kFastVerifyReadPattern, static_cast<unsigned>(engine_.PageTotal()),
                          static_cast<unsigned>(geometry_.flashPageCount)));
  }
}

void ProgrammerController::TrackErasedFlash(device::Status code) {
  if (code == device::Status::Erased && runKind_ == RunKind::Auto) {
    flashErased_ = true;
    flashPagesWritten_ = 0;
  }
  if (code == device::Status::FlashWritten && flashErased_) flashPagesWritten_ = engine_.PageTotal();
}

// An erased chip holds 0xFF beyond the pages written after the erase, and the verify compares
// the image's 0xFF there: reading those pages back would only take the link's time.
std::uint32_t ProgrammerController::FastVerifyPages() const {
  if (!fastVerify_ || !flashErased_ || !queue_.Holds(Operation::VerifyFlash)) return 0;
  return flashPagesWritten_;
}

// Arbitrary fuse bytes can lock a chip out of its programming mode, so text that is not six
// hex digits is refused instead of guessed at.
void ProgrammerController::WriteFuses() {
  const std::string text = frontEnd_.FuseText();
  chips::FuseSet set;
  if (!ParseFuseText(text, set)) return Refuse(Printf(texts::kFuseTextInvalidPattern, text.c_str()));
  if (selectedFacts_ != nullptr) {
    const FuseWriteReview review = ReviewFuseWrite(*selectedFacts_, set);
    for (const std::string& line : review.lockouts) log_.AppendLog(line);
    if (!review.lockouts.empty()) {
      if (link_.currentMode == device::ProgrammingMode::ISP) {
        std::string consequence;
        for (const std::string& line : review.lockouts) consequence += line + "\n";
        if (!frontEnd_.ConfirmLockout(consequence)) return Refuse(texts::kLockoutRefusedLine);
      } else {
        log_.AppendLog(texts::kLockoutHighVoltageLine);
      }
    }
    for (const std::string& line : review.warnings) log_.AppendLog(line);
  }
  engine_.WriteFuses(
      {set[chips::FuseByte::kLow], set[chips::FuseByte::kHigh], set[chips::FuseByte::kExtended]});
}

void ProgrammerController::WriteLock() {
  const std::string text = frontEnd_.LockText();
  chips::FuseSet set;
  if (!ParseLockText(text, set)) return Refuse(Printf(texts::kLockTextInvalidPattern, text.c_str()));
  const std::uint8_t lock = set[chips::FuseByte::kLock];
  if (selectedFacts_ != nullptr) {
    for (const std::string& line : ReviewLockWrite(*selectedFacts_, lock)) log_.AppendLog(line);
  }
  engine_.WriteLock(lock);
}

void ProgrammerController::Refuse(const std::string& line) {
  if (!line.empty()) log_.AppendLog(line);
  engine_.PostStatus(device::Status::Refused);
}

void ProgrammerController::StopTransfer() {
  if (!busy_) return;
  engine_.RequestStop();
  queue_.Clear();
}

void ProgrammerController::OperationFailed() {
  // Part of a chip is no backup, and a half-restored chip no clone: stop at the first failure.
  if (runKind_ == RunKind::Backup || runKind_ == RunKind::Restore) queue_.Clear();
  CountFailure();
}

void ProgrammerController::CountFailure() {
  ++failures_;
  log_.MarkFailure();
  frontEnd_.Tones().Play(kErrorToneHz, kErrorToneMs);
}

void ProgrammerController::OnProgrammerStatus(device::Status code, std::uint32_t argument) {
  if (!dispatcher_.Dispatch(code, argument)) return;
  busy_ = false;
  // Before a deferred rescan, which forgets it again.
  TrackErasedFlash(code);
  // The operation that just ended has finished with the bus: a deferred rescan is safe now.
  if (arrivalPending_) HandleArrivalNow();
  if (!FinishFollowUp(code)) return;
  RunNextOperation();
}

bool ProgrammerController::FinishFollowUp(device::Status code) {
  // Only a read that completed every page makes its read-back count.
  if (code == device::Status::FlashRead) engine_.memories().flashReadbackValid = true;
  if (code == device::Status::EepromRead) engine_.memories().eepromReadbackValid = true;
  const FollowUp followUp = std::exchange(followUp_, FollowUp::None);
  switch (followUp) {
    case FollowUp::SignatureCheck:
      if (code == device::Status::SignatureRead) return CheckSignature();
      // Without a signature nothing may change the chip.
      queue_.Clear();
      return true;
    case FollowUp::Identify:
      return code == device::Status::SignatureRead ? FinishIdentify() : true;
    case FollowUp::FuseCheck:
      return code == device::Status::FuseLockRead ? CheckWrittenFuses() : true;
    case FollowUp::BackupSignature:
      if (code == device::Status::SignatureRead && backup_) backup_->signature = ReplySignature();
      return true;
    case FollowUp::BackupLock:
      return code == device::Status::FuseLockRead ? CheckBackupLock() : true;
    case FollowUp::None:
      break;
  }
  return true;
}

chips::Signature ProgrammerController::ReplySignature() const {
  const auto& reply = engine_.LastReply();
  return {reply[0], reply[1], reply[2]};
}

void ProgrammerController::LogNoAnswer(const chips::Signature& signature) {
  log_.AppendLog(Printf(texts::kNoChipAnsweredPattern, SignatureText(signature).c_str()));
  if (link_.currentMode != device::ProgrammingMode::ISP) return;
  const char* mode = selectedFacts_ != nullptr ? HighVoltageModeName(*selectedFacts_) : "HVSP / PP_20";
  log_.AppendLog(Printf(texts::kIspNoAnswerHintPattern, mode));
}

bool ProgrammerController::CheckSignature() {
  const chips::Signature read = ReplySignature();
  const chips::Signature expected = expectedSignature_ ? *expectedSignature_ : selectedFacts_->signature;
  if (read == expected) {
    signatureChecked_ = true;
    return true;
  }
  queue_.Clear();
  if (NoChipAnswered(read)) LogNoAnswer(read);
  const std::string name =
      selectedFacts_ != nullptr ? selectedFacts_->name : chips::DisplayChipName(SelectedRecord());
  log_.AppendLog(Printf(texts::kSignatureMismatchPattern, name.c_str(), SignatureText(expected).c_str(),
                        SignatureText(read).c_str()));
  Refuse(std::string());
  return false;
}

bool ProgrammerController::FinishIdentify() {
  const chips::Signature read = ReplySignature();
  const std::vector<std::string> names = ChipsWithSignature(facts_, read);
  if (NoChipAnswered(read) || names.empty()) {
    if (NoChipAnswered(read)) {
      LogNoAnswer(read);
    } else {
      log_.AppendLog(Printf(texts::kUnknownSignaturePattern, SignatureText(read).c_str()));
    }
    Refuse(std::string());
    return false;
  }
  std::string list, shown;
  for (const std::string& name : names) {
    list += (list.empty() ? "" : ",") + name;
    shown += (shown.empty() ? "" : "/") + name;
  }
  frontEnd_.SetFieldText(Field::Chip, list);
  log_.AppendLog(Printf(texts::kChipIdentifiedPattern, shown.c_str(), SignatureText(read).c_str()));
  if (identifySelectsChip_ && (selectedFacts_ == nullptr || selectedFacts_->signature != read)) {
    const int index = FindCatalogueChip(names.front());
    if (index >= 0) {
      OnChipSelChange(index);
      frontEnd_.ShowSelectedChip(index);
    }
  }
  return true;
}

bool ProgrammerController::CheckWrittenFuses() {
  const chips::FuseSet expected = *std::exchange(expectedFuses_, std::nullopt);
  if (runKind_ == RunKind::Restore)
    return CheckFuseReadback(expected, texts::kRestoreMismatchPattern, texts::kRestoreDoneLine);
  return CheckFuseReadback(expected, texts::kFactoryResetMismatchPattern, texts::kFactoryResetDoneLine);
}

bool ProgrammerController::CheckFuseReadback(const chips::FuseSet& expected, const char* mismatchPattern,
                                             const char* doneLine) {
  const auto& reply = engine_.LastReply();
  chips::FuseSet read;
  read.bytes = {reply[0], reply[1], reply[2], reply[3]};
  const bool same = selectedFacts_ != nullptr ? chips::DifferingBytes(*selectedFacts_, read, expected).empty()
                                              : read == expected;
  if (same) {
    log_.AppendLog(FormatTimeStamped(doneLine, LocalTimeNow()));
    return true;
  }
  log_.AppendLog(Printf(mismatchPattern, FuseTextOf(read).c_str(), LockTextOf(read).c_str(),
                        FuseTextOf(expected).c_str(), LockTextOf(expected).c_str()));
  Refuse(std::string());
  return false;
}

bool ProgrammerController::CheckBackupLock() {
  const std::uint8_t lock = engine_.LastReply()[3];
  if (backup_)
    backup_->fuses.bytes = {engine_.LastReply()[0], engine_.LastReply()[1], engine_.LastReply()[2], lock};
  if (!LockHidesMemory(selectedFacts_, lock)) return true;
  // A backup that silently held 0xFF would be worse than none.
  queue_.Clear();
  log_.AppendLog(Printf(texts::kBackupLockedPattern, lock));
  Refuse(std::string());
  return false;
}

void ProgrammerController::OpenWholeChip() {
  // The code is posted last: its handling starts the next operation of a restore, which must
  // see what the file holds.
  const WholeChipOpened opened = OpenWholeChipImage(imageContext_, frontEnd_, selectedFacts_);
  const bool restore = runKind_ == RunKind::Restore;
  if (opened.cancelled && restore) OperationFailed();  // a restore without a file
  if (opened.opened) {
    if (opened.signature) expectedSignature_ = opened.signature;
    if (restore) PlanRestore(opened.image);
  }
  engine_.PostStatus(device::Status::WholeChipFileOpened);
}

// A restore writes and verifies only the memories the file holds, and checks the fuses and
// lock it wrote (the lock reads FF after the erase when the file gives none).
void ProgrammerController::PlanRestore(const image::WholeChipImage& image) {
  if (image[image::Region::Flash].Empty()) {
    for (Operation skip : {Operation::WriteFlash, Operation::ReadFlash, Operation::VerifyFlash})
      queue_.Drop(skip);
  }
  if (image[image::Region::Eeprom].Empty()) {
    for (Operation skip : {Operation::WriteEeprom, Operation::ReadEeprom, Operation::VerifyEeprom})
      queue_.Drop(skip);
  }
  if (image[image::Region::Fuses].Empty()) queue_.Drop(Operation::WriteFuses);
  if (image[image::Region::Lock].Empty()) queue_.Drop(Operation::WriteLock);
  if (!image[image::Region::Fuses].Empty()) expectedFuses_ = FileFuses(image);
}

int ProgrammerController::FindCatalogueChip(const std::string& name) const {
  for (std::uint32_t i = 0; i < catalogue_.recordCount; ++i) {
    if (chips::DisplayChipName(catalogue_.records[i]) == name) return static_cast<int>(i);
  }
  return -1;
}

const chips::ChipRecord& ProgrammerController::SelectedRecord() const {
  return catalogue_.records[static_cast<std::size_t>(std::max(selectedIndex_, 0))];
}

}  // namespace kestrel::control
