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
#include "control/StatusDispatcher.h"
#include "control/WholeChipOperations.h"
#include "device/ProgrammerEngine.h"
#include "image/HexFileReader.h"

namespace kestrel::control {

// The core of the main window, without the window: the engine, the HEX reader, the queue and
// the log, running one operation at a time and turning status codes into what the front end
// shows. Lives on the front end's thread; the status channel must deliver to
// OnProgrammerStatus there. Construct it once the front end's log list, views and tone player
// exist: it keeps references to them.
class ProgrammerController {
 public:
  ProgrammerController(device::UsbBus& bus, FrontEnd& frontEnd, device::StatusChannel& channel);
  ~ProgrammerController();

  // Start-up pieces, called by the front end in its own order. The chip facts are read from
  // beside the catalogue; without them every chip works as before, without the checks.
  chips::CatalogueLoad LoadCatalogue(const std::vector<std::string>& searchPaths);
  // The same with books the program has read already.
  chips::CatalogueLoad UseChipBooks(chips::ChipBooks books);
  void BindImageViews();  // FLASH and EEPROM views <- images, with the current geometry
  // Opens the programmer; status 0 on success, the no-programmer message box otherwise.
  bool ProbeProgrammer();

  // Handlers of the main window.
  void OnOperationButton(OperationButton button);
  // One operation that no button of the window queues alone (the command line's unlock).
  void OnOperation(Operation operation);
  void OnChipSelChange(int index);
  void SetMode(device::ProgrammingMode mode);
  // Uses only the programmer at this address ("BBB:DDD"); empty: the first one found.
  void SelectProgrammer(std::string address) { link_.wantedAddress = std::move(address); }
  // Whether the signature is compared with the selected chip before the first operation of a
  // run that changes the chip (on by default).
  void SetSignatureCheck(bool on) { signatureCheck_ = on; }
  // Whether the FLASH read before the verify of an Auto run whose erase succeeded reads only
  // the pages that run's write covered, comparing the rest as erased (0xFF); off by default.
  // A read alone, or an Auto run without an erase, always reads the whole chip.
  void SetFastVerify(bool on) { fastVerify_ = on; }
  // Whether identifying a chip also picks it in the chip list (on by default).
  void SetIdentifySelectsChip(bool on) { identifySelectsChip_ = on; }
  // A USB device arrived: discovery now, or once the running operation has ended.
  void OnDeviceArrival();

  void OnProgrammerStatus(device::Status code, std::uint32_t argument);

  // The busy guard of every operation, the window's close included: while one runs, logs
  // the busy line, sounds the error beep and returns true.
  bool RefuseWhileBusy();
  // Ends the running block transfer after its current page (TransferStopped, a failure) and
  // drops the rest of the run; nothing while no operation runs.
  void StopTransfer();

  // No operation runs.
  bool Idle() const { return !busy_; }
  // Operations that failed or were refused since start-up; a front end compares counts
  // before and after a button press to learn its outcome.
  std::uint32_t FailureCount() const { return failures_; }

  device::ProgrammerEngine& engine() { return engine_; }
  // The programmer connection: whether one is open, and where.
  const device::ProgrammerLink& link() const { return link_; }
  chips::ChipCatalogue& catalogue() { return catalogue_; }
  const chips::ChipFactsTable& facts() const { return facts_; }
  // The facts of the selected chip, or nullptr when it has none.
  const chips::ChipFacts* SelectedFacts() const { return selectedFacts_; }
  const chips::ChipGeometry& geometry() const { return geometry_; }
  ActivityLog& log() { return log_; }

 private:
  void RunNextOperation();
  void Run(Operation operation);
  void StartTransfer(device::BlockTransfer transfer, const char* startLine, std::uint32_t readPages = 0);
  // What the Auto run has done to the chip's FLASH so far, from the code that ends an operation.
  void TrackErasedFlash(device::Status code);
  std::uint32_t FastVerifyPages() const;
  bool NeedsSignatureCheck(Operation operation) const;
  // What to do once the code that ends the current operation has been shown: false when it
  // posted a code of its own (whose handling has gone on with the queue).
  bool FinishFollowUp(device::Status code);
  bool CheckSignature();
  bool FinishIdentify();
  // The fuse and lock read-back of a factory reset or a restore.
  bool CheckWrittenFuses();
  bool CheckBackupLock();
  void OpenWholeChip();
  void PlanRestore(const image::WholeChipImage& image);
  void StartBackup();
  // The fuses and lock read back after a factory reset or a restore, compared with what was
  // written under the used-bit masks.
  bool CheckFuseReadback(const chips::FuseSet& expected, const char* mismatchPattern, const char* doneLine);
  chips::Signature ReplySignature() const;
  void LogNoAnswer(const chips::Signature& signature);
  int FindCatalogueChip(const std::string& name) const;
  const chips::ChipRecord& SelectedRecord() const;
  void WriteFuses();
  void WriteLock();
  // A refusal of the operation's own: the line, then status 120.
  void Refuse(const std::string& line);
  // A failure of the run's operation (a backup or restore stops), or only its count and beep.
  void OperationFailed();
  void CountFailure();
  void ForgetReadbacks();
  void HandleArrivalNow();
  std::string ProgrammerMissingMessage() const;

  FrontEnd& frontEnd_;
  device::ProgrammerLink link_;
  chips::ChipCatalogue catalogue_;
  chips::ChipGeometry geometry_;
  device::ProgrammerEngine engine_;
  image::HexFileReader reader_;
  OperationQueue queue_;
  ActivityLog log_;
  StatusDispatcher dispatcher_;
  ImageContext imageContext_;
  enum class FollowUp { None, SignatureCheck, Identify, FuseCheck, BackupSignature, BackupLock };
  // The button that started the run now going on, where the run depends on it.
  enum class RunKind { Plain, Auto, FactoryReset, Backup, Restore };

  chips::ChipFactsTable facts_;
  int selectedIndex_ = -1;
  const chips::ChipFacts* selectedFacts_ = nullptr;
  std::vector<std::string> noFactsNoted_;  // chips whose missing facts were logged
  bool signatureCheck_ = true;
  bool signatureChecked_ = false;  // in this run, since the last change of chip, mode or programmer
  bool identifySelectsChip_ = true;
  bool fastVerify_ = false;
  RunKind runKind_ = RunKind::Plain;
  bool flashErased_ = false;             // by an Auto run, and nothing since may have changed the chip
  std::uint32_t flashPagesWritten_ = 0;  // the pages its FLASH write covered after the erase
  FollowUp followUp_ = FollowUp::None;
  // The fuses and lock a factory reset or a restore writes, until their read-back is compared.
  std::optional<chips::FuseSet> expectedFuses_;
  // The chip the last whole-chip file was made for; the signature check compares with it.
  std::optional<chips::Signature> expectedSignature_;
  std::optional<BackupRun> backup_;
  bool busy_ = false;  // from the start of an operation until its final code is dispatched
  std::uint32_t failures_ = 0;
  bool arrivalPending_ = false;
};

}  // namespace kestrel::control
