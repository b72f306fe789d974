#pragma once

#include "control/ImageFileOperations.h"
#include "control/StatusDispatcher.h"
#include "support/DeviceSupport.h"
#include "support/FrontEndFakes.h"

namespace kestrel::control {

// The pieces below the controller over an engine with no programmer open (unless a test opens
// it): the codes it sends are recorded, not dispatched, unless a test hands them on.
struct CoreRig {
  device::SimulatedBus bus;
  device::ProgrammerLink link{bus};
  chips::ChipGeometry geometry;  // 1 KiB of FLASH, 64 bytes of EEPROM
  support::RecordingChannel status;
  device::ProgrammerEngine engine{link, geometry, status};
  device::ChipMemories& memories = engine.memories();
  support::FakeFrontEnd frontEnd;
  ActivityLog log{frontEnd.log, frontEnd};
  int failures = 0;
  std::function<void()> failed = [this] { ++failures; };
  ImageContext context{engine, geometry, frontEnd.flashView, frontEnd.eepromView,
                       log,    frontEnd, frontEnd,           failed};
  StatusDispatcher dispatcher{frontEnd, log, engine, geometry, [this](device::Status) { ++failures; }};

  const std::vector<std::string>& lines() const { return frontEnd.log.lines; }
};

}  // namespace kestrel::control
