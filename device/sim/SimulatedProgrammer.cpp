#include "device/sim/SimulatedProgrammer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kestrel::device {

SimulatedProgrammer::SimulatedProgrammer(const SimulatedChip& chip)
    : signature(chip.signature),
      calibration(chip.calibration),
      fuses(chip.fuses),
      lock(chip.lock),
      factory_(chip) {}

int SimulatedProgrammer::Answer(const VendorRequest& request, std::uint8_t* bytes, int size) {
  const auto command = static_cast<VendorCommand>(request.request & 0x0F);
  const std::uint8_t expectedType = command == VendorCommand::WriteFlashPage ? kVendorOut : kVendorIn;
  if (request.requestType != expectedType) return -EPIPE;

  std::uint8_t reply[kReplyLength] = {};
  const bool answering = AnswersIn(static_cast<ProgrammingMode>(request.request >> 4));
  if (!answering && command != VendorCommand::Ready && command <= VendorCommand::WriteLock) {
    // The programmer still replies, with what it reads from a chip that does not answer.
    std::fill(std::begin(reply), std::end(reply), 0xFF);
    return ReplyWith(request, reply, bytes, size);
  }
  switch (command) {
    case VendorCommand::Ready:
      pageNumber = 0;
      break;
    case VendorCommand::Unlock:
      Erase();
      fuses = factory_.fuses;
      lock = factory_.lock;
      break;
    case VendorCommand::EraseChip:
      Erase();
      break;
    case VendorCommand::ReadSignature:
      std::copy(signature.begin(), signature.end(), reply);
      break;
    case VendorCommand::ReadCalibration:
      std::copy(calibration.begin(), calibration.end(), reply);
      break;
    case VendorCommand::ReadFuseLock:
      std::copy(fuses.begin(), fuses.end(), reply);
      reply[3] = lock;
      break;
    case VendorCommand::WriteFuses:
      if (WritesLocked()) break;
      fuses = {static_cast<std::uint8_t>(request.value & 0xFF), static_cast<std::uint8_t>(request.value >> 8),
               static_cast<std::uint8_t>(request.index & 0xFF)};
      break;
    case VendorCommand::WriteLock:
      lock &= static_cast<std::uint8_t>(request.value & 0xFF);
      break;
    case VendorCommand::WriteFlashPage:
      return WriteFlashPage(request, bytes, size, answering && !WritesLocked());
    case VendorCommand::WriteEepromPage:
      return WriteEepromPage(request, bytes, size, answering && !WritesLocked());
    case VendorCommand::ReadFlashPage:
      return ReadPage(flash, request.value * 2, bytes, size, answering && !ReadsLocked());
    case VendorCommand::ReadEepromPage:
      return ReadPage(eeprom, request.value, bytes, size, answering && !ReadsLocked());
    default:
      return -EPIPE;
  }
  return ReplyWith(request, reply, bytes, size);
}

// A nibble past the known modes has no bit in the set (ModeBit truncates it to 0).
bool SimulatedProgrammer::AnswersIn(ProgrammingMode mode) const {
  if ((factory_.modes & ModeBit(mode)) == 0) return false;
  if (mode != ProgrammingMode::ISP) return true;
  return std::none_of(factory_.ispLockouts.begin(), factory_.ispLockouts.end(),
                      [this](const IspLockoutBits& bits) {
                        return bits.byte >= 0 && bits.byte < 3 &&
                               (fuses[static_cast<std::size_t>(bits.byte)] & bits.mask) == bits.value;
                      });
}

void SimulatedProgrammer::Erase() {
  flash.Erase();
  eeprom.Erase();
  lock = 0xFF;
}

int SimulatedProgrammer::ReplyWith(const VendorRequest& request, const std::uint8_t* reply,
                                   std::uint8_t* bytes, int size) {
  const int count = std::clamp(size, 0, emptyReplies && UsedBytes(request) == 0 ? 0 : kReplyLength);
  if (count > 0) std::memcpy(bytes, reply, static_cast<std::size_t>(count));
  return count;
}

// FLASH cells can only be programmed from 1 to 0; bytes past the memory are lost, and all of
// them unless the chip `stores` them, which it does not under a lock or when it does not answer
// (the request itself succeeds: the programmer does not know).
int SimulatedProgrammer::WriteFlashPage(const VendorRequest& request, const std::uint8_t* bytes, int size,
                                        bool stores) {
  const std::size_t pageBytes = std::size_t{request.value} * 2;
  const std::size_t start = pageNumber * pageBytes;
  const bool keeps = stores && !(factory_.firstFlashPageStuck && pageNumber == 0);
  const std::size_t count = keeps ? std::min(pageBytes, static_cast<std::size_t>(std::max(size, 0))) : 0;
  const std::size_t end = std::min(start + count, flash.size());
  std::uint8_t* const cells = flash.Use(end);
  for (std::size_t i = start; i < end; ++i) cells[i] &= bytes[i - start];
  ++pageNumber;
  return std::max(size, 0);
}

// Only the four bytes of the setup packet reach the chip, whatever the page length.
int SimulatedProgrammer::WriteEepromPage(const VendorRequest& request, std::uint8_t* bytes, int size,
                                         bool stores) {
  const std::size_t pageBytes = request.length;
  const std::uint8_t carried[kEepromBytesInSetupPacket] = {
      static_cast<std::uint8_t>(request.value & 0xFF), static_cast<std::uint8_t>(request.value >> 8),
      static_cast<std::uint8_t>(request.index & 0xFF), static_cast<std::uint8_t>(request.index >> 8)};
  const std::size_t start = pageNumber * pageBytes;
  const std::size_t written = stores ? std::min<std::size_t>(pageBytes, kEepromBytesInSetupPacket) : 0;
  const std::size_t end = std::min(start + written, eeprom.size());
  std::uint8_t* const cells = eeprom.Use(end);
  for (std::size_t i = start; i < end; ++i) cells[i] = carried[i - start];
  ++pageNumber;
  const int count = emptyReplies ? 0 : std::clamp(size, 0, static_cast<int>(pageBytes));
  if (count > 0) std::memset(bytes, 0, static_cast<std::size_t>(count));
  return count;
}

// Past the memory, and unless the chip `shows` it (not under a read lock, nor when it does not
// answer), bytes read 0xFF.
int SimulatedProgrammer::ReadPage(const ChipBuffer& memory, int pageBytes, std::uint8_t* bytes, int size,
                                  bool shows) {
  const std::size_t start = std::size_t{pageNumber} * static_cast<std::size_t>(pageBytes);
  const auto count = static_cast<std::size_t>(std::clamp(size, 0, pageBytes));
  const bool readable = shows && start < memory.size();
  const std::size_t inside = readable ? std::min(count, memory.size() - start) : 0;
  memory.CopyOut(start, inside, bytes);
  std::fill(bytes + inside, bytes + count, std::uint8_t{0xFF});
  ++pageNumber;
  return static_cast<int>(count);
}

}  // namespace kestrel::device
