#include "control/ProgrammerController.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "base/Bytes.h"
#include "base/Texts.h"
#include "control/ChipSafety.h"
#include "control/StatusTable.h"
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
      dispatcher_(
          frontEnd, log_, engine_, geometry_, [this](device::Status code) { OperationFailed(CauseOf(code)); },
          &selectedFacts_),
      imageContext_{engine_,
                    geometry_,
                    frontEnd.FlashView(),
                    frontEnd.EepromView(),
                    log_,
                    frontEnd,
                    frontEnd,
                    [this] { OperationFailed(Cause::RefusedInput); },
                    &selectedFacts_} {}

ProgrammerController::~ProgrammerController() = default;

chips::CatalogueLoad ProgrammerController::LoadCatalogue(const std::vector<std::string>& searchPaths,
                                                         const chips::FactsLookup& facts) {
  return UseChipBooks(chips::LoadChipBooks(searchPaths, facts));
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
  for (MemoryKind kind : device::kMemoryKinds) {
    ShowImage(frontEnd_.View(kind), engine_.memories()[kind],
              MemoryLength(geometry_, engine_.memories(), kind));
  }
}

bool ProgrammerController::ProbeProgrammer() {
  if (link_.Open() != device::OpenOk) {
    frontEnd_.ShowMessage(ProgrammerMissingMessage());
    return false;
  }
  engine_.PostStatus(device::Status::Ready);
  if (const std::string line = ProgrammersFoundLine(link_); !line.empty()) log_.AppendLog(line);
  PublishConnection();
  return true;
}

void ProgrammerController::OnChipSelChange(int index) {
  if (!chips::SelectChip(catalogue_, index, geometry_)) return;
  selectedIndex_ = index;
  expectedSignature_.reset();
  ChipMayHaveChanged();
  const std::string name = catalogue_.chips[static_cast<std::size_t>(index)].displayName;
  selectedFacts_ = facts_.Find(name);
  if (selectedFacts_ != nullptr || facts_.chips.empty()) return;
  // Said once per chip: the chip works as before, only without the checks.
  if (std::find(noFactsNoted_.begin(), noFactsNoted_.end(), name) != noFactsNoted_.end()) return;
  noFactsNoted_.push_back(name);
  log_.AppendLog(Printf(texts::kNoFactsPattern, name.c_str()));
}

void ProgrammerController::SetMode(device::ProgrammingMode mode) {
  link_.currentMode = mode;
  ChipMayHaveChanged();
}

void ProgrammerController::ForgetReadbacks() {
  for (MemoryKind kind : device::kMemoryKinds) engine_.memories()[kind].readbackValid = false;
  if (!run_) return;
  // What the run erased is not known to be there any more.
  run_->flashErased = false;
  run_->flashPagesWritten = 0;
}

// Another chip, mode or programmer: nothing read of the chip holds, and a run going on checks
// the chip again before its next change.
void ProgrammerController::ChipMayHaveChanged() {
  ForgetReadbacks();
  if (run_ && run_->planChecked && NeedsSignatureCheck()) queue_.Queue(Operation::CheckSignature);
}

void ProgrammerController::OnDeviceArrival() {
  // libusb-0.1 is not thread-safe and a rescan frees devices that have gone: never rescan
  // under a running operation.
  if (run_ && run_->current) {
    arrivalPending_ = true;
    return;
  }
  HandleArrivalNow();
}

void ProgrammerController::HandleArrivalNow() {
  arrivalPending_ = false;
  // Another programmer may hold another chip.
  ChipMayHaveChanged();
  programmerGone_ = false;
  if (link_.Open() != device::OpenOk) {
    frontEnd_.ShowMessage(ProgrammerMissingMessage());
  } else if (const std::string line = ProgrammersFoundLine(link_); !line.empty()) {
    log_.AppendLog(line);
  }
  PublishConnection();
}

std::vector<std::string> ProgrammerController::ProgrammerChoice() {
  if (run_ || (link_.programmersFound < 2 && link_.wantedAddress.empty())) return {};
  // What the open saw stays what the messages tell of.
  const std::string wanted = std::exchange(link_.wantedAddress, std::string());
  const std::size_t found = link_.programmersFound;
  const int error = link_.lastOpenError;
  std::vector<std::string> all = link_.List();
  link_.wantedAddress = wanted;
  link_.programmersFound = found;
  link_.lastOpenError = error;
  if (all.size() < 2) all.clear();
  return all;
}

