#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "chips/ChipGeometry.h"
#include "device/ProgrammerLink.h"
#include "device/StatusChannel.h"
#include "device/TonePlayer.h"
#include "device/VendorProtocol.h"

namespace kestrel::device {

// Receives the plain lines with which an operation explains a refusal.
class NoteSink {
 public:
  virtual ~NoteSink() = default;
  virtual void Note(const std::string& line) = 0;
};

// The largest page the 8-bit geometry can describe: 255 words of FLASH.
inline constexpr int kPageAreaBytes = 510;

// The transfer that failed last, kept for the dispatcher's report of codes 102 and 103.
struct LinkFailure {
  std::string operation;  // what was being done, e.g. "读FLASH 第 12 页"
  int error = 0;          // the libusb result: negative errno, or the short byte count
  std::string text;       // one plain line for the log
};

enum class BlockTransfer { WriteFlash, ReadFlash, WriteEeprom, ReadEeprom };

// Owns what the host keeps about the chip: the FLASH and EEPROM images and read-back buffers,
// the reply and page areas, the busy mark. Runs the single-request commands on the caller's
// thread and the block transfers on a worker thread it owns, reporting every result as a
// status code through the status channel.
class ProgrammerEngine {
 public:
  ProgrammerEngine(ProgrammerLink& link, const chips::ChipGeometry& geometry, StatusChannel& status,
                   TonePlayer& tones, NoteSink& notes);
  // Joins the workers. The owner must not destroy the engine while a transfer runs.
  virtual ~ProgrammerEngine();
  ProgrammerEngine(const ProgrammerEngine&) = delete;
  ProgrammerEngine& operator=(const ProgrammerEngine&) = delete;

  // Single-request commands: one vendor request, then exactly one status code (the command
  // number on success, 102/103 on a failed transfer, 120 for refused fuse or lock text).
  void Unlock();
  void EraseChip();
  void ReadSignature();
  void ReadCalibration();
  void ReadFuseLock();
  void WriteFuses(std::string_view fuseText);  // six hex digits: low, high, extended
  void WriteLock(std::string_view lockText);   // two hex digits

  // Starts a block transfer on the worker thread with the geometry, mode and handle of this
  // moment. Returns false when it refused the geometry instead (after a note and status 120,
  // already dispatched when it returns).
  bool StartTransfer(BlockTransfer transfer);
  // True from StartTransfer until the worker is about to send its final code, so that the
  // handling of that code may use the bus and start the next transfer.
  bool TransferRunning() const;

  void PostStatus(std::uint32_t code, std::uint32_t argument = 0);
  void StartErrorBeep();
  void StartSuccessBeep();

  // The index of the last byte that is not 0xFF, plus one; 0 when all are 0xFF; a length of
  // 0 or less is returned as it is.
  static std::int32_t TrimmedLength(const std::uint8_t* bytes, std::int32_t length);

  int busy = 0;  // 1 while an operation runs; set by the scheduler, cleared by the dispatcher
  std::array<std::uint8_t, kPageAreaBytes> response{};  // reply of single requests; page read
  std::array<std::uint8_t, kPageAreaBytes> pageOut{};   // page being written
  std::uint32_t pageIndex = 0;  // page in transfer, 0-based
  std::uint32_t pageTotal = 0;  // pages of the running transfer
  std::vector<std::uint8_t> eepromReadback;
  std::vector<std::uint8_t> eepromImage;
  std::vector<std::uint8_t> flashReadback;
  std::vector<std::uint8_t> flashImage;

  LinkFailure lastFailure;          // the transfer that failed last
  std::uint32_t errorBeepCount = 0;  // every failure and refusal sounds the error beep once

  ProgrammerLink& link;
  const chips::ChipGeometry& geometry;

 private:
  friend struct TransferRunner;
  // Issues one request; returns 0, or the failure status (102/103) after keeping lastFailure.
  std::uint32_t Transfer(const std::string& operation, const VendorRequest& request,
                         std::uint8_t* buffer);
  // The same on a handle taken at the start of a block transfer. The operation's name is
  // `operationPattern` formatted with `page`, built only when the request failed.
  std::uint32_t TransferOn(UsbHandle* handle, const char* operationPattern, std::uint32_t page,
                           const VendorRequest& request, std::uint8_t* buffer);
  // Keeps lastFailure for a request that returned `result` instead of `expectedLength` bytes
  // and returns its status: 103 for a time-out, 102 otherwise.
  std::uint32_t KeepFailure(const std::string& operation, int result, int expectedLength);
  void RunSingleShot(VendorCommand command, std::uint16_t value, std::uint16_t index);
  void RetireWorker();

  StatusChannel& status_;
  TonePlayer& tones_;
  NoteSink& notes_;
  std::thread worker_;   // the running (or last) block transfer
  std::thread retired_;  // the one before; finished, or about to finish, when replaced
  std::atomic<bool> transferRunning_{false};  // cleared just before the worker's final Send
};

// Parses `digits` hex-digit pairs of `text` (first digit the high nibble). False, and `bytes`
// untouched, unless the text holds at least that many characters and all are hex digits.
bool ParseHexText(std::string_view text, int pairs, std::uint8_t* bytes);

}  // namespace kestrel::device
