#include "control/ProgrammerController.h"

#include <cerrno>

#include "control/Texts.h"
#include "device/StatusCode.h"

namespace kestrel::control {

ProgrammerController::ProgrammerController(device::UsbBus& bus, FrontEnd& frontEnd,
                                           device::StatusChannel& channel)
    : frontEnd_(frontEnd),
      link_(bus),
      engine_(link_, geometry_, channel, frontEnd.Tones(), *this),
      log_(frontEnd.LogList(), frontEnd),
      imageContext_{engine_,   reader_,   geometry_, frontEnd, frontEnd.FlashView(), frontEnd.EepromView(),
                    log_,      frontEnd,  frontEnd} {}

ProgrammerController::~ProgrammerController() = default;

chips::CatalogueLoad ProgrammerController::LoadCatalogue(const std::vector<std::string>& searchPaths) {
  chips::CatalogueLoad load = chips::LoadChipCatalogue(searchPaths, catalogue_);
  for (const std::string& warning : catalogue_.warnings) log_.AppendLog(warning);
  return load;
}

void ProgrammerController::BindImageViews() {
  frontEnd_.FlashView().SetData(engine_.flashImage.data(), FlashViewLength());
  frontEnd_.EepromView().SetData(engine_.eepromImage.data(), EepromViewLength());
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
  if (engine_.busy != 0) {
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
  if (link_.lastOpenError == -EACCES || link_.lastOpenError == -EPERM)
    return texts::Printf(texts::kAccessDeniedPattern, texts::UdevRuleCommand().c_str());
  return texts::InsertProgrammerMessage();
}

std::size_t ProgrammerController::FlashViewLength() const {
  return ClampedSize(geometry_.FlashSize(), engine_.flashImage.size());
}

std::size_t ProgrammerController::EepromViewLength() const {
  return ClampedSize(geometry_.EepromSize(), engine_.eepromImage.size());
}

std::size_t ProgrammerController::ClampedSize(std::int64_t size, std::size_t limit) {
  if (size <= 0) return 0;
  return static_cast<std::uint64_t>(size) < limit ? static_cast<std::size_t>(size) : limit;
}

void ProgrammerController::Note(const std::string& line) { log_.AppendLog(line); }

}  // namespace kestrel::control