void ProgrammerController::SwitchProgrammer(std::string address) {
  link_.wantedAddress = std::move(address);
  OnDeviceArrival();
}

void ProgrammerController::PublishConnection() {
  const bool connected = link_.deviceHandle != nullptr && !programmerGone_;
  frontEnd_.ConnectionChanged(connected ? link_.openedAddress : std::string());
}

std::string ProgrammerController::ProgrammerMissingMessage() const {
  return control::ProgrammerMissingMessage(link_);
}

bool ProgrammerController::RefuseWhileBusy() {
  if (!run_) return false;
  // Only the busy line tells of this failure, not the lines of the operation that runs.
  const int running = std::exchange(log_.failureFrom, log_.logLineCount);
  log_.AppendLog(texts::kBusyLine);
  // The refused press failed, not the run under way: a backup or restore goes on.
  log_.MarkFailure();
  frontEnd_.Tones().Play(kErrorToneHz, kErrorToneMs);
  log_.failureFrom = running;
  return true;
}

void ProgrammerController::Start(RunRequest request) {
  if (RefuseWhileBusy()) return;
  log_.failureFrom = log_.logLineCount;
  RunState started;
  started.fuseText = request.fuseText;
  started.lockText = request.lockText;
  started.request = std::move(request);
  RunState& run = run_.emplace(std::move(started));
  log_.keepPage = run.request.keepPage;
  frontEnd_.RunStarted();
  if (!PrepareRun(run)) {
    queue_.Clear();
    return EndRun();
  }
  RunNextOperation();
}

// Queues what the press asks for; false when the run ends before its first operation.
bool ProgrammerController::PrepareRun(RunState& run) {
  const auto* button = std::get_if<OperationButton>(&run.request.press);
  if (button == nullptr) {
    queue_.Queue(std::get<Operation>(run.request.press));
    return true;
  }
  if (FileDialogOf(*button) && !run.request.file) {
    run.outcome = {false, std::nullopt, Cause::Cancelled, 0, 0, true};
    return false;
  }
  switch (*button) {
    case OperationButton::Auto:
      log_.ClearLog();
      run.kind = RunKind::Auto;
      queue_.QueueAuto(run.request.boxes);
      if (run.request.blankCheck) {
        queue_.Queue(Operation::BlankCheckFlash);
        queue_.Queue(Operation::BlankCheckEeprom);
      }
      return true;
    case OperationButton::Burn:
      log_.ClearLog();
      queue_.QueueBurn();
      return true;
    case OperationButton::Backup:
      if (KindOfFile(FileName(*run.request.file)) == FileKind::Elf) {
        // Known before a byte is read: refused before the chip is.
        log_.AppendLog(Printf(texts::kSaveNoElfPattern, run.request.file->c_str()));
        OperationFailed(Cause::RefusedInput);
        run.outcome.sentNothing = true;
        return false;
      }
      run.kind = RunKind::Backup;
      run.backup.emplace();
      run.backup->path = *run.request.file;
      run.backup->start = std::chrono::steady_clock::now();
      if (selectedFacts_ != nullptr) run.backup->fuseBytes = selectedFacts_->fuseBytes;
      break;
    case OperationButton::Restore:
      run.kind = RunKind::Restore;
      break;
    case OperationButton::FactoryReset:
      if (selectedFacts_ == nullptr) {
        log_.AppendLog(selectedIndex_ < 0
                           ? std::string(texts::kPickChipFirstLine)
                           : Printf(texts::kNoFactsPattern, SelectedChip().displayName.c_str()));
        OperationFailed(Cause::RefusedInput);
        return false;
      }
      run.kind = RunKind::FactoryReset;
      run.fuseText = FuseTextOf(selectedFacts_->factory);
      run.lockText = LockTextOf(selectedFacts_->factory);
      frontEnd_.SetFuseText(run.fuseText);
      log_.AppendLog(Printf(texts::kFactoryValuesPattern, run.fuseText.c_str(), run.lockText.c_str()));
      break;
    default:
      break;
  }
  queue_.QueueButton(*button);
  return true;
}

