#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "device/ChipMemories.h"
#include "device/VendorProtocol.h"

namespace kestrel::device {

inline constexpr std::size_t kSimulatedFlashBytes = 262144;
inline constexpr std::size_t kSimulatedEepromBytes = 65536;

// The modes a chip answers in, as a set of bits: 1 << ProgrammingMode.
constexpr std::uint8_t ModeBit(ProgrammingMode mode) {
  return static_cast<std::uint8_t>(1u << static_cast<unsigned>(mode));
}

// Fuse bits that, standing at `value`, take ISP away from the chip: (fuses[byte] & mask) == value.
struct IspLockoutBits {
  int byte = 1;  // 0 low, 1 high, 2 extended
  std::uint8_t mask = 0;
  std::uint8_t value = 0;
};

// The chip in the simulated programmer's socket as it comes out of the factory; by default an
// ATmega328P.
struct SimulatedChip {
  std::array<std::uint8_t, 3> signature{0x1E, 0x95, 0x0F};
  std::array<std::uint8_t, 4> calibration{0xA0, 0xB1, 0x9F, 0xC2};
  std::array<std::uint8_t, 3> fuses{0x62, 0xD9, 0xFF};  // low, high, extended
  std::uint8_t lock = 0xFF;
  // ISP and the high-voltage mode of its package: HVSP for the small ATtiny, the parallel
  // modes for the others. In any other mode it reads like an empty socket.
  std::uint8_t modes =
      ModeBit(ProgrammingMode::ISP) | ModeBit(ProgrammingMode::PP_20) | ModeBit(ProgrammingMode::PP_2313);
  // RSTDISBL or DWEN programmed, SPIEN unprogrammed (high fuse bits 7, 6 and 5).
  std::vector<IspLockoutBits> ispLockouts{{1, 0x80, 0x00}, {1, 0x40, 0x00}, {1, 0x20, 0x20}};
  bool firstFlashPageStuck = false;  // the first FLASH page of a transfer keeps its cells erased
};

// The programmer's firmware together with its chip: answers the vendor requests of the wire
// protocol. Not locked; the bus that owns it serialises the requests.
class SimulatedProgrammer {
 public:
  explicit SimulatedProgrammer(const SimulatedChip& chip = {});

  // Carries out one vendor request whose data stage is `bytes` (`size` bytes, in or out).
  // Returns the bytes transferred, as usb_control_msg would, or -EPIPE (a stall) for a
  // request the firmware does not know.
  int Answer(const VendorRequest& request, std::uint8_t* bytes, int size);

  // The lock bits LB2 and LB1 (bits 1 and 0) as an AVR obeys them: 11 locks nothing; 10
  // (mode 2) ignores FLASH, EEPROM and fuse writes; 00 (mode 3) also reads both memories back
  // as 0xFF. Lock writes can only program more bits; only an erase clears them.
  bool WritesLocked() const { return (lock & 0x03) != 0x03; }
  bool ReadsLocked() const { return (lock & 0x03) == 0x00; }
  // Whether the chip answers in this mode (the high nibble of a request): in ISP only while
  // its fuses leave ISP working. A chip that does not answer reads as 0xFF and ignores writes.
  bool AnswersIn(ProgrammingMode mode) const;

  // Erased; memory is taken only for the part a request or a test has used.
  ChipBuffer flash{kSimulatedFlashBytes};    // 256 KiB
  ChipBuffer eeprom{kSimulatedEepromBytes};  // 64 KiB
  std::array<std::uint8_t, 3> signature;
  std::array<std::uint8_t, 4> calibration;
  std::array<std::uint8_t, 3> fuses;
  std::uint8_t lock;
  std::uint32_t pageNumber = 0;  // pages of the running block transfer so far; 0 after Ready
  bool emptyReplies = false;     // requests whose reply the host does not use get no data

 private:
  void Erase();
  // The 8-byte reply, or none for a request whose reply the host does not use under emptyReplies.
  int ReplyWith(const VendorRequest& request, const std::uint8_t* reply, std::uint8_t* bytes, int size);
  int WriteFlashPage(const VendorRequest& request, const std::uint8_t* bytes, int size, bool stores);
  int WriteEepromPage(const VendorRequest& request, std::uint8_t* bytes, int size, bool stores);
  int ReadPage(const ChipBuffer& memory, int pageBytes, std::uint8_t* bytes, int size, bool shows);

  SimulatedChip factory_;
};

}  // namespace kestrel::device
