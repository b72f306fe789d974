#include "control/StatusTable.h"

#include <algorithm>
#include <array>

#include "base/Texts.h"
#include "device/StatusCode.h"

namespace kestrel::control {
namespace {

namespace status = device::status;
using Kind = StatusEntry::Kind;
using Reply = StatusEntry::Reply;
using Readback = StatusEntry::Readback;

constexpr StatusEntry kUnknown{0, Kind::Failure, nullptr, Reply::None, Readback::None, false, true};

constexpr std::array<StatusEntry, 28> kEntries{{
    {status::Ready, Kind::Success, &texts::kReadyLine},
    {status::Unlocked, Kind::Success, &texts::kUnlockedLine},
    {status::Erased, Kind::Success, &texts::kErasedLine},
    {status::SignatureRead, Kind::Success, &texts::kSignatureReadLine, Reply::Signature},
    {status::CalibrationRead, Kind::Success, &texts::kCalibrationReadLine, Reply::Calibration},
    {status::FuseLockRead, Kind::Success, &texts::kFuseLockReadLine, Reply::FuseLock},
    {status::FusesWritten, Kind::Success, &texts::kFusesWrittenLine},
    {status::LockWritten, Kind::Success, &texts::kLockWrittenLine},
    {status::PageWritten, Kind::Progress},
    {status::PageRead, Kind::Progress},
    {status::FlashWritten, Kind::Success, &texts::kFlashWrittenLine},
    {status::EepromWritten, Kind::Success, &texts::kEepromWrittenLine},
    {status::CommunicationError, Kind::Failure, nullptr, Reply::None, Readback::None, true},
    {status::ReceiveTimeout, Kind::Failure, &texts::kReceiveTimeoutLine, Reply::None, Readback::None, true},
    {status::FlashRead, Kind::Success, &texts::kFlashReadLine, Reply::None, Readback::Flash},
    {status::EepromRead, Kind::Success, &texts::kEepromReadLine, Reply::None, Readback::Eeprom},
    {status::FlashVerified, Kind::Success},
    {status::FlashVerifyFailed, Kind::Failure},
    {status::EepromVerified, Kind::Success},
    {status::EepromVerifyFailed, Kind::Failure},
    {status::FlashFileOpened, Kind::Success},
    {status::EepromFileOpened, Kind::Success},
    {status::EepromFileSaved, Kind::Success},
    {status::FlashFileSaved, Kind::Success},
    {status::WholeChipFileOpened, Kind::Success},
    {status::BackupFileSaved, Kind::Success},
    {status::Refused, Kind::Failure, nullptr, Reply::None, Readback::None, false, true},
    {status::TransferStopped, Kind::Failure, &texts::kTransferStoppedLine},
}};

}  // namespace

const StatusEntry& FindStatus(std::uint32_t code) {
  const auto found =
      std::find_if(kEntries.begin(), kEntries.end(), [code](const StatusEntry& e) { return e.code == code; });
  return found != kEntries.end() ? *found : kUnknown;
}

}  // namespace kestrel::control
