#include "device/PageTransfer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <shared_mutex>

#include "base/Bytes.h"
#include "device/StatusCode.h"
#include "device/UsbLock.h"

namespace kestrel::device {

namespace {

// The largest page the 8-bit geometry can describe: 255 words of FLASH.
constexpr std::size_t kPageAreaBytes = 510;

VendorRequest PageRequest(const PageTransferPlan& plan, ProgrammingMode mode, const std::uint8_t* page) {
  switch (plan.command) {
    case VendorCommand::WriteFlashPage:
      return WriteFlashPageRequest(mode, plan.requestSize);
    case VendorCommand::WriteEepromPage:
      return WriteEepromPageRequest(mode, page, plan.requestSize);
    case VendorCommand::ReadFlashPage:
      return ReadFlashPageRequest(mode, plan.requestSize);
    default:
      return ReadEepromPageRequest(mode, plan.requestSize);
  }
}

}  // namespace

bool IsFlashTransfer(BlockTransfer transfer) {
  return transfer == BlockTransfer::WriteFlash || transfer == BlockTransfer::ReadFlash;
}

MemoryKind MemoryOf(BlockTransfer transfer) {
  return IsFlashTransfer(transfer) ? MemoryKind::Flash : MemoryKind::Eeprom;
}

TransferRefusal CheckTransfer(BlockTransfer transfer, const chips::ChipGeometry& geometry) {
  TransferRefusal refusal;
  refusal.geometry = IsFlashTransfer(transfer) ? chips::FlashGeometryProblem(geometry)
                                               : chips::EepromGeometryProblem(geometry);
  refusal.eepromPageTooLong = refusal.geometry == chips::GeometryProblem::None &&
                              transfer == BlockTransfer::WriteEeprom &&
                              geometry.eepromPageBytes > kEepromBytesInSetupPacket;
  return refusal;
}

PageTransferPlan PlanTransfer(BlockTransfer transfer, const chips::ChipGeometry& geometry,
                              ChipMemories& memories, std::uint32_t readPages) {
  const bool flash = IsFlashTransfer(transfer);
  const bool writes = transfer == BlockTransfer::WriteFlash || transfer == BlockTransfer::WriteEeprom;
  Memory& memory = memories[MemoryOf(transfer)];
  ChipBuffer& buffer = writes ? memory.image : memory.readback;
  const std::int64_t pageBytes = flash ? geometry.FlashPageBytes() : geometry.eepromPageBytes;
  const std::int32_t chipPages = flash ? geometry.flashPageCount : geometry.eepromPageCount;
  std::uint32_t pages = static_cast<std::uint32_t>(chipPages);
  if (writes) {
    // Past its used part the image is all 0xFF.
    const auto usedSize = static_cast<std::int32_t>(buffer.UsedSize());
    const std::int32_t used = TrimmedLength(buffer.Use(buffer.UsedSize()), usedSize);
    pages = static_cast<std::uint32_t>(std::min<std::int64_t>(used / pageBytes + 1, chipPages));
  } else if (readPages != 0) {
    pages = std::min(pages, readPages);
  }
  const auto chipBytes = static_cast<std::size_t>(std::clamp<std::int64_t>(
      pageBytes * (writes ? pages : chipPages), 0, static_cast<std::int64_t>(buffer.size())));
  std::uint8_t* const bytes = buffer.Use(chipBytes);
  if (!writes) {
    const auto readBytes = std::min(static_cast<std::size_t>(pageBytes) * pages, chipBytes);
    std::fill(bytes + readBytes, bytes + chipBytes, std::uint8_t{0xFF});
  }
  static constexpr VendorCommand kCommands[] = {VendorCommand::WriteFlashPage, VendorCommand::ReadFlashPage,
                                                VendorCommand::WriteEepromPage,
                                                VendorCommand::ReadEepromPage};
  static constexpr Status kSuccess[] = {Status::FlashWritten, Status::FlashRead, Status::EepromWritten,
                                        Status::EepromRead};
  const auto index = static_cast<std::size_t>(transfer);
  return {kCommands[index],
          writes,
          static_cast<std::size_t>(pageBytes),
          pages,
          flash ? geometry.flashPageWords : geometry.eepromPageBytes,
          kSuccess[index],
          std::span<std::uint8_t>(bytes, chipBytes)};
}

int ProgressPosition(std::uint32_t index, std::uint32_t total) {
  if (total == 1) return 100;
  return static_cast<int>(index * 100u / (total - 1u));
}

std::optional<Status> IssueRequest(UsbBus& bus, UsbHandle* handle, const VendorRequest& request,
                                   std::uint8_t* buffer, std::uint32_t page, LinkFailure& failure) {
  const auto command = static_cast<VendorCommand>(request.request & 0x0F);
  if (handle == nullptr) {
    failure = {command, page, true, 0, UsedBytes(request)};
    return Status::CommunicationError;
  }
  std::shared_lock transfer(ProcessUsbLock());
  const int result = bus.ControlMsg(handle, request.requestType, request.request, request.value,
                                    request.index, buffer, request.length, kVendorTimeoutMs);
  transfer.unlock();
  const int used = UsedBytes(request);
  if (result >= used) return std::nullopt;
  failure = {command, page, false, result, used};
  return result == -ETIMEDOUT ? Status::ReceiveTimeout : Status::CommunicationError;
}

Status RunPageTransfer(PageTransferRun& run) {
  const PageTransferPlan& plan = run.plan;
  std::uint8_t page[kPageAreaBytes];
  std::optional<Status> failure;
  // Each progress code wakes the front end's thread and waits for it: only a page that moves
  // the bar is worth that.
  int shown = -1;
  const auto stopped = [&run] { return run.stop != nullptr && run.stop->load(); };
  for (std::uint32_t index = 0; index < plan.pageCount && !stopped(); ++index) {
    std::uint8_t* const at = plan.memory.data() + index * plan.pageBytes;
    if (plan.writes) std::memcpy(page, at, plan.pageBytes);
    failure = IssueRequest(run.bus, run.handle, PageRequest(plan, run.mode, page), page, index, run.failure);
    if (failure) break;
    if (!plan.writes) std::memcpy(at, page, plan.pageBytes);
    const int position = ProgressPosition(index, plan.pageCount);
    if (position == shown) continue;
    shown = position;
    run.status.Send(plan.writes ? Status::PageWritten : Status::PageRead, index);
  }
  // Ready returns the programmer to page 0 even after a failure; the failure of a page, not
  // Ready's, is what the user needs to see.
  std::uint8_t reply[kReplyLength];
  LinkFailure readyFailure;
  const std::optional<Status> ready = IssueRequest(
      run.bus, run.handle, SingleShotRequest(run.mode, VendorCommand::Ready), reply, 0, readyFailure);
  if (failure) return *failure;
  if (ready) {
    run.failure = readyFailure;
    return *ready;
  }
  return stopped() ? Status::TransferStopped : plan.successCode;
}

}  // namespace kestrel::device
