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
inline constexpr char kFusePageTab[] = "熔丝 Fuses";

// The fuse page: its controls, each button's tip (Chinese, then English), and the question
// asked before a fuse write that would lock ISP out.
inline constexpr char kChipLabel[] = "芯片 chip";
inline constexpr char kIdentifyButton[] = "识别 identify";
inline constexpr char kSignatureCheckBox[] = "签名检查 signature check";
inline constexpr char kFuseReadButton[] = "读 read";
inline constexpr char kFuseWriteButton[] = "写 write";
inline constexpr char kFactoryValuesButton[] = "出厂值 factory values";
inline constexpr char kFactoryResetButton[] = "恢复出厂 factory reset";
inline constexpr char kNoChipPicked[] = "请先在芯片选择中选定器件 pick the chip in chip select first";
inline constexpr char kIdentifyTip[] =
    "读取芯片签名，查出器件并在芯片选择中选定它\n"
    "reads the chip's signature, names the chip and picks it in chip select";
inline constexpr char kSignatureCheckTip[] =
    "改写芯片之前先核对签名与所选器件是否相符\n"
    "before anything changes the chip, checks that its signature matches the chip selected";
inline constexpr char kFuseReadTip[] =
    "读取熔丝位与锁定位，填入编辑器\n"
    "reads the fuse and lock bytes into the editor";
inline constexpr char kFuseWriteTip[] =
    "把低、高、扩展熔丝位写入芯片；会锁死ISP的值须先确认\n"
    "writes the low, high and extended fuse bytes; values that lock ISP out ask first";
inline constexpr char kFactoryValuesTip[] =
    "把所选器件的出厂熔丝位和锁定位载入编辑器，不写入芯片\n"
    "loads the selected chip's factory fuse and lock bytes into the editor; writes nothing";
inline constexpr char kFactoryResetTip[] =
    "擦除芯片（FLASH和EEPROM一并清空），写入出厂熔丝位并读回核对\n"
    "erases the chip (FLASH and EEPROM too), writes the factory fuse bytes and reads them back";
inline constexpr char kLockoutQuestionPattern[] =  // %1: the consequences, one a line
    "这些熔丝位会使ISP无法再访问芯片：\n%1\n之后只能用高压模式恢复。仍要写入吗？\n\n"
    "These fuse bytes lock ISP out of the chip (see above); only a high-voltage mode can undo "
    "that. Write them anyway?";

}  // namespace kestrel::ui::captions