// Starts the first waiting operation. An operation started on this thread dispatches its
// completion inside its own call, and that dispatch re-enters here for the next one.
void ProgrammerController::RunNextOperation() {
  RunState& run = *run_;
  const std::optional<Operation> next = queue_.TakeNext();
  if (!next) return EndRun();
  if (!run.planChecked && !IsFileOperation(*next)) {
    // The files are open now: the whole rest of the run is known, and checked before the
    // first request.
    run.planChecked = true;
    queue_.Queue(*next);
    if (NeedsSignatureCheck()) queue_.Queue(Operation::CheckSignature);
    const std::vector<std::string> reasons = CheckPlan();
    if (!reasons.empty()) {
      for (const std::string& line : reasons) log_.AppendLog(line);
      queue_.Clear();
      OperationFailed(Cause::RefusedInput);
      run.outcome.sentNothing = true;
      return EndRun();
    }
    return RunNextOperation();
  }
  run.current = *next;
  run.currentFailed = false;
  run.currentCause = Cause::None;
  imageContext_.differences = 0;
  ++run.outcome.operations;
  frontEnd_.OperationBegan(*next);
  Run(*next);
}

void ProgrammerController::EndRun() {
  RunState run = std::move(*run_);
  run_.reset();
  log_.keepPage = false;
  lastOutcome_ = run.outcome;
  if (run.outcome.passed) {
    if (!run.request.silentPass) frontEnd_.Tones().Play(kSuccessToneHz, kSuccessToneMs);
  } else if (run.outcome.cause != Cause::Cancelled) {
    const char* pattern = run.outcome.sentNothing ? texts::kRunRefusedPattern : texts::kRunFailedPattern;
    log_.AppendLog(Printf(pattern, CauseText(run.outcome.cause)));
    if (run.request.keepPage) frontEnd_.ShowPage(LogPage);
  }
  frontEnd_.RunEnded(run.outcome);
}

bool ProgrammerController::NeedsSignatureCheck() const {
  // A restore always checks: it erases the chip to clone another onto it.
  const bool restore = run_->kind == RunKind::Restore;
  if (!run_->request.signatureCheck && !restore) return false;
  if (selectedFacts_ == nullptr && !expectedSignature_ && !restore) return false;
  // A blank check counts as a change: its pass lets a chip be written without an erase, and an
  // empty socket or a chip that does not answer reads blank.
  for (Operation changes :
       {Operation::Unlock, Operation::EraseChip, Operation::BlankCheckFlash, Operation::WriteFlash,
        Operation::WriteEeprom, Operation::WriteFuses, Operation::WriteLock}) {
    if (queue_.Holds(changes)) return true;
  }
  return false;
}

// A read-back the verify may use without a read of its own in this run: one from before the
// run that nothing queued before the verify may change.
bool ProgrammerController::ReadbackUsable(MemoryKind kind) const {
  if (!engine_.memories()[kind].readbackValid) return false;
  return !queue_.Holds(Operation::Unlock) && !queue_.Holds(Operation::EraseChip) &&
         !queue_.Holds(EntryOf(kind).write);
}

