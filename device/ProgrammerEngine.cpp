#include "device/ProgrammerEngine.h"

namespace kestrel::device {

ProgrammerEngine::ProgrammerEngine(ProgrammerLink& link, const chips::ChipGeometry& geometry,
                                   StatusChannel& status)
    : link_(link), geometry_(geometry), status_(status) {}

ProgrammerEngine::~ProgrammerEngine() {
  if (worker_.joinable()) worker_.join();
  if (retired_.joinable()) retired_.join();
}

void ProgrammerEngine::Unlock() {
  RunSingleShot(VendorCommand::Unlock);
}
void ProgrammerEngine::EraseChip() {
  RunSingleShot(VendorCommand::EraseChip);
}
void ProgrammerEngine::ReadSignature() {
  RunSingleShot(VendorCommand::ReadSignature);
}
void ProgrammerEngine::ReadCalibration() {
  RunSingleShot(VendorCommand::ReadCalibration);
}
void ProgrammerEngine::ReadFuseLock() {
  RunSingleShot(VendorCommand::ReadFuseLock);
}

void ProgrammerEngine::WriteFuses(const std::array<std::uint8_t, 3>& fuses) {
  RunSingleShot(VendorCommand::WriteFuses, static_cast<std::uint16_t>(fuses[0] | (fuses[1] << 8)), fuses[2]);
}

void ProgrammerEngine::WriteLock(std::uint8_t lock) {
  RunSingleShot(VendorCommand::WriteLock, lock);
}

void ProgrammerEngine::RunSingleShot(VendorCommand command, std::uint16_t value, std::uint16_t index) {
  const VendorRequest request = SingleShotRequest(link_.currentMode, command, value, index);
  const std::optional<Status> failure =
      IssueRequest(link_.bus, link_.deviceHandle, request, reply_.data(), 0, lastFailure_);
  PostStatus(failure.value_or(SuccessOf(command)));
}

TransferRefusal ProgrammerEngine::StartTransfer(BlockTransfer transfer, std::uint32_t readPages) {
  const TransferRefusal refusal = CheckTransfer(transfer, geometry_);
  if (refusal.Refused()) return refusal;
  RetireWorker();
  const PageTransferPlan plan = PlanTransfer(transfer, geometry_, memories_, readPages);
  pageTotal_ = plan.pageCount;
  transfer_ = transfer;
  stopRequested_ = false;
  transferRunning_ = true;
  worker_ = std::thread([this, run = PageTransferRun{link_.bus, link_.deviceHandle, link_.currentMode, plan,
                                                     status_, lastFailure_, &stopRequested_}]() mutable {
    const Status code = RunPageTransfer(run);
    // Cleared before the final Send: its handling may start the next transfer.
    transferRunning_ = false;
    status_.Send(code, 0);
  });
  return refusal;
}

// The last worker may still be inside its final Send (this call can come from the handling of
// that very code), so it is only retired; the one before it has returned from its Send.
void ProgrammerEngine::RetireWorker() {
  if (retired_.joinable()) retired_.join();
  retired_ = std::move(worker_);
}

void ProgrammerEngine::PostStatus(Status code, std::uint32_t argument) {
  status_.Send(code, argument);
}

}  // namespace kestrel::device
