#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "chips/ChipBooks.h"
#include "chips/ChipCatalogue.h"
#include "chips/ChipFacts.h"
#include "control/ActivityLog.h"
#include "control/FrontEnd.h"
#include "control/ImageFileOperations.h"
#include "control/OperationQueue.h"
#include "control/Run.h"
#include "control/StatusDispatcher.h"
#include "control/WholeChipOperations.h"
#include "device/ProgrammerEngine.h"
#include "image/MemoryRegions.h"

namespace kestrel::control {

// The core of the main window, without the window: the engine, the queue and the log. It
// runs one RunRequest at a time, its operations one after another, and turns status codes
// into what the front end shows. Lives on the front end's thread; the status channel must deliver to
// OnProgrammerStatus there. Construct it once the front end's log list, views and tone player
// exist: it keeps references to them.
class ProgrammerController {
 public:
  ProgrammerController(device::UsbBus& bus, FrontEnd& frontEnd, device::StatusChannel& channel);
  ~ProgrammerController();

  // Start-up pieces, called by the front end in its own order. The chip facts are found as
  // `facts` says (chips::FactsSearchPaths); without them every chip works as before, without
  // the checks.
  chips::CatalogueLoad LoadCatalogue(const std::vector<std::string>& searchPaths,
                                     const chips::FactsLookup& facts = {});
  // The same with books the program has read already.
  chips::CatalogueLoad UseChipBooks(chips::ChipBooks books);
  void BindImageViews();  // FLASH and EEPROM views <- images, with the current geometry
  // Opens the programmer; status 0 on success, the no-programmer message box otherwise.
  bool ProbeProgrammer();

  // Starts one run: refused with the busy line while another goes on. The run is planned and
  // checked whole before its first request; it publishes its life to the front end and ends
  // with RunEnded.
  void Start(RunRequest request);
  void OnChipSelChange(int index);
  // Selects the chip whose signature the HEX or ELF file at `path` names, as identify selects
  // the chip in the socket; false, selecting nothing, when the file names no chip of the books.
  bool SelectChipOfFile(const std::string& path);
  void SetMode(device::ProgrammingMode mode);
  // Uses only the programmer at this address ("BBB:DDD"); empty: the first one found.
  void SelectProgrammer(std::string address) { link_.wantedAddress = std::move(address); }
  // The address of every programmer plugged in, whichever is wanted, when the last look found
  // more than one or one was chosen by its address; else none. Opens none, and looks only
  // while no run goes on (libusb-0.1 must not walk the bus under a transfer).
  std::vector<std::string> ProgrammerChoice();
  // From now on uses only the programmer at `address`, opened as after a device arrival.
  void SwitchProgrammer(std::string address);
  // Whether identifying a chip also picks it in the chip list (on by default).
  void SetIdentifySelectsChip(bool on) { identifySelectsChip_ = on; }
  // A USB device arrived: discovery now, or once the running operation has ended.
  void OnDeviceArrival();

  void OnProgrammerStatus(device::Status code, std::uint32_t argument);

  // The busy guard of every operation, the window's close included: while a run goes on,
  // logs the busy line, sounds the error beep and returns true.
  bool RefuseWhileBusy();
  // Ends the running block transfer after its current page (TransferStopped, a failure) and
  // drops the rest of the run; nothing while no block transfer runs.
  void StopTransfer();

  // No run goes on.
  bool Idle() const { return !run_; }
  // How the last run ended (what RunEnded told the front end).
  const Outcome& LastOutcome() const { return lastOutcome_; }
  // The signature the last signature read brought back.
  chips::Signature ReplySignature() const;
  // The open programmer's address ("BBB:DDD"), or empty.
  const std::string& ProgrammerAddress() const { return link_.openedAddress; }

  // The images and read-backs the hex views show.
  device::ChipMemories& memories() { return engine_.memories(); }
  chips::ChipCatalogue& catalogue() { return catalogue_; }
  const chips::ChipFactsTable& facts() const { return facts_; }
  // The facts of the selected chip, or nullptr when it has none.
  const chips::ChipFacts* SelectedFacts() const { return selectedFacts_; }
  const chips::ChipGeometry& geometry() const { return geometry_; }
  ActivityLog& log() { return log_; }