std::vector<std::string> ProgrammerController::CheckPlan() {
  RunState& run = *run_;
  const device::ChipMemories& memories = engine_.memories();
  std::vector<std::string> reasons;
  for (MemoryKind kind : device::kMemoryKinds) {
    const MemoryEntry& side = EntryOf(kind);
    if (queue_.Holds(side.write) && !memories[kind].imageLoaded)
      reasons.push_back(Printf(texts::kNoImagePattern, side.name, side.name));
    // Without a read in this run, a verify compares with a read-back that nothing may change.
    if (queue_.Holds(side.verify) && !queue_.Holds(side.read) && !ReadbackUsable(kind))
      reasons.push_back(Printf(texts::kVerifyNoReadbackPattern, side.name));
  }
  using device::BlockTransfer;
  for (const auto& [operation, transfer] : {std::pair(Operation::WriteFlash, BlockTransfer::WriteFlash),
                                            std::pair(Operation::ReadFlash, BlockTransfer::ReadFlash),
                                            std::pair(Operation::BlankCheckFlash, BlockTransfer::ReadFlash),
                                            std::pair(Operation::BlankCheckEeprom, BlockTransfer::ReadEeprom),
                                            std::pair(Operation::WriteEeprom, BlockTransfer::WriteEeprom),
                                            std::pair(Operation::ReadEeprom, BlockTransfer::ReadEeprom)}) {
    const device::TransferRefusal refusal = device::CheckTransfer(transfer, geometry_);
    if (queue_.Holds(operation) && refusal.Refused())
      reasons.push_back(TransferRefusalLine(transfer, refusal, geometry_));
  }
  chips::FuseSet set;
  const bool fuses = queue_.Holds(Operation::WriteFuses);
  if (fuses && !ParseFuseText(run.fuseText, set)) {
    reasons.push_back(Printf(texts::kFuseTextInvalidPattern, run.fuseText.c_str()));
  } else if (fuses && selectedFacts_ != nullptr && link_.currentMode == device::ProgrammingMode::ISP) {
    const FuseWriteReview review = ReviewFuseWrite(*selectedFacts_, set);
    if (!review.lockouts.empty()) {
      std::string consequence;
      for (const std::string& line : review.lockouts) consequence += line + "\n";
      if (!reasons.empty() || !frontEnd_.ConfirmLockout(consequence)) {
        reasons.insert(reasons.end(), review.lockouts.begin(), review.lockouts.end());
        reasons.push_back(texts::kLockoutRefusedLine);
      }
    }
  }
  if (queue_.Holds(Operation::WriteLock) && !ParseLockText(run.lockText, set))
    reasons.push_back(Printf(texts::kLockTextInvalidPattern, run.lockText.c_str()));
  return reasons;
}

void ProgrammerController::Run(Operation operation) {
  using device::BlockTransfer;
  device::ChipMemories& memories = engine_.memories();
  const std::string file = run_->request.file.value_or("");
  switch (operation) {
    case Operation::OpenWholeChipFile:
      return OpenWholeChip();
    case Operation::SaveFlashFile:
      return SaveImage(imageContext_, MemoryKind::Flash, file);
    case Operation::SaveEepromFile:
      return SaveImage(imageContext_, MemoryKind::Eeprom, file);
    case Operation::OpenFlashFile:
      return OpenImage(imageContext_, MemoryKind::Flash, file);
    case Operation::OpenEepromFile:
      return OpenImage(imageContext_, MemoryKind::Eeprom, file);
    case Operation::ReadSignature:
    case Operation::Identify:
    case Operation::CheckSignature:
      return engine_.ReadSignature();
    case Operation::ReadCalibration:
      return engine_.ReadCalibration();
    case Operation::Unlock:
    case Operation::EraseChip:
      ForgetReadbacks();
      return operation == Operation::Unlock ? engine_.Unlock() : engine_.EraseChip();
    case Operation::BlankCheckFlash:
      memories[MemoryKind::Flash].readbackValid = false;
      ShowImageWhileReading(MemoryKind::Flash);
      return StartTransfer(BlockTransfer::ReadFlash, texts::kFlashReadStartLine);
    case Operation::BlankCheckEeprom:
      memories[MemoryKind::Eeprom].readbackValid = false;
      ShowImageWhileReading(MemoryKind::Eeprom);
      return StartTransfer(BlockTransfer::ReadEeprom, texts::kEepromReadStartLine);
    case Operation::WriteFlash:
      memories[MemoryKind::Flash].readbackValid = false;
      return StartTransfer(BlockTransfer::WriteFlash, texts::kFlashWriteStartLine);
    case Operation::ReadFlash:
      memories[MemoryKind::Flash].readbackValid = false;
      ShowImageWhileReading(MemoryKind::Flash);
      return StartTransfer(BlockTransfer::ReadFlash, texts::kFlashReadStartLine, FastVerifyPages());
    case Operation::VerifyFlash:
      return Verify(imageContext_, MemoryKind::Flash, run_->flashErased);
    case Operation::WriteEeprom:
      memories[MemoryKind::Eeprom].readbackValid = false;
      return StartTransfer(BlockTransfer::WriteEeprom, texts::kEepromWriteStartLine);
    case Operation::ReadEeprom:
      memories[MemoryKind::Eeprom].readbackValid = false;
      ShowImageWhileReading(MemoryKind::Eeprom);
      return StartTransfer(BlockTransfer::ReadEeprom, texts::kEepromReadStartLine);
    case Operation::VerifyEeprom:
      return Verify(imageContext_, MemoryKind::Eeprom, false);
    case Operation::WriteFuses:
      return WriteFuses();
    case Operation::WriteLock:
      return WriteLock();
    case Operation::ReadFuseLock:
    case Operation::BackupFuseLock:
      return engine_.ReadFuseLock();
    case Operation::WriteBackupFile:
      return WriteBackupFile(imageContext_, *run_->backup);
  }
}

