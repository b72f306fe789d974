#pragma once

#include "control/Operations.h"

namespace kestrel::ui {

// The main window's controls by their template IDs. The numbers are the template's own: the
// object names (ctlNNNN) and the saved settings of the check boxes carry them.
enum class ControlId : int {
  ChipSelectLabel = -1,  // the template gives this label no ID

  // The option frame: chip, signature, calibration, fuses and lock, mode.
  ReadSignatureButton = 1000,
  ReadFuseLockButton = 1002,
  ReadCalibrationButton = 1005,
  ChipList = 1043,
  SignatureText = 1045,
  CalibrationText = 1046,
  FuseLockText = 1047,
  OptionFrame = 1051,
  SignatureLabel = 1052,
  FuseLockLabel = 1059,
  ModeFrame = 1060,
  CalibrationLabel = 1063,
  ModePP20 = 1055,
  ModeIsp = 1056,
  ModeHvsp = 1062,
  ModePP2313 = 1065,

  // The operate frame: files, memory rows, the Auto boxes and the run.
  OpenFlashButton = 1001,
  EraseButton = 1008,
  FuseText = 1009,
  WriteFusesButton = 1010,
  FuseBytesLabel = 1011,
  LockText = 1014,
  WriteLockButton = 1015,
  ProgressBar = 1017,
  ReadEepromButton = 1018,
  WriteEepromButton = 1020,
  ReadFlashButton = 1021,
  WriteFlashButton = 1022,
  OpenEepromButton = 1023,
  VerifyFlashButton = 1024,
  VerifyEepromButton = 1025,
  AutoButton = 1027,
  SaveFlashButton = 1028,
  AutoWriteFlash = 1029,
  AutoReadFlash = 1030,
  AutoVerifyFlash = 1031,
  AutoWriteEeprom = 1032,
  AutoReadEeprom = 1033,
  AutoErase = 1035,
  AutoVerifyEeprom = 1036,
  SaveEepromButton = 1037,
  AutoWriteFuses = 1038,
  AutoWriteLock = 1040,
  OperateFrame = 1050,
  MemoryFrame = 1064,  // the frame without a caption around the memory rows
  BurnButton = 1066,   // hidden
  StopButton = 1070,
  FastVerifyBox = 1071,
  ConnectionLabel = 1072,

  // The pages.
  FlashHexView = 1016,
  PageTabs = 1019,
  EepromHexView = 1026,
  LogList = 1034,
  IntroText = 1041,
};

// Which operation each push button of the window presses: every push button but Stop, which
// ends a transfer instead.
struct ButtonOperation {
  ControlId button;
  control::OperationButton operation;
};
inline constexpr ButtonOperation kButtonOperations[] = {
    {ControlId::ReadSignatureButton, control::OperationButton::ReadSignature},
    {ControlId::OpenFlashButton, control::OperationButton::OpenFlashFile},
    {ControlId::ReadFuseLockButton, control::OperationButton::ReadFuseLock},
    {ControlId::ReadCalibrationButton, control::OperationButton::ReadCalibration},
    {ControlId::EraseButton, control::OperationButton::Erase},
    {ControlId::WriteFusesButton, control::OperationButton::WriteFuses},
    {ControlId::WriteLockButton, control::OperationButton::WriteLock},
    {ControlId::ReadEepromButton, control::OperationButton::ReadEeprom},
    {ControlId::WriteEepromButton, control::OperationButton::WriteEeprom},
    {ControlId::ReadFlashButton, control::OperationButton::ReadFlash},
    {ControlId::WriteFlashButton, control::OperationButton::WriteFlash},
    {ControlId::OpenEepromButton, control::OperationButton::OpenEepromFile},
    {ControlId::VerifyFlashButton, control::OperationButton::VerifyFlash},
    {ControlId::VerifyEepromButton, control::OperationButton::VerifyEeprom},
    {ControlId::AutoButton, control::OperationButton::Auto},
    {ControlId::SaveFlashButton, control::OperationButton::SaveFlashFile},
    {ControlId::SaveEepromButton, control::OperationButton::SaveEepromFile},
    {ControlId::BurnButton, control::OperationButton::Burn},
};

}  // namespace kestrel::ui
