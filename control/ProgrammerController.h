#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "chips/ChipCatalogue.h"
#include "control/ActivityLog.h"
#include "control/FrontEnd.h"
#include "control/ImageFileOperations.h"
#include "control/OperationQueue.h"
#include "control/StatusDispatcher.h"
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

  // Start-up pieces, called by the front end in its own order.
  chips::CatalogueLoad LoadCatalogue(const std::vector<std::string>& searchPaths);
  void BindImageViews();  // FLASH and EEPROM views <- images, with the current geometry
  // Opens the programmer; status 0 on success, the no-programmer message box otherwise.
  bool ProbeProgrammer();

  // Handlers of the main window.
  void OnOperationButton(OperationButton button);
  // One operation that no button of the window queues alone (the command line's unlock).
  void OnOperation(Operation operation);
  void OnChipSelChange(int index);
  void SetMode(std::uint8_t mode);  // a ProgrammingMode value
  // A USB device arrived: discovery now, or once the running operation has ended.
  void OnDeviceArrival();

  void OnProgrammerStatus(std::uint32_t code, std::uint32_t argument);

  // The busy guard of every operation, the window's close included: while one runs, logs
  // the busy line, sounds the error beep and returns true.
  bool RefuseWhileBusy();

  // No operation runs.
  bool Idle() const { return !busy_; }
  // Operations that failed or were refused since start-up; a front end compares counts
  // before and after a button press to learn its outcome.
  std::uint32_t FailureCount() const { return failures_; }

  device::ProgrammerEngine& engine() { return engine_; }
  chips::ChipCatalogue& catalogue() { return catalogue_; }
  const chips::ChipGeometry& geometry() const { return geometry_; }
  ActivityLog& log() { return log_; }

 private:
  void RunNextOperation();
  void Run(Operation operation);
  void StartTransfer(device::BlockTransfer transfer, const char* startLine);
  void WriteFuses();
  void WriteLock();
  // A refusal of the operation's own: the line, then status 120.
  void Refuse(const std::string& line);
  void OperationFailed();
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
  bool busy_ = false;  // from the start of an operation until its final code is dispatched
  std::uint32_t failures_ = 0;
  bool arrivalPending_ = false;
};

}  // namespace kestrel::control
