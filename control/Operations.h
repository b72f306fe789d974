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
  // Each reads its memory and passes only when every byte is 0xFF: before any write, so that a
  // run can check a new chip instead of erasing it.
  BlankCheckFlash,
  BlankCheckEeprom,
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
  bool eraseChip = false;     // "擦除器件 erase chip"
  bool writeFlash = false;    // "写FLASH"
  bool readFlash = false;     // "读FLASH"
  bool verifyFlash = false;   // "校验FLASH"
  bool writeEeprom = false;   // "写EEPROM"
  bool readEeprom = false;    // "读EEPROM"
  bool verifyEeprom = false;  // "校验EEPROM"
  bool writeFuses = false;    // "熔丝位fuse"
  bool writeLock = false;     // "锁定位lock"

  bool operator==(const AutoSelection&) const = default;
};

// The buttons of a front end (the window's, its fuse page's, the command line's commands): what
// the user presses, each queueing its operations.
enum class OperationButton {
  ReadSignature,
  OpenFlashFile,
  ReadFuseLock,
  ReadCalibration,
  Erase,
  WriteFuses,
  WriteLock,
  ReadEeprom,
  WriteEeprom,
  ReadFlash,
  WriteFlash,
  OpenEepromFile,
  VerifyFlash,
  VerifyEeprom,
  Auto,  // the check boxes come in RunRequest::boxes
  SaveFlashFile,
  SaveEepromFile,
  Burn,
  Identify,
  FactoryReset,
  OpenWholeChipFile,
  Backup,
  Restore,
  BlankCheck,
};

}  // namespace kestrel::control
