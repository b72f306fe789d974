#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "control/FrontEndPorts.h"
#include "control/Operations.h"
#include "device/ChipMemories.h"

namespace kestrel::control {

// One press of a button (or one command), with every answer the run will need: the front end
// builds it completely before the core sends anything, so nothing is asked of the front end
// while the run goes on but the lock-out question.
struct RunRequest {
  std::variant<OperationButton, Operation> press;
  AutoSelection boxes;              // for Auto
  std::optional<std::string> file;  // the answer to the press's file dialog; none: cancelled
  std::string fuseText;             // six hex digits: low, high, extended
  std::string lockText;             // two hex digits
  bool fastVerify = false;          // see ProgrammerController::FastVerifyPages
  bool signatureCheck = true;       // compare the chip's signature before changing the chip
  bool keepPage = false;            // the log page comes to the front only when the run fails
  // A poll, such as a production loop's signature read every 200 ms: a run that passes sounds
  // no tone (a failure still beeps).
  bool silentPass = false;
  // With Auto: a blank check of FLASH and EEPROM first, as a production job checks new chips
  // instead of erasing them.
  bool blankCheck = false;
};

// The file dialog the press answers through RunRequest::file, if any.
std::optional<FileDialogKind> FileDialogOf(OperationButton button);

// Why a run failed. The first failure of a run gives its cause.
enum class Cause {
  None,
  RefusedInput,        // a file, a text or a step the plan check or an operation refused
  WrongChip,           // the chip in the socket is not the selected one (or the file's)
  NoProgrammer,        // no programmer is open, or it went away
  CommunicationError,  // a request failed
  TimeOut,             // the programmer did not answer in time
  VerifyDifference,    // a verify found differing bytes, or a read-back differs from what was written
  NotBlank,            // a blank check found a byte that is not 0xFF
  Stopped,             // the user stopped a block transfer
  Cancelled,           // the user cancelled the file dialog of a run that needs its file
};

// How one operation of a run ended: the cause of its first failure, and for a verify that
// compared the bytes, how many differ.
struct OperationResult {
  bool passed = true;
  Cause cause = Cause::None;
  std::int32_t differences = 0;
};

// How a run ended.
struct Outcome {
  bool passed = true;
  std::optional<Operation> failedAt;  // the first operation that failed
  Cause cause = Cause::None;
  int failures = 0;          // operations that failed, or one refusal of the whole plan
  int operations = 0;        // operations that ran
  bool sentNothing = false;  // refused before the first request
};

using device::MemoryKind;
enum class Direction { Write, Read };

// A block transfer's page, as it is sent or received.
struct RunProgress {
  MemoryKind memory = MemoryKind::Flash;
  Direction direction = Direction::Write;
  std::uint32_t page = 0;   // 0-based
  std::uint32_t total = 0;  // pages of the transfer
  int position = 0;         // 0..100 of the progress bar
};

// Operations that touch nothing but files on the host.
constexpr bool IsFileOperation(Operation operation) {
  return operation <= Operation::OpenEepromFile;
}
// Operations that run as a block transfer on a worker, which Stop can end.
constexpr bool IsBlockTransfer(Operation operation) {
  switch (operation) {
    case Operation::WriteFlash:
    case Operation::ReadFlash:
    case Operation::WriteEeprom:
    case Operation::ReadEeprom:
      return true;
    default:
      return false;
  }
}

}  // namespace kestrel::control
