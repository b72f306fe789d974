#pragma once

#include <cstdint>

// The programmer's wire protocol: vendor requests on endpoint 0 whose request byte carries
// the programming mode in its high nibble and the command in its low nibble.
namespace kestrel::device {

inline constexpr std::uint16_t kProgrammerVendorId = 0x16C0;
inline constexpr std::uint16_t kProgrammerProductId = 0x05DC;
inline constexpr char kProgrammerManufacturer[] = "Quintavel";
inline constexpr char kProgrammerProduct[] = "Vorne PGR";
inline constexpr std::uint16_t kStringLanguageId = 0x0409;

inline constexpr std::uint8_t kVendorIn = 0xC0;   // vendor, device recipient, device-to-host
inline constexpr std::uint8_t kVendorOut = 0x40;  // vendor, device recipient, host-to-device
inline constexpr int kVendorTimeoutMs = 5000;
inline constexpr int kReplyLength = 8;

// Selected by the mode radio buttons; the values are what travels on the wire.
enum class ProgrammingMode : std::uint8_t { PP_20 = 0, ISP = 1, HVSP = 2, PP_2313 = 3 };

enum class VendorCommand : std::uint8_t {
  Ready = 0,
  Unlock = 1,
  EraseChip = 2,
  ReadSignature = 3,
  ReadCalibration = 4,
  ReadFuseLock = 5,
  WriteFuses = 6,
  WriteLock = 7,
  WriteFlashPage = 8,
  WriteEepromPage = 9,
  ReadFlashPage = 10,
  ReadEepromPage = 11,
};

// One setup packet (plus the length of its data stage).
struct VendorRequest {
  std::uint8_t requestType = kVendorIn;
  std::uint8_t request = 0;
  std::uint16_t value = 0;
  std::uint16_t index = 0;
  std::uint16_t length = 0;

  bool operator==(const VendorRequest&) const = default;
};

constexpr std::uint8_t RequestByte(ProgrammingMode mode, VendorCommand command) {
  return static_cast<std::uint8_t>(static_cast<std::uint8_t>(mode) * 16 + static_cast<std::uint8_t>(command));
}

// Commands 0..7: an 8-byte reply into the engine's reply area.
VendorRequest SingleShotRequest(ProgrammingMode mode, VendorCommand command, std::uint16_t value = 0,
                                std::uint16_t index = 0);
VendorRequest WriteFlashPageRequest(ProgrammingMode mode, std::uint8_t flashPageWords);
// The first four page bytes travel in wValue and wIndex (byte 0 and byte 2 low); the data
// stage runs device-to-host with the page length and its contents are dropped.
VendorRequest WriteEepromPageRequest(ProgrammingMode mode, const std::uint8_t* page,
                                     std::uint8_t eepromPageBytes);
VendorRequest ReadFlashPageRequest(ProgrammingMode mode, std::uint8_t flashPageWords);
VendorRequest ReadEepromPageRequest(ProgrammingMode mode, std::uint8_t eepromPageBytes);

// The bytes of a request's data stage that the host uses: the reply bytes it reads (3 of the
// signature, 4 of the calibration and of the fuses and lock, the whole page of a page read),
// or the page it sends with a FLASH page write. A transfer that moved fewer has failed; Ready,
// Unlock, EraseChip, WriteFuses, WriteLock and WriteEepromPage use none, so a firmware may
// answer them with any length, none included.
int UsedBytes(const VendorRequest& request);

// The largest EEPROM page whose bytes all fit the setup packet.
inline constexpr int kEepromBytesInSetupPacket = 4;

}  // namespace kestrel::device
