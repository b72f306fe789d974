#pragma once

// The desktop program's window captions, control texts and page tabs.
namespace kestrel::ui::captions {

inline constexpr char kDialogCaption[] = "AVR串并行编程器VUSB正式版";
inline constexpr char kAboutCaption[] = "关于 Kestrel";
inline constexpr char kAboutMenuEntry[] = "关于 Kestrel(&A)...";
inline constexpr char kAboutProduct[] = "AVR并行编程器解锁器USB版";
inline constexpr char kAboutOk[] = "确定";

// Main window controls, in the order of the window's template.
inline constexpr char kModePP20[] = "PP_20";
inline constexpr char kModeIsp[] = "ISP";
inline constexpr char kModeHvsp[] = "HVSP";
inline constexpr char kModePP2313[] = "PP_2313";
inline constexpr char kModeFrame[] = "Mode";
inline constexpr char kOperateFrame[] = "Operate";
inline constexpr char kReadButton[] = "read读";
inline constexpr char kWriteButton[] = "write写";
inline constexpr char kVerifyButton[] = "verify校";
inline constexpr char kFlashFileButton[] = "FLASH";
inline constexpr char kEepromFileButton[] = "EEPROM";
inline constexpr char kFuseBytesLabel[] = "低高扩 low high ex";
inline constexpr char kWriteFlashBox[] = "写FLASH";
inline constexpr char kReadFlashBox[] = "读FLASH";
inline constexpr char kAutoButton[] = "自动Auto";
inline constexpr char kEraseBox[] = "擦除器件 erase chip";
inline constexpr char kVerifyFlashBox[] = "校验FLASH";
inline constexpr char kEraseButton[] = "擦除Erase";
inline constexpr char kWriteEepromBox[] = "写EEPROM";
inline constexpr char kReadEepromBox[] = "读EEPROM";
inline constexpr char kVerifyEepromBox[] = "校验EEPROM";
inline constexpr char kOptionFrame[] = "Option";
inline constexpr char kSignatureLabel[] = "芯片ID：";
inline constexpr char kFuseLockLabel[] = "熔丝与锁定:fuse && lock";  // "&&" shows as one
inline constexpr char kFuseBox[] = "熔丝位fuse";
inline constexpr char kLockBox[] = "锁定位lock";
inline constexpr char kChipSelectLabel[] = "芯片选择chip select";
inline constexpr char kCalibrationLabel[] = "晶振校准Osccal Calibration";
inline constexpr char kBurnButton[] = "烧片";
// Page tabs.
inline constexpr char kFlashPageTab[] = "FLASH";
inline constexpr char kEepromPageTab[] = "EEPROM";
inline constexpr char kLogPageTab[] = "编程状态";
inline constexpr char kIntroPageTab[] = "功能介绍";

}  // namespace kestrel::ui::captions