 private:
  // The button that started the run, where the run depends on it.
  enum class RunKind { Plain, Auto, FactoryReset, Backup, Restore };
  // The run going on: its request and everything it has learnt so far.
  struct RunState {
    RunRequest request;
    RunKind kind = RunKind::Plain;
    std::optional<Operation> current;  // from its start until its final code is dispatched
    bool currentFailed = false;
    Cause currentCause = Cause::None;  // of the current operation's first failure
    bool planChecked = false;
    bool flashErased = false;             // by its erase, and nothing since may have changed the chip
    std::uint32_t flashPagesWritten = 0;  // the pages its FLASH write covered after the erase
    std::string fuseText, lockText;       // the request's, or a whole-chip file's, or the factory values
    // What the fuse and lock read-back must show: the fuses written, and the lock where the run
    // wrote one; nothing before a fuse write.
    std::optional<chips::FuseSet> expectedFuses;
    bool lockWritten = false;
    bool ispLockoutWritten = false;            // fuses that lock ISP out went to a chip in ISP mode
    bool notBlank = false;                     // a blank check of this run found a byte not 0xFF
    Cause refusalCause = Cause::RefusedInput;  // of the next Refused code
    std::optional<BackupRun> backup;
    Outcome outcome;
  };

  bool PrepareRun(RunState& run);
  void RunNextOperation();
  void EndRun();
  void Run(Operation operation);
  void ShowImageWhileReading(MemoryKind kind);
  void StartTransfer(device::BlockTransfer transfer, const char* startLine, std::uint32_t readPages = 0);
  std::uint32_t FastVerifyPages() const;
  bool NeedsSignatureCheck() const;
  // The reasons the queued run may not start; empty when every step has what it needs.
  std::vector<std::string> CheckPlan();
  bool ReadbackUsable(MemoryKind kind) const;
  // What the operation that just ended leaves for the run: its read-backs, replies and the
  // checks of what it read. False when a check failed the operation and ended the run.
  bool FinishOperation(Operation operation, device::Status code);
  bool FailFollowUp(Cause cause);
  bool CheckSignature();
  bool FinishIdentify();
  bool CheckFuseReadback();
  bool CheckBackupLock();
  void OpenWholeChip();
  void PlanRestore(const image::WholeChipImage& image);
  void LogNoAnswer(const chips::Signature& signature);
  const chips::Chip& SelectedChip() const;
  void WriteFuses();
  void WriteLock();
  // A refusal of the operation's own: the line, then status 120.
  void Refuse(const std::string& line, Cause cause = Cause::RefusedInput);
  // A failure of the run's operation: counted, beeped, and with its cause for the outcome.
  void OperationFailed(Cause cause);
  Cause CauseOf(device::Status code) const;
  void ForgetReadbacks();
  void ChipMayHaveChanged();
  void HandleArrivalNow();
  void PublishConnection();
  std::string ProgrammerMissingMessage() const;

  FrontEnd& frontEnd_;
  device::ProgrammerLink link_;
  chips::ChipCatalogue catalogue_;
  chips::ChipGeometry geometry_;
  device::ProgrammerEngine engine_;
  OperationQueue queue_;
  ActivityLog log_;
  StatusDispatcher dispatcher_;
  ImageContext imageContext_;

  chips::ChipFactsTable facts_;
  int selectedIndex_ = -1;
  const chips::ChipFacts* selectedFacts_ = nullptr;
  std::vector<std::string> noFactsNoted_;  // chips whose missing facts were logged
  bool identifySelectsChip_ = true;
  // The chip the last whole-chip file was made for; the signature check compares with it.
  std::optional<chips::Signature> expectedSignature_;
  std::optional<RunState> run_;
  Outcome lastOutcome_;
  bool arrivalPending_ = false;
  bool programmerGone_ = false;  // the last request found the programmer unplugged
};

}  // namespace kestrel::control
