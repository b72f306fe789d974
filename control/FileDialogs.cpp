#include "base/Translate.h"
#include "control/FrontEndPorts.h"

namespace kestrel::control {

const FileDialogSpec& DialogSpec(FileDialogKind kind) {
  // Worded at the first dialog, after the language was chosen.
  static const FileFilter kHex{Msg("Intel Hex文件(*.hex)"), "*.hex"};
  static const FileFilter kBin{Msg("二进制文件(*.bin)"), "*.bin"};
  static const FileFilter kEep{Msg("EEP文件(*.eep)"), "*.eep"};
  static const FileFilter kElf{Msg("ELF程序(*.elf)"), "*.elf"};
  static const FileDialogSpec kOpenFlash{false, "bin", {kHex, kBin, kElf}};
  static const FileDialogSpec kOpenEeprom{false, "bin", {kHex, kBin, kEep, kElf}};
  static const FileDialogSpec kSave{true, "bin", {kBin, kHex}};
  static const FileDialogSpec kOpenWholeChip{false, "hex", {kHex, kElf}};
  static const FileDialogSpec kSaveBackup{true, "hex", {kHex}};
  switch (kind) {
    case FileDialogKind::OpenFlash:
      return kOpenFlash;
    case FileDialogKind::OpenEeprom:
      return kOpenEeprom;
    case FileDialogKind::OpenWholeChip:
      return kOpenWholeChip;
    case FileDialogKind::SaveBackup:
      return kSaveBackup;
    case FileDialogKind::SaveFlash:
    case FileDialogKind::SaveEeprom:
      break;
  }
  return kSave;
}

}  // namespace kestrel::control