// The worker fills the read-back: a view must not paint from it meanwhile. The read-back is
// shown again when the read has ended.
void ProgrammerController::ShowImageWhileReading(MemoryKind kind) {
  HexViewPort& view = frontEnd_.View(kind);
  device::Memory& memory = engine_.memories()[kind];
  if (view.buffer() == &memory.readback)
    ShowImage(view, memory, MemoryLength(geometry_, engine_.memories(), kind));
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

// An erased chip holds 0xFF beyond the pages written after the erase, and the verify compares
// the image's 0xFF there: reading those pages back would only take the link's time.
std::uint32_t ProgrammerController::FastVerifyPages() const {
  const RunState& run = *run_;
  if (!run.request.fastVerify || run.kind != RunKind::Auto || !run.flashErased ||
      !queue_.Holds(Operation::VerifyFlash))
    return 0;
  return run.flashPagesWritten;
}

// The plan check has parsed both texts and asked about a lock-out; what is left is to word
// what the fuses will do.
void ProgrammerController::WriteFuses() {
  chips::FuseSet set;
  ParseFuseText(run_->fuseText, set);
  if (selectedFacts_ != nullptr) {
    const FuseWriteReview review = ReviewFuseWrite(*selectedFacts_, set);
    for (const std::string& line : review.lockouts) log_.AppendLog(line);
    const bool isp = link_.currentMode == device::ProgrammingMode::ISP;
    if (!review.lockouts.empty() && !isp) log_.AppendLog(texts::kLockoutHighVoltageLine);
    run_->ispLockoutWritten = !review.lockouts.empty() && isp;
    for (const std::string& line : review.warnings) log_.AppendLog(line);
  }
  // The read-back that follows every fuse write compares with what was sent.
  chips::FuseSet expected = run_->expectedFuses.value_or(set);
  for (chips::FuseByte byte : {chips::FuseByte::kLow, chips::FuseByte::kHigh, chips::FuseByte::kExtended})
    expected[byte] = set[byte];
  run_->expectedFuses = expected;
  engine_.WriteFuses(
      {set[chips::FuseByte::kLow], set[chips::FuseByte::kHigh], set[chips::FuseByte::kExtended]});
}

void ProgrammerController::WriteLock() {
  chips::FuseSet set;
  ParseLockText(run_->lockText, set);
  const std::uint8_t lock = set[chips::FuseByte::kLock];
  if (selectedFacts_ != nullptr) {
    for (const std::string& line : ReviewLockWrite(*selectedFacts_, lock)) log_.AppendLog(line);
  }
  if (run_->expectedFuses) {
    (*run_->expectedFuses)[chips::FuseByte::kLock] = lock;
    run_->lockWritten = true;
  }
  engine_.WriteLock(lock);
}

void ProgrammerController::Refuse(const std::string& line, Cause cause) {
  if (!line.empty()) log_.AppendLog(line);
  run_->refusalCause = cause;
  engine_.PostStatus(device::Status::Refused);
}

void ProgrammerController::StopTransfer() {
  if (!run_ || !engine_.TransferRunning()) return;
  engine_.RequestStop();
  queue_.Clear();
}

void ProgrammerController::OperationFailed(Cause cause) {
  log_.MarkFailure();
  frontEnd_.Tones().Play(kErrorToneHz, kErrorToneMs);
  if (!run_) return;
  RunState& run = *run_;
  if (!run.currentFailed) run.currentCause = cause;
  run.currentFailed = true;
  Outcome& outcome = run.outcome;
  ++outcome.failures;
  if (outcome.passed) {
    outcome.passed = false;
    outcome.failedAt = run.current;
    outcome.cause = cause;
  }
  // Part of a chip is no backup, and a half-restored chip no clone: stop at the first failure.
  if (run.kind == RunKind::Backup || run.kind == RunKind::Restore) queue_.Clear();
}

Cause ProgrammerController::CauseOf(device::Status code) const {
  using status = device::Status;
  switch (code) {
    case status::CommunicationError: {
      const device::LinkFailure& failure = engine_.LastFailure();
      return failure.noHandle || failure.result == -ENODEV ? Cause::NoProgrammer : Cause::CommunicationError;
    }
    case status::ReceiveTimeout:
      return Cause::TimeOut;
    case status::FlashVerifyFailed:
    case status::EepromVerifyFailed:
      return Cause::VerifyDifference;
    case status::TransferStopped:
      return Cause::Stopped;
    case status::Refused:
      return run_ ? run_->refusalCause : Cause::RefusedInput;
    default:
      return Cause::CommunicationError;
  }
}

void ProgrammerController::OnProgrammerStatus(device::Status code, std::uint32_t argument) {
  if (!dispatcher_.Dispatch(code, argument)) return;
  const bool gone = CauseOf(code) == Cause::NoProgrammer && FindStatus(code).linkFailure;
  const bool answered =
      FindStatus(code).kind == StatusEntry::Kind::Success &&
      static_cast<std::uint32_t>(code) <= static_cast<std::uint32_t>(device::Status::EepromRead);
  if (gone != programmerGone_ && (gone || answered)) {
    programmerGone_ = gone;
    PublishConnection();
  }
  // The ready code of the probe, which no run sent.
  if (!run_) return frontEnd_.Tones().Play(kSuccessToneHz, kSuccessToneMs);
  if (!run_->current) return;
  RunState& run = *run_;
  const Operation operation = *run.current;
  // A refused step ends the run: nothing after it may rest on what it would have done.
  if (code == device::Status::Refused) queue_.Clear();
  // The operation that just ended has finished with the bus: a deferred rescan is safe now.
  if (arrivalPending_) HandleArrivalNow();
  FinishOperation(operation, code);
  run.current.reset();
  OperationResult result;
  if (run.currentFailed) result = {false, run.currentCause, imageContext_.differences};
  frontEnd_.OperationEnded(operation, result);
  RunNextOperation();
}

// A check after the operation's own code failed: the operation fails as a refusal does, and
// the run ends.
bool ProgrammerController::FailFollowUp(Cause cause) {
  run_->refusalCause = cause;
  queue_.Clear();
  dispatcher_.Dispatch(device::Status::Refused, 0);
  return false;
}

bool ProgrammerController::FinishOperation(Operation operation, device::Status code) {
  using status = device::Status;
  RunState& run = *run_;
  device::ChipMemories& memories = engine_.memories();
  const auto publishImage = [&](MemoryKind kind) {
    frontEnd_.ImageOpened(kind, memories[kind].imageLoaded ? run.request.file.value_or("") : std::string());
  };
  switch (operation) {
    case Operation::OpenFlashFile:
      publishImage(MemoryKind::Flash);
      return true;
    case Operation::OpenEepromFile:
      publishImage(MemoryKind::Eeprom);
      return true;
    case Operation::OpenWholeChipFile:
      for (MemoryKind kind : device::kMemoryKinds) publishImage(kind);
      return true;
    case Operation::EraseChip:
      // Only an erase that succeeded leaves the chip blank, for fast verify and for the verify
      // of the bytes the file left out.
      run.flashErased = code == status::Erased;
      run.flashPagesWritten = 0;
      return true;
    case Operation::WriteFlash:
      if (code == status::FlashWritten && run.flashErased) run.flashPagesWritten = engine_.PageTotal();
      return true;
    case Operation::ReadFlash:
      // Only a read that completed every page makes its read-back count.
      memories[MemoryKind::Flash].readbackValid = code == status::FlashRead;
      return true;
    case Operation::ReadEeprom:
      memories[MemoryKind::Eeprom].readbackValid = code == status::EepromRead;
      return true;
    case Operation::BlankCheckFlash:
    case Operation::BlankCheckEeprom: {
      const MemoryKind kind =
          operation == Operation::BlankCheckFlash ? MemoryKind::Flash : MemoryKind::Eeprom;
      if (code != (kind == MemoryKind::Flash ? status::FlashRead : status::EepromRead)) return true;
      memories[kind].readbackValid = true;
      run.notBlank = !BlankCheck(imageContext_, kind) || run.notBlank;
      // A chip that is not blank must not be written as if it were; its EEPROM is still checked
      // first, so that one press names what both memories hold.
      if (!run.notBlank || queue_.Holds(Operation::BlankCheckEeprom)) return true;
      return FailFollowUp(Cause::NotBlank);
    }
    case Operation::CheckSignature:
      if (code == status::SignatureRead) return CheckSignature();
      // Without a signature nothing may change the chip.
      queue_.Clear();
      return true;
    case Operation::Identify:
      return code == status::SignatureRead ? FinishIdentify() : true;
    case Operation::ReadSignature:
      if (code == status::SignatureRead && run.backup) run.backup->signature = ReplySignature();
      return true;
    case Operation::ReadFuseLock:
      if (code != status::FuseLockRead) return true;
      frontEnd_.FusesRead(
          {engine_.LastReply()[0], engine_.LastReply()[1], engine_.LastReply()[2], engine_.LastReply()[3]});
      if (run.expectedFuses) return CheckFuseReadback();
      // A restore of a file without fuses has nothing to compare, and is done all the same.
      if (run.kind == RunKind::Restore)
        log_.AppendLog(FormatTimeStamped(texts::kRestoreDoneLine.c_str(), LocalTimeNow()));
      return true;
    case Operation::BackupFuseLock:
      return code == status::FuseLockRead ? CheckBackupLock() : true;
    case Operation::WriteFuses:
      if (code != status::FusesWritten) run.expectedFuses.reset();
      return true;
    default:
      return true;
  }
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
  // A restore without facts of the selected chip compares with its file's signature alone.
  if (!expectedSignature_ && selectedFacts_ == nullptr) return true;
  const chips::Signature expected = expectedSignature_ ? *expectedSignature_ : selectedFacts_->signature;
  if (read == expected) return true;
  queue_.Clear();
  if (NoChipAnswered(read)) LogNoAnswer(read);
  const std::string name = selectedFacts_ != nullptr ? selectedFacts_->name : SelectedChip().displayName;
  log_.AppendLog(Printf(texts::kSignatureMismatchPattern, name.c_str(), SignatureText(expected).c_str(),
                        SignatureText(read).c_str()));
  return FailFollowUp(Cause::WrongChip);
}

bool ProgrammerController::SelectChipOfFile(const std::string& path) {
  const std::optional<chips::Signature> signature = SignatureOfFile(path);
  if (!signature) return false;
  const std::vector<std::string> names = ChipsWithSignature(facts_, *signature);
  const int index = names.empty() ? -1 : chips::FindChip(catalogue_, names.front());
  if (index < 0) return false;
  OnChipSelChange(index);
  frontEnd_.ShowSelectedChip(index);
  log_.AppendLog(Printf(texts::kChipOfFilePattern, FileName(path).c_str(), names.front().c_str(),
                        SignatureText(*signature).c_str()));
  return true;
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
    return FailFollowUp(Cause::WrongChip);
  }
  std::string list, shown;
  for (const std::string& name : names) {
    list += (list.empty() ? "" : ",") + name;
    shown += (shown.empty() ? "" : "/") + name;
  }
  frontEnd_.SetFieldText(Field::Chip, list);
  log_.AppendLog(Printf(texts::kChipIdentifiedPattern, shown.c_str(), SignatureText(read).c_str()));
  if (identifySelectsChip_ && (selectedFacts_ == nullptr || selectedFacts_->signature != read)) {
    const int index = chips::FindChip(catalogue_, names.front());
    if (index >= 0) {
      OnChipSelChange(index);
      frontEnd_.ShowSelectedChip(index);
    }
  }
  return true;
}

