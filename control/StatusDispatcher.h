#pragma once

#include <cstdint>
#include <functional>

#include "chips/ChipFacts.h"
#include "chips/ChipGeometry.h"
#include "control/ActivityLog.h"
#include "control/FrontEnd.h"
#include "device/ProgrammerEngine.h"

namespace kestrel::control {

// Turns status codes into what the user sees, as the status table says. Lives on the front
// end's thread.
class StatusDispatcher {
 public:
  StatusDispatcher(FrontEnd& frontEnd, ActivityLog& log, device::ProgrammerEngine& engine,
                   const chips::ChipGeometry& geometry,
                   std::function<void(device::Status code)> operationFailed,
                   const chips::ChipFacts* const* selected = nullptr)
      : frontEnd_(frontEnd),
        log_(log),
        engine_(engine),
        geometry_(geometry),
        operationFailed_(std::move(operationFailed)),
        selected_(selected) {}

  // Shows one code. Returns false for a progress code, true for a code that ends an operation.
  // Every line of one dispatch carries the same time stamp.
  bool Dispatch(device::Status code, std::uint32_t argument);

 private:
  FrontEnd& frontEnd_;
  ActivityLog& log_;
  device::ProgrammerEngine& engine_;  // its read-backs go to the views
  const chips::ChipGeometry& geometry_;
  std::function<void(device::Status code)> operationFailed_;
  const chips::ChipFacts* const* selected_;  // the selected chip's facts, for its fuse bytes
};

// The bar position of a page: one formula for the worker, which sends only the pages that
// move the bar, and the dispatcher, which shows them.
using device::ProgressPosition;

}  // namespace kestrel::control
