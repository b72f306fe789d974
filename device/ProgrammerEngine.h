#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <thread>

#include "chips/ChipGeometry.h"
#include "device/ChipMemories.h"
#include "device/LinkFailure.h"
#include "device/PageTransfer.h"
#include "device/ProgrammerLink.h"
#include "device/StatusChannel.h"
#include "device/VendorProtocol.h"

namespace kestrel::device {

// Owns what the host keeps about the chip (the memories, the last reply, the last failed
// request) and runs the operations: the single-request commands on the caller's thread, the
// block transfers on a worker thread it owns. Every result is reported as a status code
// through the status channel.
class ProgrammerEngine {
 public:
  ProgrammerEngine(ProgrammerLink& link, const chips::ChipGeometry& geometry, StatusChannel& status);
  // Joins the workers. The owner must not destroy the engine while a transfer runs.
  virtual ~ProgrammerEngine();
  ProgrammerEngine(const ProgrammerEngine&) = delete;
  ProgrammerEngine& operator=(const ProgrammerEngine&) = delete;

  // Single-request commands: one vendor request, then exactly one status code (SuccessOf the
  // command, or 102/103 on a failed transfer).
  void Unlock();
  void EraseChip();
  void ReadSignature();
  void ReadCalibration();
  void ReadFuseLock();
  void WriteFuses(const std::array<std::uint8_t, 3>& fuses);  // low, high, extended
  void WriteLock(std::uint8_t lock);

  // Starts a block transfer on the worker thread with the geometry, mode and handle of this
  // moment. A geometry it cannot serve is refused: nothing is sent, no code is posted, and
  // the refusal is returned for the caller to report. A read may be limited to its first
  // `readPages` pages (see PlanTransfer).
  TransferRefusal StartTransfer(BlockTransfer transfer, std::uint32_t readPages = 0);
  // True from StartTransfer until the worker is about to send its final code, so that the
  // handling of that code may use the bus and start the next transfer.
  bool TransferRunning() const { return transferRunning_; }
  // Pages of the running (or last) block transfer, and which one it is.
  std::uint32_t PageTotal() const { return pageTotal_; }
  BlockTransfer Transfer() const { return transfer_; }
  // Asks the running block transfer to end after its current page (with Ready, then
  // TransferStopped); a transfer started later is not affected. Any thread.
  void RequestStop() { stopRequested_ = true; }

  void PostStatus(Status code, std::uint32_t argument = 0);

  ChipMemories& memories() { return memories_; }
  const ChipMemories& memories() const { return memories_; }
  // The reply of the last single request: signature, calibration or fuse and lock bytes.
  const std::array<std::uint8_t, kReplyLength>& LastReply() const { return reply_; }
  // The request that failed last; read it when its 102/103 is dispatched.
  const LinkFailure& LastFailure() const { return lastFailure_; }

 private:
  void RunSingleShot(VendorCommand command, std::uint16_t value = 0, std::uint16_t index = 0);
  void RetireWorker();

  ProgrammerLink& link_;
  const chips::ChipGeometry& geometry_;
  StatusChannel& status_;
  ChipMemories memories_;
  std::array<std::uint8_t, kReplyLength> reply_{};
  LinkFailure lastFailure_;
  std::atomic<std::uint32_t> pageTotal_{0};
  BlockTransfer transfer_ = BlockTransfer::WriteFlash;
  std::atomic<bool> stopRequested_{false};
  std::thread worker_;   // the running (or last) block transfer
  std::thread retired_;  // the one before; finished, or about to finish, when replaced
  std::atomic<bool> transferRunning_{false};
};

}  // namespace kestrel::device