// The fuses (and the lock, where the run wrote one) read back after a fuse write, compared
// with what was written under the used-bit masks.
bool ProgrammerController::CheckFuseReadback() {
  RunState& run = *run_;
  chips::FuseSet expected = *std::exchange(run.expectedFuses, std::nullopt);
  const auto& reply = engine_.LastReply();
  chips::FuseSet read;
  read.bytes = {reply[0], reply[1], reply[2], reply[3]};
  if (!run.lockWritten) expected[chips::FuseByte::kLock] = read[chips::FuseByte::kLock];
  const bool same = selectedFacts_ != nullptr ? chips::DifferingBytes(*selectedFacts_, read, expected).empty()
                                              : read == expected;
  const char* doneLine = nullptr;
  if (run.kind == RunKind::Restore) doneLine = texts::kRestoreDoneLine;
  if (run.kind == RunKind::FactoryReset) doneLine = texts::kFactoryResetDoneLine;
  if (same) {
    if (doneLine != nullptr) log_.AppendLog(FormatTimeStamped(doneLine, LocalTimeNow()));
    return true;
  }
  if (run.kind == RunKind::Restore || run.kind == RunKind::FactoryReset) {
    const char* pattern =
        run.kind == RunKind::Restore ? texts::kRestoreMismatchPattern : texts::kFactoryResetMismatchPattern;
    log_.AppendLog(Printf(pattern, FuseTextOf(read).c_str(), LockTextOf(read).c_str(),
                          FuseTextOf(expected).c_str(), LockTextOf(expected).c_str()));
  } else {
    log_.AppendLog(
        Printf(texts::kFuseReadbackMismatchPattern, FuseTextOf(read).c_str(), FuseTextOf(expected).c_str()));
  }
  if (run.ispLockoutWritten) log_.AppendLog(texts::kLockoutTookEffectLine);
  return FailFollowUp(Cause::VerifyDifference);
}

