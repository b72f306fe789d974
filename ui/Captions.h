#pragma once

#include <QtGlobal>

#include "ui/ControlId.h"

// The desktop program's window captions, control texts and page tabs, marked for translation
// (ui/Translation.h) and shown through Tr(). Names that read the same in every language (the
// modes, the memories) are not marked.
namespace kestrel::ui::captions {

inline constexpr char kDialogCaption[] = QT_TRANSLATE_NOOP("Kestrel", "AVR串并行编程器VUSB正式版");
inline constexpr char kAboutCaption[] = QT_TRANSLATE_NOOP("Kestrel", "关于 %1");  // the window's caption
inline constexpr char kAboutMenuEntry[] = QT_TRANSLATE_NOOP("Kestrel", "关于 Kestrel(&A)...");
inline constexpr char kAboutOk[] = QT_TRANSLATE_NOOP("Kestrel", "确定");

// Main window controls, in the order of the window's template.
inline constexpr char kModePP20[] = "PP_20";
inline constexpr char kModeIsp[] = "ISP";
inline constexpr char kModeHvsp[] = "HVSP";
inline constexpr char kModePP2313[] = "PP_2313";
inline constexpr char kModeFrame[] = QT_TRANSLATE_NOOP("Kestrel", "Mode");
inline constexpr char kOperateFrame[] = QT_TRANSLATE_NOOP("Kestrel", "Operate");
inline constexpr char kReadButton[] = QT_TRANSLATE_NOOP("Kestrel", "read读");
inline constexpr char kWriteButton[] = QT_TRANSLATE_NOOP("Kestrel", "write写");
inline constexpr char kVerifyButton[] = QT_TRANSLATE_NOOP("Kestrel", "verify校");
inline constexpr char kFlashFileButton[] = "FLASH";
inline constexpr char kEepromFileButton[] = "EEPROM";
inline constexpr char kFuseBytesLabel[] = QT_TRANSLATE_NOOP("Kestrel", "低高扩 low high ex");
inline constexpr char kWriteFlashBox[] = QT_TRANSLATE_NOOP("Kestrel", "写FLASH");
inline constexpr char kReadFlashBox[] = QT_TRANSLATE_NOOP("Kestrel", "读FLASH");
inline constexpr char kAutoButton[] = QT_TRANSLATE_NOOP("Kestrel", "自动Auto");
inline constexpr char kEraseBox[] = QT_TRANSLATE_NOOP("Kestrel", "擦除器件 erase chip");
inline constexpr char kVerifyFlashBox[] = QT_TRANSLATE_NOOP("Kestrel", "校验FLASH");
inline constexpr char kEraseButton[] = QT_TRANSLATE_NOOP("Kestrel", "擦除Erase");
inline constexpr char kWriteEepromBox[] = QT_TRANSLATE_NOOP("Kestrel", "写EEPROM");
inline constexpr char kReadEepromBox[] = QT_TRANSLATE_NOOP("Kestrel", "读EEPROM");
inline constexpr char kVerifyEepromBox[] = QT_TRANSLATE_NOOP("Kestrel", "校验EEPROM");
inline constexpr char kOptionFrame[] = QT_TRANSLATE_NOOP("Kestrel", "Option");
inline constexpr char kSignatureLabel[] = QT_TRANSLATE_NOOP("Kestrel", "芯片ID：");
inline constexpr char kFuseLockLabel[] =
    QT_TRANSLATE_NOOP("Kestrel", "熔丝与锁定:fuse && lock");  // "&&" shows as one
inline constexpr char kFuseBox[] = QT_TRANSLATE_NOOP("Kestrel", "熔丝位fuse");
inline constexpr char kLockBox[] = QT_TRANSLATE_NOOP("Kestrel", "锁定位lock");
inline constexpr char kChipSelectLabel[] = QT_TRANSLATE_NOOP("Kestrel", "芯片选择chip select");
inline constexpr char kCalibrationLabel[] = QT_TRANSLATE_NOOP("Kestrel", "晶振校准Osccal Calibration");
inline constexpr char kBurnButton[] = QT_TRANSLATE_NOOP("Kestrel", "烧片");
inline constexpr char kStopButton[] = QT_TRANSLATE_NOOP("Kestrel", "停止 Stop");
inline constexpr char kFastVerifyBox[] = QT_TRANSLATE_NOOP("Kestrel", "快速校验 fast verify");
// Page tabs.
inline constexpr char kFlashPageTab[] = "FLASH";
inline constexpr char kEepromPageTab[] = "EEPROM";
inline constexpr char kLogPageTab[] = QT_TRANSLATE_NOOP("Kestrel", "编程状态");
inline constexpr char kIntroPageTab[] = QT_TRANSLATE_NOOP("Kestrel", "功能介绍");
inline constexpr char kFusePageTab[] = QT_TRANSLATE_NOOP("Kestrel", "熔丝 Fuses");

// The fuse page: its controls, each button's tip (Chinese, then English), and the question
// asked before a fuse write that would lock ISP out.
inline constexpr char kChipLabel[] = QT_TRANSLATE_NOOP("Kestrel", "芯片 chip");
inline constexpr char kIdentifyButton[] = QT_TRANSLATE_NOOP("Kestrel", "识别 identify");
inline constexpr char kSignatureCheckBox[] = QT_TRANSLATE_NOOP("Kestrel", "签名检查 signature check");
inline constexpr char kFuseReadButton[] = QT_TRANSLATE_NOOP("Kestrel", "读 read");
inline constexpr char kFuseWriteButton[] = QT_TRANSLATE_NOOP("Kestrel", "写 write");
inline constexpr char kFactoryValuesButton[] = QT_TRANSLATE_NOOP("Kestrel", "出厂值 factory values");
inline constexpr char kFactoryResetButton[] = QT_TRANSLATE_NOOP("Kestrel", "恢复出厂 factory reset");
inline constexpr char kNoChipPicked[] =
    QT_TRANSLATE_NOOP("Kestrel", "请先在芯片选择中选定器件 pick the chip in chip select first");
inline constexpr char kIdentifyTip[] =
    QT_TRANSLATE_NOOP("Kestrel",
                      "读取芯片签名，查出器件并在芯片选择中选定它\n"
                      "reads the chip's signature, names the chip and picks it in chip select");
inline constexpr char kSignatureCheckTip[] = QT_TRANSLATE_NOOP(
    "Kestrel",
    "改写芯片之前先核对签名与所选器件是否相符\n"
    "before anything changes the chip, checks that its signature matches the chip selected");
inline constexpr char kFuseReadTip[] = QT_TRANSLATE_NOOP("Kestrel",
                                                         "读取熔丝位与锁定位，填入编辑器\n"
                                                         "reads the fuse and lock bytes into the editor");
inline constexpr char kFuseWriteTip[] =
    QT_TRANSLATE_NOOP("Kestrel",
                      "把低、高、扩展熔丝位写入芯片；会锁死ISP的值须先确认\n"
                      "writes the low, high and extended fuse bytes; values that lock ISP out ask first");
inline constexpr char kFactoryValuesTip[] = QT_TRANSLATE_NOOP(
    "Kestrel",
    "把所选器件的出厂熔丝位和锁定位载入编辑器，不写入芯片\n"
    "loads the selected chip's factory fuse and lock bytes into the editor; writes nothing");
inline constexpr char kFactoryResetTip[] = QT_TRANSLATE_NOOP(
    "Kestrel",
    "擦除芯片（FLASH和EEPROM一并清空），写入出厂熔丝位并读回核对\n"
    "erases the chip (FLASH and EEPROM too), writes the factory fuse bytes and reads them back");
inline constexpr char kLockoutQuestionPattern[] =  // %1: the consequences, one a line
    QT_TRANSLATE_NOOP(
        "Kestrel",
        "这些熔丝位会使ISP无法再访问芯片：\n%1\n之后只能用高压模式恢复。仍要写入吗？\n\n"
        "These fuse bytes lock ISP out of the chip (see above); only a high-voltage mode can undo "
        "that. Write them anyway?");

// What each button of the window does, Chinese then English (the shortcut, where it has one,
// in both).
inline constexpr struct {
  ControlId id;
  const char* tip;
} kButtonTips[] = {
    {ControlId::ReadSignatureButton,
     QT_TRANSLATE_NOOP("Kestrel", "读取芯片ID（签名字节）\nreads the chip's signature bytes")},
    {ControlId::ReadFuseLockButton,
     QT_TRANSLATE_NOOP("Kestrel", "读取熔丝位与锁定位\nreads the fuse and lock bytes")},
    {ControlId::ReadCalibrationButton,
     QT_TRANSLATE_NOOP("Kestrel", "读取晶振校准字节\nreads the oscillator calibration bytes")},
    {ControlId::OpenFlashButton,
     QT_TRANSLATE_NOOP("Kestrel",
                       "打开文件到FLASH窗口页（Ctrl+O；右键：最近的文件）\n"
                       "opens a file into the FLASH page (Ctrl+O; right-click: recent files)")},
    {ControlId::SaveFlashButton,
     QT_TRANSLATE_NOOP("Kestrel",
                       "把FLASH窗口页保存到文件（Ctrl+S）\nsaves the FLASH page to a file (Ctrl+S)")},
    {ControlId::OpenEepromButton,
     QT_TRANSLATE_NOOP("Kestrel",
                       "打开文件到EEPROM窗口页（Ctrl+Shift+O；右键：最近的文件）\n"
                       "opens a file into the EEPROM page (Ctrl+Shift+O; right-click: recent files)")},
    {ControlId::SaveEepromButton,
     QT_TRANSLATE_NOOP(
         "Kestrel",
         "把EEPROM窗口页保存到文件（Ctrl+Shift+S）\nsaves the EEPROM page to a file (Ctrl+Shift+S)")},
    {ControlId::WriteFlashButton,
     QT_TRANSLATE_NOOP("Kestrel", "把FLASH窗口页写入芯片\nwrites the FLASH page to the chip")},
    {ControlId::ReadFlashButton,
     QT_TRANSLATE_NOOP("Kestrel",
                       "读出芯片的FLASH到FLASH窗口页\nreads the chip's FLASH into the FLASH page")},
    {ControlId::VerifyFlashButton,
     QT_TRANSLATE_NOOP(
         "Kestrel", "比较FLASH文件映像与芯片读出的数据\ncompares the FLASH image with the chip's read-back")},
    {ControlId::WriteEepromButton,
     QT_TRANSLATE_NOOP("Kestrel", "把EEPROM窗口页写入芯片\nwrites the EEPROM page to the chip")},
    {ControlId::ReadEepromButton,
     QT_TRANSLATE_NOOP("Kestrel",
                       "读出芯片的EEPROM到EEPROM窗口页\nreads the chip's EEPROM into the EEPROM page")},
    {ControlId::VerifyEepromButton,
     QT_TRANSLATE_NOOP(
         "Kestrel",
         "比较EEPROM文件映像与芯片读出的数据\ncompares the EEPROM image with the chip's read-back")},
    {ControlId::WriteFusesButton,
     QT_TRANSLATE_NOOP("Kestrel",
                       "把低、高、扩展熔丝位写入芯片\nwrites the low, high and extended fuse bytes")},
    {ControlId::WriteLockButton, QT_TRANSLATE_NOOP("Kestrel", "把锁定位写入芯片\nwrites the lock byte")},
    {ControlId::EraseButton,
     QT_TRANSLATE_NOOP("Kestrel", "擦除芯片（FLASH和EEPROM）\nerases the chip (FLASH and EEPROM)")},
    {ControlId::AutoButton,
     QT_TRANSLATE_NOOP("Kestrel",
                       "依次执行勾选的各项，最后读取熔丝位与锁定位（F5）\n"
                       "runs every checked step in order, then reads the fuse and lock bytes (F5)")},
    {ControlId::BurnButton,
     QT_TRANSLATE_NOOP("Kestrel", "依次执行整个生产流程\nruns the whole production sequence")},
    {ControlId::StopButton,
     QT_TRANSLATE_NOOP("Kestrel",
                       "传输完当前页后停止，余下的操作不再执行\n"
                       "stops the transfer after its current page; the rest of the run is dropped")},
};
inline constexpr char kFastVerifyTip[] = QT_TRANSLATE_NOOP(
    "Kestrel",
    "擦除后校验FLASH时只读取写入过的页，其余按FF比较\n"
    "after an erase, the verify reads back only the pages written and takes the rest as erased");

// What the window shows of the programmer and of the last run.
inline constexpr char kConnectedPattern[] =
    QT_TRANSLATE_NOOP("Kestrel", "已连接 connected %1");  // %1: bus and device, "001:004"
inline constexpr char kNotConnected[] = QT_TRANSLATE_NOOP("Kestrel", "未连接 not connected");
// Memory, page, pages.
inline constexpr char kWriteProgressPattern[] = QT_TRANSLATE_NOOP("Kestrel", "%1 写入 %2/%3 页");
inline constexpr char kReadProgressPattern[] = QT_TRANSLATE_NOOP("Kestrel", "%1 读取 %2/%3 页");
inline constexpr char kModeLinePattern[] = QT_TRANSLATE_NOOP("Kestrel", "编程模式 mode：%1");
inline constexpr char kProgrammerListTip[] =
    QT_TRANSLATE_NOOP("Kestrel", "选择要使用的编程器\nchoose the programmer to use");
// Auto's fuse box ticked with a fuse text that is not the chip's factory one: the fields it changes.
inline constexpr char kFusesNotFactoryPattern[] = QT_TRANSLATE_NOOP("Kestrel", "非出厂 not factory：%1");
inline constexpr char kRunPassed[] = QT_TRANSLATE_NOOP("Kestrel", "通过 PASS");
inline constexpr char kRunFailed[] = QT_TRANSLATE_NOOP("Kestrel", "失败 FAIL");

// The hex pages: which bytes they show.
inline constexpr char kImageCaption[] = QT_TRANSLATE_NOOP("Kestrel", "文件映像 file image");
inline constexpr char kImageFileCaptionPattern[] =
    QT_TRANSLATE_NOOP("Kestrel", "文件映像 file image：%1");  // the file's name
inline constexpr char kReadbackCaptionPattern[] =
    QT_TRANSLATE_NOOP("Kestrel", "芯片读出 chip read-back %1");  // the time read
inline constexpr char kHexViewTip[] = QT_TRANSLATE_NOOP(
    "Kestrel",
    "改动过的字节以橙色显示，写入和保存的就是改后的内容；Ctrl+Z撤销，Ctrl+Shift+Z或Ctrl+Y重做；"
    "点击右侧文字列可直接输入字符；可拖入文件打开\n"
    "edited bytes are orange, and are what a write sends and a save stores; Ctrl+Z undoes, "
    "Ctrl+Shift+Z or Ctrl+Y redoes; click the text column to type characters; drop a file here "
    "to open it");
inline constexpr char kEditedCaptionPattern[] =
    QT_TRANSLATE_NOOP("Kestrel", "，已编辑 edited：%1 字节");  // after the caption: bytes changed
inline constexpr char kUnsavedEditsPattern[] =
    QT_TRANSLATE_NOOP("Kestrel",
                      "%1 窗口页的改动尚未保存，继续将丢弃显示的内容。\n"
                      "the %1 page has edits not saved; going on replaces what it shows.");
inline constexpr char kNothingToSavePattern[] =
    QT_TRANSLATE_NOOP("Kestrel",
                      "%1 窗口页没有可保存的内容：请先打开文件、读出芯片或编辑\n"
                      "nothing to save on the %1 page: open a file, read the chip or edit first");
// Chip, FLASH size, EEPROM size.
inline constexpr char kEraseQuestionPattern[] =
    QT_TRANSLATE_NOOP("Kestrel",
                      "这将擦除 %1 的 FLASH %2 和 EEPROM %3，继续吗？\n"
                      "this erases FLASH %2 and EEPROM %3 of %1: go on?");
inline constexpr char kDontAskAgain[] = QT_TRANSLATE_NOOP("Kestrel", "不再询问 don't ask again");
// Signature read, chips it names, chip selected.
inline constexpr char kOtherChipQuestionPattern[] =
    QT_TRANSLATE_NOOP("Kestrel",
                      "读出的签名 %1 属于 %2，不是所选的 %3。切换到 %2 吗？\n"
                      "the signature %1 read is %2's, not the selected %3's: switch to %2?");
inline constexpr char kUnknownSignaturePattern[] =
    QT_TRANSLATE_NOOP("Kestrel",
                      "读出的签名 %1 不是所选的 %2 的签名（%3）\n"
                      "the signature %1 read is not the selected %2's (%3)");
inline constexpr char kAllSupportedFilter[] =
    QT_TRANSLATE_NOOP("Kestrel", "所有支持的文件 all supported files");
inline constexpr char kAllFilesFilter[] = QT_TRANSLATE_NOOP("Kestrel", "所有文件 all files");
inline constexpr char kVersionPattern[] = QT_TRANSLATE_NOOP("Kestrel", "版本 version %1");

// Menus: the recent files of an open button, the log page's context menu.
inline constexpr char kRecentFilesTitle[] = QT_TRANSLATE_NOOP("Kestrel", "最近的文件 recent files");
inline constexpr char kNoRecentFiles[] = QT_TRANSLATE_NOOP("Kestrel", "（无 none）");
inline constexpr char kCopyLogEntry[] = QT_TRANSLATE_NOOP("Kestrel", "复制 copy");
inline constexpr char kSaveLogEntry[] = QT_TRANSLATE_NOOP("Kestrel", "保存日志 save log…");
inline constexpr char kClearLogEntry[] = QT_TRANSLATE_NOOP("Kestrel", "清除 clear");
inline constexpr char kLogFileFilter[] = QT_TRANSLATE_NOOP("Kestrel", "文本文件 text (*.txt)");
inline constexpr char kSaveLogFailedPattern[] =
    QT_TRANSLATE_NOOP("Kestrel", "无法保存日志 cannot save the log：%1");

// The fuse page's whole-chip buttons.
inline constexpr char kOpenWholeChipButton[] = QT_TRANSLATE_NOOP("Kestrel", "打开整片 open whole chip…");
inline constexpr char kBackupButton[] = QT_TRANSLATE_NOOP("Kestrel", "备份 backup…");
inline constexpr char kRestoreButton[] = QT_TRANSLATE_NOOP("Kestrel", "恢复 restore…");
inline constexpr char kBlankCheckButton[] = QT_TRANSLATE_NOOP("Kestrel", "查空 blank check");
inline constexpr char kOpenWholeChipTip[] =
    QT_TRANSLATE_NOOP("Kestrel",
                      "打开含FLASH、EEPROM、熔丝位和签名的整片文件（HEX或ELF）\n"
                      "opens a whole-chip file (HEX or ELF) with FLASH, EEPROM, fuses and signature");
inline constexpr char kBackupTip[] =
    QT_TRANSLATE_NOOP("Kestrel",
                      "读出整片芯片（签名、熔丝位、锁定位、FLASH、EEPROM）保存为HEX文件\n"
                      "reads the whole chip (signature, fuses, lock, FLASH, EEPROM) into a HEX file");
inline constexpr char kRestoreTip[] =
    QT_TRANSLATE_NOOP("Kestrel",
                      "把整片文件写回芯片：擦除、写入、校验，再写熔丝位与锁定位\n"
                      "writes a whole-chip file back: erase, write, verify, then the fuses and lock");
inline constexpr char kBlankCheckTip[] =
    QT_TRANSLATE_NOOP("Kestrel",
                      "读出FLASH和EEPROM，检查每个字节是否都为FF\n"
                      "reads the FLASH and EEPROM and checks that every byte is FF");

// The production page: the job, Start and Stop, a tile per programmer with its big state,
// the counters, the database and the last chips recorded.
inline constexpr char kProductionPageTab[] = QT_TRANSLATE_NOOP("Kestrel", "量产 Production");
inline constexpr char kOpenJobButton[] = QT_TRANSLATE_NOOP("Kestrel", "打开作业 open job…");
inline constexpr char kStartButton[] = QT_TRANSLATE_NOOP("Kestrel", "开始 Start");
inline constexpr char kExportCsvButton[] = QT_TRANSLATE_NOOP("Kestrel", "导出CSV export CSV…");
inline constexpr char kOpenJobTip[] =
    QT_TRANSLATE_NOOP("Kestrel",
                      "打开作业文件（TOML）：芯片、模式、文件、熔丝位、锁定位、步骤和序号\n"
                      "opens a job file (TOML): chip, mode, files, fuses, lock, steps and serial");
inline constexpr char kStartTip[] = QT_TRANSLATE_NOOP(
    "Kestrel",
    "在找到的每个编程器上开始量产：等待芯片，逐片编程并记录\n"
    "starts production on every programmer found: waits for each chip, programs and records it");
inline constexpr char kStopAllTip[] =
    QT_TRANSLATE_NOOP("Kestrel",
                      "每个编程器完成插座中的芯片后停止\n"
                      "stops every programmer once the chip in its socket is done");
// The programmer's address.
inline constexpr char kTileStopTipPattern[] =
    QT_TRANSLATE_NOOP("Kestrel",
                      "编程器 %1 完成插座中的芯片后停止，其它编程器继续\n"
                      "stops programmer %1 once the chip in its socket is done; the others go on");
inline constexpr char kExportCsvTip[] =
    QT_TRANSLATE_NOOP("Kestrel",
                      "把本作业记录的芯片导出为CSV文件\n"
                      "exports the chips recorded for this job as a CSV file");
inline constexpr char kNoJob[] = QT_TRANSLATE_NOOP("Kestrel", "作业 job：（未打开 none）");
inline constexpr char kJobPattern[] = QT_TRANSLATE_NOOP("Kestrel", "作业 job：%1");  // the job's name
inline constexpr char kJobFilter[] = QT_TRANSLATE_NOOP("Kestrel", "作业文件 job (*.toml)");
inline constexpr char kCsvFilter[] = QT_TRANSLATE_NOOP("Kestrel", "CSV文件 CSV (*.csv)");
// The database's target, then whether it answers.
inline constexpr char kDatabasePattern[] = QT_TRANSLATE_NOOP("Kestrel", "数据库 database：%1　%2");
inline constexpr char kDatabaseReachable[] = QT_TRANSLATE_NOOP("Kestrel", "可用 reachable");
inline constexpr char kDatabaseUnreachable[] =
    QT_TRANSLATE_NOOP("Kestrel", "数据库不可用，等待 database unreachable, waiting");
inline constexpr char kIdleState[] = QT_TRANSLATE_NOOP("Kestrel", "空闲 idle");
inline constexpr char kWaitingState[] = QT_TRANSLATE_NOOP("Kestrel", "等待芯片 waiting for chip");
inline constexpr char kProgrammingState[] = QT_TRANSLATE_NOOP("Kestrel", "编程中 programming");
inline constexpr char kPassState[] = QT_TRANSLATE_NOOP("Kestrel", "通过 PASS");
inline constexpr char kFailState[] = QT_TRANSLATE_NOOP("Kestrel", "失败 FAIL");
inline constexpr char kWrongChipState[] = QT_TRANSLATE_NOOP("Kestrel", "芯片不符 wrong chip");
inline constexpr char kSerialPattern[] = QT_TRANSLATE_NOOP("Kestrel", "序号 serial %1");
inline constexpr char kLastResultPattern[] = QT_TRANSLATE_NOOP("Kestrel", "上次 last：%1");
// Passed, failed, wrong chips, yield in percent, chips per hour, the next serial.
inline constexpr char kCountersPattern[] =
    QT_TRANSLATE_NOOP("Kestrel",
                      "通过 passed %1　失败 failed %2　芯片不符 wrong %3　良率 yield %4%　"
                      "每小时 chips/h %5　下一序号 next serial %6");
inline constexpr char kChipTimeColumn[] = QT_TRANSLATE_NOOP("Kestrel", "时间 time");
inline constexpr char kChipProgrammerColumn[] = QT_TRANSLATE_NOOP("Kestrel", "编程器 programmer");
inline constexpr char kChipSerialColumn[] = QT_TRANSLATE_NOOP("Kestrel", "序号 serial");
inline constexpr char kChipResultColumn[] = QT_TRANSLATE_NOOP("Kestrel", "结果 result");
inline constexpr char kChipCauseColumn[] = QT_TRANSLATE_NOOP("Kestrel", "原因 cause");
inline constexpr char kProductionFailedPattern[] = QT_TRANSLATE_NOOP("Kestrel", "量产 production：%1");

}  // namespace kestrel::ui::captions
