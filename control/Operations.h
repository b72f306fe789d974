#pragma once

namespace kestrel::control {

// Every operation the queue can hold, in the order it runs them: a button or an Auto run
// queues several, and they always run in this order, whatever the order of queueing.
enum class Operation {
  OpenWholeChipFile,
  SaveFlashFile,
  SaveEepromFile,
  OpenFlashFile,
  OpenEepromFile,
  ReadSignature,
  Identify,
  BackupFuseLock,  // a backup reads fuses and lock first: locked memory is not worth reading
  ReadCalibration,
  CheckSignature,  // reads the signature and ends the run unless it is the expected chip's
  Unlock,
  EraseChip,
  WriteFlash,
  ReadFlash,
  VerifyFlash,
  WriteEeprom,
  ReadEeprom,
  VerifyEeprom,
  WriteFuses,
  WriteLock,
  ReadFuseLock,
  WriteBackupFile,
};
inline constexpr int kOperationCount = static_cast<int>(Operation::WriteBackupFile) + 1;

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

  bool operator==(const AutoSelection&) const = default;
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
  // The fuse page's buttons, which the window's template does not have.
  Identify = 2000,
  FactoryReset = 2001,
  OpenWholeChipFile = 2002,
  Backup = 2003,
  Restore = 2004,
};

}  // namespace kestrel::control