bool ProgrammerController::CheckBackupLock() {
  const std::uint8_t lock = engine_.LastReply()[3];
  run_->backup->fuses.bytes = {engine_.LastReply()[0], engine_.LastReply()[1], engine_.LastReply()[2], lock};
  if (!LockHidesMemory(selectedFacts_, lock)) return true;
  // A backup that silently held 0xFF would be worse than none.
  queue_.Clear();
  log_.AppendLog(Printf(texts::kBackupLockedPattern, lock));
  return FailFollowUp(Cause::RefusedInput);
}

void ProgrammerController::OpenWholeChip() {
  // The code is posted last: its handling starts the next operation of a restore, which must
  // see what the file holds.
  const WholeChipOpened opened =
      OpenWholeChipImage(imageContext_, frontEnd_, selectedFacts_, *run_->request.file);
  if (opened.opened) {
    if (opened.signature) expectedSignature_ = opened.signature;
    if (const auto fuses = FileFuses(opened.image)) {
      if (!opened.image[image::Region::Fuses].Empty()) run_->fuseText = FuseTextOf(*fuses);
      if (!opened.image[image::Region::Lock].Empty()) run_->lockText = LockTextOf(*fuses);
    }
    if (run_->kind == RunKind::Restore) PlanRestore(opened.image);
  }
  engine_.PostStatus(device::Status::WholeChipFileOpened);
}

// A restore writes and verifies only the memories the file holds, and checks the fuses and
// lock it wrote (the lock reads FF after the erase when the file gives none).
void ProgrammerController::PlanRestore(const image::WholeChipImage& image) {
  if (const std::string missing = RegionsMissing(image); !missing.empty())
    log_.AppendLog(Printf(texts::kRestoreLeavesPattern, missing.c_str()));
  if (image[image::Region::Eeprom].Empty()) log_.AppendLog(texts::kRestoreEepromErasedLine);
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
  // The lock reads FF after the erase when the file gives none.
  if (!image[image::Region::Fuses].Empty()) {
    run_->expectedFuses = FileFuses(image);
    run_->lockWritten = true;
  }
}

const chips::Chip& ProgrammerController::SelectedChip() const {
  static const chips::Chip none;
  const auto index = static_cast<std::size_t>(std::max(selectedIndex_, 0));
  return index < catalogue_.chips.size() ? catalogue_.chips[index] : none;
}

}  // namespace kestrel::control
