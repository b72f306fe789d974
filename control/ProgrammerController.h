#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "chips/ChipCatalogue.h"
#include "control/ActivityLog.h"
#include "control/FrontEnd.h"
#include "control/PendingOperations.h"
#include "device/ProgrammerEngine.h"
#include "image/HexFileReader.h"
#include "image/ImageFiles.h"

namespace kestrel::control {

// The core of the main window, without the window: the engine, the HEX reader, the pending
// flags and the log, the scheduler that runs one operation at a time and the dispatcher that
// turns status codes into what the front end shows. Lives on the front end's thread; the
// status channel must deliver to OnProgrammerStatus there. Construct it once the front end's
// log list, views and tone player exist: it keeps references to them.
class ProgrammerController : private device::NoteSink {
 public:
  ProgrammerController(device::UsbBus& bus, FrontEnd& frontEnd, device::StatusChannel& channel);
  ~ProgrammerController() override;

  // Start-up pieces, called by the front end in its own order.
  chips::CatalogueLoad LoadCatalogue(const std::vector<std::string>& searchPaths);
  void BindImageViews();  // FLASH and EEPROM views <- images, with the current geometry
  // Opens the programmer; status 0 on success, the no-programmer message box otherwise.
  bool ProbeProgrammer();

  // Handlers of the main window.
  void OnOperationButton(OperationButton button);
  void OnChipSelChange(int index);
  void SetMode(std::uint8_t mode);  // a ProgrammingMode value
  // A USB device arrived: discovery now, or once the running transfer has ended.
  void OnDeviceArrival();

  // The busy guard of every operation button: while an operation runs, logs the busy line,
  // sounds the error beep and returns true.
  bool RefuseWhileBusy();

  void RunNextOperation();
  void OnProgrammerStatus(std::uint32_t code, std::uint32_t argument);

  bool Idle() const { return engine_.busy == 0; }

  device::ProgrammerEngine& engine() { return engine_; }
  device::ProgrammerLink& link() { return link_; }
  chips::ChipCatalogue& catalogue() { return catalogue_; }
  chips::ChipGeometry& geometry() { return geometry_; }
  ActivityLog& log() { return log_; }
  PendingOperations& pending() { return pending_; }
  image::HexFileReader& reader() { return reader_; }

 private:
  void Note(const std::string& line) override;  // engine refusals: a plain log line
  void RunAuto(const AutoSelection& boxes);
  void RunBurn();
  void HandleArrivalNow();
  std::string ProgrammerMissingMessage() const;
  void StartTransfer(device::BlockTransfer transfer, const char* startLine);
  std::size_t FlashViewLength() const;
  std::size_t EepromViewLength() const;
  static std::size_t ClampedSize(std::int64_t size, std::size_t limit);

  FrontEnd& frontEnd_;
  device::ProgrammerLink link_;
  chips::ChipCatalogue catalogue_;
  chips::ChipGeometry geometry_;
  device::ProgrammerEngine engine_;
  image::HexFileReader reader_;
  PendingOperations pending_;
  ActivityLog log_;
  image::ImageContext imageContext_;
  bool arrivalPending_ = false;
};

}  // namespace kestrel::control
