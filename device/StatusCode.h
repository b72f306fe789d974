#pragma once

#include <cstdint>

namespace kestrel::device {

// Every result of every operation travels as one of these codes to the status dispatcher.
namespace status {
inline constexpr std::uint32_t Ready = 0;
inline constexpr std::uint32_t Unlocked = 1;
inline constexpr std::uint32_t Erased = 2;
inline constexpr std::uint32_t SignatureRead = 3;
inline constexpr std::uint32_t CalibrationRead = 4;
inline constexpr std::uint32_t FuseLockRead = 5;
inline constexpr std::uint32_t FusesWritten = 6;
inline constexpr std::uint32_t LockWritten = 7;
inline constexpr std::uint32_t PageWritten = 11;  // progress; argument = page index
inline constexpr std::uint32_t PageRead = 15;     // progress; argument = page index
inline constexpr std::uint32_t FlashWritten = 100;
inline constexpr std::uint32_t EepromWritten = 101;
inline constexpr std::uint32_t CommunicationError = 102;
inline constexpr std::uint32_t ReceiveTimeout = 103;
inline constexpr std::uint32_t FlashRead = 108;
inline constexpr std::uint32_t EepromRead = 109;
inline constexpr std::uint32_t FlashVerified = 111;
inline constexpr std::uint32_t FlashVerifyFailed = 112;
inline constexpr std::uint32_t EepromVerified = 113;
inline constexpr std::uint32_t EepromVerifyFailed = 114;
inline constexpr std::uint32_t FlashFileOpened = 115;
inline constexpr std::uint32_t EepromFileOpened = 116;
inline constexpr std::uint32_t EepromFileSaved = 117;
inline constexpr std::uint32_t FlashFileSaved = 118;
inline constexpr std::uint32_t WholeChipFileOpened = 119;
inline constexpr std::uint32_t BackupFileSaved = 121;
// An operation that refused its input (bad fuse text, a geometry it cannot serve) after
// logging why; it reads as "其它原因" with the error beep.
inline constexpr std::uint32_t Refused = 120;
// A block transfer ended at the user's request after a page, the programmer back at page 0.
inline constexpr std::uint32_t TransferStopped = 122;
}  // namespace status

// The codes a block transfer sends after each page; every other code ends an operation.
constexpr bool IsProgressStatus(std::uint32_t code) {
  return code == status::PageWritten || code == status::PageRead;
}

}  // namespace kestrel::device
