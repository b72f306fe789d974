#pragma once

namespace kestrel::control {

// One flag per queueable operation, 0 or 1, in declaration order. The scheduler picks by its
// own priority order, not this one.
struct PendingOperations {
  int openFlashFile = 0;
  int openEepromFile = 0;
  int saveFlashFile = 0;
  int saveEepromFile = 0;
  int readSignature = 0;
  int readCalibration = 0;
  int eraseChip = 0;
  int writeFlash = 0;
  int readFlash = 0;
  int verifyFlash = 0;
  int writeEeprom = 0;
  int readEeprom = 0;
  int verifyEeprom = 0;
  int writeFuses = 0;
  int readFuseLock = 0;
  int writeLock = 0;
  int unlock = 0;

  bool operator==(const PendingOperations&) const = default;
};

// The nine Auto check boxes.
struct AutoSelection {
  bool eraseChip = false;     // 1035 "擦除器件 erase chip"
  bool writeFlash = false;    // 1029 "写FLASH"
  bool readFlash = false;     // 1030 "读FLASH"
  bool verifyFlash = false;   // 1031 "校验FLASH"
  bool writeEeprom = false;   // 1032 "写EEPROM"
  bool readEeprom = false;    // 1033 "读EEPROM"
  bool verifyEeprom = false;  // 1036 "校验EEPROM"
  bool writeFuses = false;    // 1038 "熔丝位fuse"
  bool writeLock = false;     // 1040 "锁定位lock"
};

// Operation buttons by control ID.
enum class OperationButton : int {
  ReadSignature = 1000,
  OpenFlashFile = 1001,
  ReadFuseLock = 1002,
  ReadCalibration = 1005,
  Erase = 1008,
  WriteFuses = 1010,
  WriteLock = 1015,
  ReadEeprom = 1018,
  WriteEeprom = 1020,
  ReadFlash = 1021,
  WriteFlash = 1022,
  OpenEepromFile = 1023,
  VerifyFlash = 1024,
  VerifyEeprom = 1025,
  Auto = 1027,  // reads the check boxes through FrontEnd::AutoBoxes
  SaveFlashFile = 1028,
  SaveEepromFile = 1037,
  Burn = 1066,
};

}  // namespace kestrel::control
