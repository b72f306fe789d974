#include <algorithm>
#include <cstring>

#include "control/Texts.h"
#include "device/StatusCode.h"
#include "device/TransferRunner.h"

namespace kestrel::device {

namespace {

bool IsFlash(BlockTransfer transfer) {
  return transfer == BlockTransfer::WriteFlash || transfer == BlockTransfer::ReadFlash;
}

const char* OperationName(BlockTransfer transfer) {
  switch (transfer) {
    case BlockTransfer::WriteFlash:
      return texts::kFlashWriteOperation;
    case BlockTransfer::ReadFlash:
      return texts::kFlashReadOperation;
    case BlockTransfer::WriteEeprom:
      return texts::kEepromWriteOperation;
    case BlockTransfer::ReadEeprom:
      return texts::kEepromReadOperation;
  }
  return "";
}

// The pages a write covers: up to the last byte that is not 0xFF in the whole buffer, always
// at least one, never more than the chip has.
std::uint32_t PagesToWrite(const std::vector<std::uint8_t>& image, std::int64_t pageBytes,
                           std::int32_t pageCount) {
  const std::int32_t used =
      ProgrammerEngine::TrimmedLength(image.data(), static_cast<std::int32_t>(image.size()));
  return static_cast<std::uint32_t>(std::min<std::int64_t>(used / pageBytes + 1, pageCount));
}

}  // namespace

std::string TransferRunner::Refusal() const {
  const bool flash = IsFlash(transfer);
  const std::string problem =
      flash ? chips::FlashGeometryProblem(geometry) : chips::EepromGeometryProblem(geometry);
  if (!problem.empty()) {
    return texts::Printf(texts::kGeometryRefusedPattern, flash ? "FLASH" : "EEPROM", problem.c_str(),
                         OperationName(transfer));
  }
  if (transfer == BlockTransfer::WriteEeprom && geometry.eepromPageBytes > kEepromBytesInSetupPacket) {
    return texts::Printf(texts::kEepromPageTooLongPattern, int{geometry.eepromPageBytes});
  }
  return {};
}

void TransferRunner::Run() {
  std::uint32_t failure = 0;
  switch (transfer) {
    case BlockTransfer::WriteFlash:
      failure = WriteFlashPages();
      break;
    case BlockTransfer::ReadFlash:
      failure = ReadFlashPages();
      break;
    case BlockTransfer::WriteEeprom:
      failure = WriteEepromPages();
      break;
    case BlockTransfer::ReadEeprom:
      failure = ReadEepromPages();
      break;
  }
  // Ready returns the programmer to page 0 even after a failure; the failure of a page, not
  // Ready's, is what the user needs to see.
  const LinkFailure pageFailure = engine.lastFailure;
  const std::uint32_t readyFailure =
      engine.TransferOn(handle, texts::kEndTransferOperation, 0,
                        SingleShotRequest(mode, VendorCommand::Ready), engine.response.data());
  if (failure != 0) {
    engine.lastFailure = pageFailure;
  } else {
    failure = readyFailure;
  }
  engine.transferRunning_ = false;
  engine.status_.Send(failure != 0 ? failure : SuccessCode(), 0);
}

std::uint32_t TransferRunner::SuccessCode() const {
  switch (transfer) {
    case BlockTransfer::WriteFlash:
      return status::FlashWritten;
    case BlockTransfer::ReadFlash:
      return status::FlashRead;
    case BlockTransfer::WriteEeprom:
      return status::EepromWritten;
    case BlockTransfer::ReadEeprom:
      return status::EepromRead;
  }
  return status::Refused;
}

std::uint32_t TransferRunner::WriteFlashPages() {
  const auto pageBytes = static_cast<std::size_t>(geometry.FlashPageBytes());
  engine.pageIndex = 0;
  engine.pageTotal = PagesToWrite(engine.flashImage, geometry.FlashPageBytes(), geometry.flashPageCount);
  for (; engine.pageIndex < engine.pageTotal; ++engine.pageIndex) {
    std::memcpy(engine.pageOut.data(), engine.flashImage.data() + engine.pageIndex * pageBytes, pageBytes);
    const std::uint32_t failure =
        engine.TransferOn(handle, texts::kWriteFlashPagePattern, engine.pageIndex,
                          WriteFlashPageRequest(mode, geometry.flashPageWords), engine.pageOut.data());
    if (failure != 0) return failure;
    engine.status_.Send(status::PageWritten, engine.pageIndex);
  }
  return 0;
}

std::uint32_t TransferRunner::ReadFlashPages() {
  const auto pageBytes = static_cast<std::size_t>(geometry.FlashPageBytes());
  engine.pageIndex = 0;
  engine.pageTotal = static_cast<std::uint32_t>(geometry.flashPageCount);
  for (; engine.pageIndex < engine.pageTotal; ++engine.pageIndex) {
    const std::uint32_t failure =
        engine.TransferOn(handle, texts::kReadFlashPagePattern, engine.pageIndex,
                          ReadFlashPageRequest(mode, geometry.flashPageWords), engine.response.data());
    if (failure != 0) return failure;
    std::memcpy(engine.flashReadback.data() + engine.pageIndex * pageBytes, engine.response.data(),
                pageBytes);
    engine.status_.Send(status::PageRead, engine.pageIndex);
  }
  return 0;
}

std::uint32_t TransferRunner::WriteEepromPages() {
  const std::size_t pageBytes = geometry.eepromPageBytes;
  engine.pageIndex = 0;
  engine.pageTotal = PagesToWrite(engine.eepromImage, geometry.eepromPageBytes, geometry.eepromPageCount);
  for (; engine.pageIndex < engine.pageTotal; ++engine.pageIndex) {
    std::memcpy(engine.pageOut.data(), engine.eepromImage.data() + engine.pageIndex * pageBytes, pageBytes);
    const std::uint32_t failure = engine.TransferOn(
        handle, texts::kWriteEepromPagePattern, engine.pageIndex,
        WriteEepromPageRequest(mode, engine.pageOut.data(), geometry.eepromPageBytes), engine.pageOut.data());
    if (failure != 0) return failure;
    engine.status_.Send(status::PageWritten, engine.pageIndex);
  }
  return 0;
}

std::uint32_t TransferRunner::ReadEepromPages() {
  const std::size_t pageBytes = geometry.eepromPageBytes;
  engine.pageIndex = 0;
  engine.pageTotal = static_cast<std::uint32_t>(geometry.eepromPageCount);
  for (; engine.pageIndex < engine.pageTotal; ++engine.pageIndex) {
    const std::uint32_t failure =
        engine.TransferOn(handle, texts::kReadEepromPagePattern, engine.pageIndex,
                          ReadEepromPageRequest(mode, geometry.eepromPageBytes), engine.response.data());
    if (failure != 0) return failure;
    std::memcpy(engine.eepromReadback.data() + engine.pageIndex * pageBytes, engine.response.data(),
                pageBytes);
    engine.status_.Send(status::PageRead, engine.pageIndex);
  }
  return 0;
}

}  // namespace kestrel::device
