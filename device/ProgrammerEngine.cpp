#include "device/ProgrammerEngine.h"

#include <cerrno>
#include <cstring>

#include "control/Texts.h"
#include "device/StatusCode.h"
#include "device/TransferRunner.h"

namespace kestrel::device {

namespace {

// usb_control_msg has no result for "no handle"; this one never comes from libusb.
constexpr int kNoHandle = 1 << 30;

int Issue(UsbBus& bus, UsbHandle* handle, const VendorRequest& request, std::uint8_t* buffer) {
  if (handle == nullptr) return kNoHandle;
  return bus.ControlMsg(handle, request.requestType, request.request, request.value, request.index, buffer,
                        request.length, kVendorTimeoutMs);
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

const char* OperationName(VendorCommand command) {
  switch (command) {
    case VendorCommand::Unlock:
      return texts::kUnlockOperation;
    case VendorCommand::EraseChip:
      return texts::kEraseOperation;
    case VendorCommand::ReadSignature:
      return texts::kReadSignatureOperation;
    case VendorCommand::ReadCalibration:
      return texts::kReadCalibrationOperation;
    case VendorCommand::ReadFuseLock:
      return texts::kReadFuseLockOperation;
    case VendorCommand::WriteFuses:
      return texts::kWriteFusesOperation;
    case VendorCommand::WriteLock:
      return texts::kWriteLockOperation;
    default:
      return texts::kEndTransferOperation;
  }
}

}  // namespace

bool ParseHexText(std::string_view text, int pairs, std::uint8_t* bytes) {
  if (pairs < 0 || text.size() < static_cast<std::size_t>(pairs) * 2) return false;
  for (int i = 0; i < pairs * 2; ++i) {
    if (HexDigitValue(text[static_cast<std::size_t>(i)]) < 0) return false;
  }
  for (int i = 0; i < pairs; ++i) {
    const auto at = static_cast<std::size_t>(i) * 2;
    bytes[i] = static_cast<std::uint8_t>(HexDigitValue(text[at]) * 16 + HexDigitValue(text[at + 1]));
  }
  return true;
}

ProgrammerEngine::ProgrammerEngine(ProgrammerLink& link, const chips::ChipGeometry& geometry,
                                   StatusChannel& status, TonePlayer& tones, NoteSink& notes)
    : eepromReadback(chips::kEepromBufferBytes, 0xFF),
      eepromImage(chips::kEepromBufferBytes, 0xFF),
      flashReadback(chips::kFlashBufferBytes, 0xFF),
      flashImage(chips::kFlashBufferBytes, 0xFF),
      link(link),
      geometry(geometry),
      status_(status),
      tones_(tones),
      notes_(notes) {}

ProgrammerEngine::~ProgrammerEngine() {
  if (worker_.joinable()) worker_.join();
  if (retired_.joinable()) retired_.join();
}

void ProgrammerEngine::Unlock() {
  RunSingleShot(VendorCommand::Unlock, 0, 0);
}
void ProgrammerEngine::EraseChip() {
  RunSingleShot(VendorCommand::EraseChip, 0, 0);
}
void ProgrammerEngine::ReadSignature() {
  RunSingleShot(VendorCommand::ReadSignature, 0, 0);
}
void ProgrammerEngine::ReadCalibration() {
  RunSingleShot(VendorCommand::ReadCalibration, 0, 0);
}
void ProgrammerEngine::ReadFuseLock() {
  RunSingleShot(VendorCommand::ReadFuseLock, 0, 0);
}

// Arbitrary fuse bytes can lock a chip out of its programming mode, so text that is not six
// hex digits is refused instead of guessed at.
void ProgrammerEngine::WriteFuses(std::string_view fuseText) {
  std::uint8_t fuses[3];
  if (!ParseHexText(fuseText.substr(0, 6), 3, fuses)) {
    notes_.Note(texts::Printf(texts::kFuseTextInvalidPattern, std::string(fuseText).c_str()));
    PostStatus(status::Refused);
    return;
  }
  RunSingleShot(VendorCommand::WriteFuses, static_cast<std::uint16_t>(fuses[0] | (fuses[1] << 8)), fuses[2]);
}

void ProgrammerEngine::WriteLock(std::string_view lockText) {
  std::uint8_t lock[1];
  if (!ParseHexText(lockText.substr(0, 2), 1, lock)) {
    notes_.Note(texts::Printf(texts::kLockTextInvalidPattern, std::string(lockText).c_str()));
    PostStatus(status::Refused);
    return;
  }
  RunSingleShot(VendorCommand::WriteLock, lock[0], 0);
}

void ProgrammerEngine::RunSingleShot(VendorCommand command, std::uint16_t value, std::uint16_t index) {
  const VendorRequest request = SingleShotRequest(link.currentMode, command, value, index);
  const std::uint32_t failure = Transfer(OperationName(command), request, response.data());
  PostStatus(failure != 0 ? failure : static_cast<std::uint32_t>(command));
}

std::uint32_t ProgrammerEngine::Transfer(const std::string& operation, const VendorRequest& request,
                                         std::uint8_t* buffer) {
  const int result = Issue(link.bus, link.deviceHandle, request, buffer);
  return result == request.length ? 0 : KeepFailure(operation, result, request.length);
}

std::uint32_t ProgrammerEngine::TransferOn(UsbHandle* handle, const char* operationPattern,
                                           std::uint32_t page, const VendorRequest& request,
                                           std::uint8_t* buffer) {
  const int result = Issue(link.bus, handle, request, buffer);
  if (result == request.length) return 0;
  return KeepFailure(texts::Printf(operationPattern, page), result, request.length);
}

std::uint32_t ProgrammerEngine::KeepFailure(const std::string& operation, int result, int expectedLength) {
  lastFailure.operation = operation;
  if (result == kNoHandle) {
    lastFailure.error = 0;
    lastFailure.text = texts::kNoProgrammerOpen;
    return status::CommunicationError;
  }
  lastFailure.error = result;
  if (result >= 0) {
    lastFailure.text = texts::Printf(texts::kShortTransferPattern, operation.c_str(), result, expectedLength);
  } else if (result == -EPERM || result == -EACCES) {
    lastFailure.text = texts::Printf(texts::kAccessDeniedPattern, texts::UdevRuleCommand().c_str());
  } else {
    const char* description = strerrordesc_np(-result);
    lastFailure.text = texts::Printf(texts::kLinkFailurePattern, operation.c_str(), result,
                                     description != nullptr ? description : "?");
  }
  return result == -ETIMEDOUT ? status::ReceiveTimeout : status::CommunicationError;
}

bool ProgrammerEngine::StartTransfer(BlockTransfer transfer) {
  TransferRunner runner{*this, transfer, geometry, link.currentMode, link.deviceHandle};
  const std::string refusal = runner.Refusal();
  if (!refusal.empty()) {
    notes_.Note(refusal);
    PostStatus(status::Refused);
    return false;
  }
  RetireWorker();
  transferRunning_ = true;
  worker_ = std::thread([runner]() mutable { runner.Run(); });
  return true;
}

bool ProgrammerEngine::TransferRunning() const {
  return transferRunning_;
}

// The last worker may still be inside its final Send (this call can come from the handling of
// that very code), so it is only retired; the one before it has returned from its Send.
void ProgrammerEngine::RetireWorker() {
  if (retired_.joinable()) retired_.join();
  retired_ = std::move(worker_);
}

void ProgrammerEngine::PostStatus(std::uint32_t code, std::uint32_t argument) {
  status_.Send(code, argument);
}

void ProgrammerEngine::StartErrorBeep() {
  ++errorBeepCount;
  tones_.Play(kErrorToneHz, kErrorToneMs);
}

void ProgrammerEngine::StartSuccessBeep() {
  tones_.Play(kSuccessToneHz, kSuccessToneMs);
}

std::int32_t ProgrammerEngine::TrimmedLength(const std::uint8_t* bytes, std::int32_t length) {
  if (length <= 0) return length;
  for (std::int32_t i = length - 1; i >= 0; --i) {
    if (bytes[i] != 0xFF) return i + 1;
  }
  return 0;
}

}  // namespace kestrel::device
