#include "device/VendorProtocol.h"

namespace kestrel::device {

namespace {

VendorRequest MakeRequest(std::uint8_t requestType, ProgrammingMode mode, VendorCommand command,
                          std::uint16_t value, std::uint16_t index, std::uint16_t length) {
  VendorRequest request;
  request.requestType = requestType;
  request.request = RequestByte(mode, command);
  request.value = value;
  request.index = index;
  request.length = length;
  return request;
}

std::uint16_t LittleEndianPair(std::uint8_t low, std::uint8_t high) {
  return static_cast<std::uint16_t>(low | (high << 8));
}

}  // namespace

VendorRequest SingleShotRequest(ProgrammingMode mode, VendorCommand command, std::uint16_t value,
                                std::uint16_t index) {
  return MakeRequest(kVendorIn, mode, command, value, index, kReplyLength);
}

VendorRequest WriteFlashPageRequest(ProgrammingMode mode, std::uint8_t flashPageWords) {
  return MakeRequest(kVendorOut, mode, VendorCommand::WriteFlashPage, flashPageWords, 0,
                     static_cast<std::uint16_t>(flashPageWords * 2));
}

// Only the bytes that exist in the page are read; the positions beyond a shorter page carry 0.
VendorRequest WriteEepromPageRequest(ProgrammingMode mode, const std::uint8_t* page,
                                     std::uint8_t eepromPageBytes) {
  std::uint8_t carried[kEepromBytesInSetupPacket] = {0, 0, 0, 0};
  for (int i = 0; i < kEepromBytesInSetupPacket && i < eepromPageBytes; ++i) carried[i] = page[i];
  return MakeRequest(kVendorIn, mode, VendorCommand::WriteEepromPage,
                     LittleEndianPair(carried[0], carried[1]), LittleEndianPair(carried[2], carried[3]),
                     eepromPageBytes);
}

VendorRequest ReadFlashPageRequest(ProgrammingMode mode, std::uint8_t flashPageWords) {
  return MakeRequest(kVendorIn, mode, VendorCommand::ReadFlashPage, flashPageWords, 0,
                     static_cast<std::uint16_t>(flashPageWords * 2));
}

VendorRequest ReadEepromPageRequest(ProgrammingMode mode, std::uint8_t eepromPageBytes) {
  return MakeRequest(kVendorIn, mode, VendorCommand::ReadEepromPage, eepromPageBytes, 0, eepromPageBytes);
}

int UsedBytes(const VendorRequest& request) {
  switch (static_cast<VendorCommand>(request.request & 0x0F)) {
    case VendorCommand::ReadSignature:
      return 3;
    case VendorCommand::ReadCalibration:
    case VendorCommand::ReadFuseLock:
      return 4;
    case VendorCommand::WriteFlashPage:
    case VendorCommand::ReadFlashPage:
    case VendorCommand::ReadEepromPage:
      return request.length;
    default:
      return 0;
  }
}

}  // namespace kestrel::device
