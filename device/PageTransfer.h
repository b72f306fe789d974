#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>

#include "chips/ChipGeometry.h"
#include "device/ChipMemories.h"
#include "device/LinkFailure.h"
#include "device/StatusChannel.h"
#include "device/StatusCode.h"
#include "device/UsbBus.h"

namespace kestrel::device {

enum class BlockTransfer { WriteFlash, ReadFlash, WriteEeprom, ReadEeprom };

// Why a block transfer cannot serve the selected chip; nothing is sent then.
struct TransferRefusal {
  chips::GeometryProblem geometry = chips::GeometryProblem::None;
  bool eepromPageTooLong = false;  // more EEPROM page bytes than the setup packet carries

  bool Refused() const { return geometry != chips::GeometryProblem::None || eepromPageTooLong; }
};

// The one thing that differs between the four block transfers, fixed at their start.
struct PageTransferPlan {
  VendorCommand command;  // the page request
  bool writes;            // pages go from `memory` to the chip, else from the chip to it
  std::size_t pageBytes;
  std::uint32_t pageCount;   // pages this run moves
  std::uint8_t requestSize;  // page words (FLASH) or page bytes (EEPROM) in the request
  Status successCode;
  std::span<std::uint8_t> memory;  // the image written or the read-back filled
};

TransferRefusal CheckTransfer(BlockTransfer transfer, const chips::ChipGeometry& geometry);
bool IsFlashTransfer(BlockTransfer transfer);
MemoryKind MemoryOf(BlockTransfer transfer);

// A write covers the pages up to the last byte that is not 0xFF, always at least one; a read
// covers the whole chip, or only its first `readPages` pages (0: all) when the chip is known to
// be erased beyond them: the rest of the chip's read-back is then set to 0xFF.
PageTransferPlan PlanTransfer(BlockTransfer transfer, const chips::ChipGeometry& geometry,
                              ChipMemories& memories, std::uint32_t readPages = 0);

// Index i of `total` pages as a bar position: the first page 0, the last 100. Unsigned
// arithmetic as the bar always had: a total of 0 divides by 2^32-1 and gives 0.
int ProgressPosition(std::uint32_t index, std::uint32_t total);

// Everything a running block transfer uses, taken at its start.
struct PageTransferRun {
  UsbBus& bus;
  UsbHandle* handle;
  ProgrammingMode mode;
  PageTransferPlan plan;
  StatusChannel& status;
  LinkFailure& failure;                     // written only by this run while it runs
  const std::atomic<bool>* stop = nullptr;  // set by another thread: end after the current page
};

// Moves the pages in order with a progress code after each page that moves the bar (the
// first and the last always do), stops at the first failed page or once `stop` is set,
// always ends with Ready (which returns the programmer to page 0), and returns the final
// status: the plan's success code, TransferStopped, or 102/103 for the first failed request
// (a failed page outranks a failed Ready, which outranks a stop).
Status RunPageTransfer(PageTransferRun& run);

// One vendor request on `handle`: nothing, or the failure status (102/103) after filling `failure`.
// It has failed when the bus returned an error or moved fewer than the bytes the host uses
// (UsedBytes); a reply of any length serves a request whose reply is not used.
std::optional<Status> IssueRequest(UsbBus& bus, UsbHandle* handle, const VendorRequest& request,
                                   std::uint8_t* buffer, std::uint32_t page, LinkFailure& failure);

}  // namespace kestrel::device
