#pragma once

#include <array>
#include <cstdint>

#include "device/VendorProtocol.h"

namespace kestrel::device {

// Every result of every operation travels as one of these codes to the status dispatcher. The
// numbers are fixed: the log, the tests and scripts know them.
enum class Status : std::uint32_t {
  Ready = 0,
  Unlocked = 1,
  Erased = 2,
  SignatureRead = 3,
  CalibrationRead = 4,
  FuseLockRead = 5,
  FusesWritten = 6,
  LockWritten = 7,
  PageWritten = 11,  // progress; argument = page index
  PageRead = 15,     // progress; argument = page index
  FlashWritten = 100,
  EepromWritten = 101,
  CommunicationError = 102,
  ReceiveTimeout = 103,
  FlashRead = 108,
  EepromRead = 109,
  FlashVerified = 111,
  FlashVerifyFailed = 112,
  EepromVerified = 113,
  EepromVerifyFailed = 114,
  FlashFileOpened = 115,
  EepromFileOpened = 116,
  EepromFileSaved = 117,
  FlashFileSaved = 118,
  WholeChipFileOpened = 119,
  // An operation that refused its input (bad fuse text, a geometry it cannot serve) after
  // logging why; it reads as "其它原因" with the error beep.
  Refused = 120,
  BackupFileSaved = 121,
  // A block transfer ended at the user's request after a page, the programmer back at page 0.
  TransferStopped = 122,
};

// Every code above, so that a table keyed by them can be checked for gaps.
inline constexpr std::array kAllStatuses{
    Status::Ready,
    Status::Unlocked,
    Status::Erased,
    Status::SignatureRead,
    Status::CalibrationRead,
    Status::FuseLockRead,
    Status::FusesWritten,
    Status::LockWritten,
    Status::PageWritten,
    Status::PageRead,
    Status::FlashWritten,
    Status::EepromWritten,
    Status::CommunicationError,
    Status::ReceiveTimeout,
    Status::FlashRead,
    Status::EepromRead,
    Status::FlashVerified,
    Status::FlashVerifyFailed,
    Status::EepromVerified,
    Status::EepromVerifyFailed,
    Status::FlashFileOpened,
    Status::EepromFileOpened,
    Status::EepromFileSaved,
    Status::FlashFileSaved,
    Status::WholeChipFileOpened,
    Status::Refused,
    Status::BackupFileSaved,
    Status::TransferStopped,
};

// The codes a block transfer sends after each page; every other code ends an operation.
constexpr bool IsProgressStatus(Status code) {
  return code == Status::PageWritten || code == Status::PageRead;
}

// The code a single-request command ends with when its request went through. A page command
// never ends an operation by itself (its block transfer ends with its own code); asked for
// one, the answer is a failure, so that such a mistake shows as an error and never as success.
constexpr Status SuccessOf(VendorCommand command) {
  switch (command) {
    case VendorCommand::Ready:
      return Status::Ready;
    case VendorCommand::Unlock:
      return Status::Unlocked;
    case VendorCommand::EraseChip:
      return Status::Erased;
    case VendorCommand::ReadSignature:
      return Status::SignatureRead;
    case VendorCommand::ReadCalibration:
      return Status::CalibrationRead;
    case VendorCommand::ReadFuseLock:
      return Status::FuseLockRead;
    case VendorCommand::WriteFuses:
      return Status::FusesWritten;
    case VendorCommand::WriteLock:
      return Status::LockWritten;
    case VendorCommand::WriteFlashPage:
    case VendorCommand::WriteEepromPage:
    case VendorCommand::ReadFlashPage:
    case VendorCommand::ReadEepromPage:
      break;
  }
  return Status::CommunicationError;
}

}  // namespace kestrel::device
