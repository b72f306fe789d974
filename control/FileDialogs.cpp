#include "control/FrontEndPorts.h"

namespace kestrel::control {

const FileDialogSpec& DialogSpec(FileDialogKind kind) {
  static const FileFilter kHex{"Intel Hex文件(*.hex)", "*.hex"};
  static const FileFilter kBin{"二进制文件(*.bin)", "*.bin"};
  static const FileFilter kEep{"EEP文件(*.eep)", "*.eep"};
  static const FileDialogSpec kOpenFlash{false, "bin", {kHex, kBin}};
  static const FileDialogSpec kOpenEeprom{false, "bin", {kHex, kBin, kEep}};
  static const FileDialogSpec kSave{true, "bin", {kBin}};
  switch (kind) {
    case FileDialogKind::OpenFlash: return kOpenFlash;
    case FileDialogKind::OpenEeprom: return kOpenEeprom;
    case FileDialogKind::SaveFlash:
    case FileDialogKind::SaveEeprom: break;
  }
  return kSave;
}

}  // namespace kestrel::control
