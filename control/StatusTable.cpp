#include "control/StatusTable.h"

#include <algorithm>
#include <array>

#include "base/Texts.h"
#include "device/StatusCode.h"

namespace kestrel::control {
namespace {

using device::Status;
using Kind = StatusEntry::Kind;
using Reply = StatusEntry::Reply;
using device::MemoryKind;

constexpr StatusEntry kUnknown{Status{}, Kind::Failure, nullptr, Reply::None, std::nullopt, false, true};

constexpr std::array<StatusEntry, 28> kEntries{{
    {Status::Ready, Kind::Success, &texts::kReadyLine},
    {Status::Unlocked, Kind::Success, &texts::kUnlockedLine},
    {Status::Erased, Kind::Success, &texts::kErasedLine},
    {Status::SignatureRead, Kind::Success, &texts::kSignatureReadLine, Reply::Signature},
    {Status::CalibrationRead, Kind::Success, &texts::kCalibrationReadLine, Reply::Calibration},
    {Status::FuseLockRead, Kind::Success, &texts::kFuseLockReadLine, Reply::FuseLock},
    {Status::FusesWritten, Kind::Success, &texts::kFusesWrittenLine},
    {Status::LockWritten, Kind::Success, &texts::kLockWrittenLine},
    {Status::PageWritten, Kind::Progress},
    {Status::PageRead, Kind::Progress},
    {Status::FlashWritten, Kind::Success, &texts::kFlashWrittenLine},
    {Status::EepromWritten, Kind::Success, &texts::kEepromWrittenLine},
    {Status::CommunicationError, Kind::Failure, nullptr, Reply::None, std::nullopt, true},
    {Status::ReceiveTimeout, Kind::Failure, &texts::kReceiveTimeoutLine, Reply::None, std::nullopt, true},
    {Status::FlashRead, Kind::Success, &texts::kFlashReadLine, Reply::None, MemoryKind::Flash},
    {Status::EepromRead, Kind::Success, &texts::kEepromReadLine, Reply::None, MemoryKind::Eeprom},
    {Status::FlashVerified, Kind::Success},
    {Status::FlashVerifyFailed, Kind::Failure},
    {Status::EepromVerified, Kind::Success},
    {Status::EepromVerifyFailed, Kind::Failure},
    {Status::FlashFileOpened, Kind::Success},
    {Status::EepromFileOpened, Kind::Success},
    {Status::EepromFileSaved, Kind::Success},
    {Status::FlashFileSaved, Kind::Success},
    {Status::WholeChipFileOpened, Kind::Success},
    {Status::BackupFileSaved, Kind::Success},
    {Status::Refused, Kind::Failure, nullptr, Reply::None, std::nullopt, false, true},
    {Status::TransferStopped, Kind::Failure, &texts::kTransferStoppedLine},
}};

}  // namespace

const StatusEntry& FindStatus(Status code) {
  const auto found =
      std::find_if(kEntries.begin(), kEntries.end(), [code](const StatusEntry& e) { return e.code == code; });
  return found != kEntries.end() ? *found : kUnknown;
}

}  // namespace kestrel::control
