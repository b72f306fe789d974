#pragma once

#include <string>

#include "base/Format.h"
#include "base/Translate.h"

// The core's texts: log lines, field patterns and message boxes that both front ends show.
// Patterns that begin with the time stamp are formatted by FormatTimeStamped.
namespace kestrel::texts {

inline constexpr char kProgramName[] = "Kestrel";
inline constexpr Message kMakerLine = Msg("作者：Quintavel 工作室  联系：support@quintavel.example");

// Start values of the fuse and lock texts.
inline constexpr char kStartFuseText[] = "E199FF";
inline constexpr char kStartLockText[] = "FF";

// Status dispatcher lines.
inline constexpr Message kReadyLine = Msg("〖%y/%m/%d %X〗 编程器:就绪.");
inline constexpr Message kUnlockedLine = Msg("〖%y/%m/%d %X〗 解锁OK");
inline constexpr Message kErasedLine = Msg("〖%y/%m/%d %X〗 擦除OK");
inline constexpr Message kSignatureReadLine = Msg("〖%y/%m/%d %X〗 ID读取OK");
inline constexpr Message kCalibrationReadLine = Msg("〖%y/%m/%d %X〗 标定字节读取OK");
inline constexpr Message kFuseLockReadLine = Msg("〖%y/%m/%d %X〗 熔丝与锁定位读取OK");
inline constexpr Message kFusesWrittenLine = Msg("〖%y/%m/%d %X〗 熔丝位编程OK");
inline constexpr Message kLockWrittenLine = Msg("〖%y/%m/%d %X〗 锁定位编程OK");
inline constexpr Message kFlashWrittenLine = Msg("〖%y/%m/%d %X〗 FLASH编程OK");
inline constexpr Message kEepromWrittenLine = Msg("〖%y/%m/%d %X〗 EEPROM编程OK");
inline constexpr Message kCommunicationErrorLine = Msg("〖%y/%m/%d %X〗 通讯出错.");
inline constexpr Message kReceiveTimeoutLine = Msg("〖%y/%m/%d %X〗 编程器接收数据超时.");
inline constexpr Message kFlashReadLine = Msg("〖%y/%m/%d %X〗 FLASH读取OK，显示在FLASH窗口页");
inline constexpr Message kEepromReadLine = Msg("〖%y/%m/%d %X〗 EEPROM读取OK，显示在EEPROM窗口页");
inline constexpr Message kOtherReasonLine = Msg("〖%y/%m/%d %X〗 其它原因");
inline constexpr Message kTransferStoppedLine = Msg("〖%y/%m/%d %X〗 操作已停止 stopped");

// Field patterns.
inline constexpr char kThreeBytePattern[] = "%02X：%02X：%02X";
inline constexpr char kFourBytePattern[] = "%02X：%02X：%02X：%02X";

// Operation queue.
inline constexpr Message kFlashWriteStartLine = Msg("〖%y/%m/%d %X〗 FLASH编程开始");
inline constexpr Message kFlashReadStartLine = Msg("〖%y/%m/%d %X〗 FLASH读取开始");
// After the start line of a FLASH read that stops after the written pages: pages read, chip pages.
inline constexpr Message kFastVerifyReadPattern =
    Msg("快速校验：只读取写入过的 %u 页（共 %u 页），其余按擦除后的 FF 比较");
inline constexpr Message kEepromWriteStartLine = Msg("〖%y/%m/%d %X〗 EEPROM编程开始");
inline constexpr Message kEepromReadStartLine = Msg("〖%y/%m/%d %X〗 EEPROM读取开始");
inline constexpr Message kBusyLine = Msg("编程器忙，稍后再操作");

// Image files.
inline constexpr Message kFlashBinTruncatedLine = Msg("二进制文件超过所选器件FLASH大小，已被截取");
inline constexpr Message kEepromBinTruncatedLine = Msg("二进制文件超过所选器件EEPROM大小，已被截取");
inline constexpr Message kOpenedFilePrefix = Msg("读入文件 ");
inline constexpr Message kOpenedToFlashPage = Msg(" 到FLASH窗口页");
inline constexpr Message kOpenedToEepromPage = Msg(" 到EEPROM窗口页");
inline constexpr Message kOpenedCountPattern = Msg("【%6d字节】.");
inline constexpr Message kFlashSavedLine = Msg("FLASH窗口中数据保存到文件 ：");
inline constexpr Message kEepromSavedLine = Msg("EEPROM窗口中数据保存到文件 ：");
inline constexpr Message kSavedCountPattern = Msg("【%6d字节】");
inline constexpr Message kFlashHexTooLarge = Msg("打开的FLASH大于所选器件的FLASH大小，转换失败");
inline constexpr Message kEepromHexTooLarge = Msg("打开的EEPROM大于所选器件的EEPROM大小，转换失败");
// Our own reports of what the image operations refuse; plain lines.
inline constexpr Message kHexRefusedPattern = Msg("文件 %s 未读入：%s");       // name, reader text
inline constexpr Message kFileUnreadablePattern = Msg("无法读取文件 %s：%s");  // path, reason
inline constexpr Message kReadByContentPattern = Msg("文件 %s 按其内容读作%s，与扩展名不符");  // name, format
inline constexpr Message kBinaryFormat = Msg("二进制文件");
inline constexpr Message kBinaryTooLargePattern =
    Msg("文件 %s 有%zu字节，所选器件的%s只有%zu字节：文件未读入");  // name, size, memory, size
inline constexpr Message kUnknownExtensionPattern = Msg("文件 %s 的类型不能读入%s窗口页（可用：%s）");
// A whole-chip file of a kind neither reader takes: name, the kinds it takes.
inline constexpr Message kWholeChipUnknownExtensionPattern = Msg("文件 %s 的类型不能读入窗口页（可用：%s）");
inline constexpr Message kHexRefusedAtLinePattern =
    Msg("文件 %s 未读入：第 %d 行：%s");  // name, line, reader text
// The reasons of the HEX faults that the reader's own texts do not name.
inline constexpr Message kHexNotARecord = Msg("不是Intel HEX记录");
inline constexpr Message kHexUnknownTypePattern = Msg("未知的记录类型 %02X");  // type
inline constexpr Message kHexConflictPattern =
    Msg("文件 %s 未读入：第 %d 行与第 %d 行给出地址 0x%04llX 的不同字节");  // name, line, line, address
inline constexpr Message kHexEmpty = Msg("文件是空的");
// The CRC-32 of a memory's bytes up to the last that is not 0xFF, after an open or a read:
// memory, CRC, bytes.
inline constexpr Message kCrcLinePattern = Msg("%s CRC-32：%08X（%d字节）");
// A blank check: memory and bytes; then memory, first address that is not 0xFF, bytes not 0xFF.
inline constexpr Message kBlankPassedPattern = Msg("%s空白检查通过：%d字节全为FF");
inline constexpr Message kBlankFailedPattern = Msg("%s空白检查失败：首个非空白地址 0x%05X，共%d字节不为FF");
inline constexpr Message kImageClearedPattern = Msg("%s窗口页已清空：没有载入的文件");  // memory
inline constexpr Message kNoImagePattern = Msg("%s窗口页没有载入文件，%s编程未进行");   // memory, memory
inline constexpr Message kVerifyNoReadbackPattern = Msg("芯片的%s数据未（完整）读出，不能校验");  // memory
inline constexpr Message kNotAvrProgramPattern = Msg("文件 %s 未读入：不是AVR程序");              // name
inline constexpr Message kNotElfPattern = Msg("文件 %s 未读入：不是可读的ELF文件");               // name
inline constexpr Message kElfNotLinkedPattern = Msg("文件 %s 未读入：是目标文件，不是链接后的程序");  // name
inline constexpr Message kElfSegmentsOverlapPattern =
    Msg("文件 %s 未读入：程序段 %zu 与程序段 %zu 给出地址 0x%06llX 的不同字节");  // name, segment, segment,
                                                                                  // address
inline constexpr Message kOutsideRegionsPattern =
    Msg("文件 %s 未读入：地址 0x%06llX 不属于任何存储区");  // name, address
inline constexpr Message kBeyondRegionPattern =
    Msg("文件 %s 未读入：%s数据到 0x%X，所选器件的%s止于 0x%X");  // name, memory, last, memory, last
inline constexpr Message kInSramPattern =
    Msg("文件 %s 未读入：地址 0x%06llX 在SRAM中，编程器不能写入");  // name, address
inline constexpr Message kDataReachesPattern =
    Msg("数据到 0x%X，所选器件的%s止于 0x%X");                                       // last, memory, last
inline constexpr Message kRegionsLeftPattern = Msg("文件 %s 中的%s未读入%s窗口页");  // name, regions, memory
inline constexpr Message kWholeChipOpenedPattern = Msg("读入文件 %s：%s");           // name, what it filled
inline constexpr Message kSignatureRegionSizePattern =
    Msg("文件 %s 未读入：签名区有%zu字节，应为3字节");  // name, size
inline constexpr Message kWholeChipEmptyPattern = Msg("文件 %s 未读入：没有可用的数据");
inline constexpr Message kFileSignatureMismatchPattern =
    Msg("文件 %s 的签名 %s 与所选器件 %s（%s）不符，未读入");
inline constexpr Message kFuseRegionName = Msg("熔丝位");
inline constexpr Message kLockRegionName = Msg("锁定位");
inline constexpr Message kSignatureRegionName = Msg("签名");
inline constexpr Message kRegionBytesPattern = Msg("%s %u字节");  // memory, count
inline constexpr Message kRegionValuePattern = Msg("%s %s");      // region, value
inline constexpr Message kListSeparator = Msg("、");
inline constexpr Message kBackupLockedPattern = Msg("锁定位 %02X 禁止读出芯片数据：备份未进行，没有写入文件");
inline constexpr Message kBackupSavedPattern =
    Msg("备份保存到文件 %s：%s，用时 %.1f 秒");  // path, what, seconds
inline constexpr Message kRestoreMismatchPattern =
    Msg("恢复后读回熔丝位 %s 锁定位 %s，与文件中的 %s %s 不符");
inline constexpr Message kRestoreLeavesPattern = Msg("文件中没有%s：恢复不写入这些");  // regions
inline constexpr Message kRestoreEepromErasedLine = Msg("擦除清空了EEPROM（EESAVE已编程时保留）");
inline constexpr Message kRestoreDoneLine = Msg("〖%y/%m/%d %X〗 恢复OK");
inline constexpr Message kSaveNoElfPattern = Msg("文件 %s 未保存：Kestrel不写ELF文件");  // path
inline constexpr Message kSavedAsBinaryPattern =
    Msg("文件 %s 按二进制保存：扩展名不是 hex、eep、ihex 或 bin");  // name
inline constexpr Message kSaveFailedPattern = Msg("保存文件 %s 失败：%s；原有文件未改动");

// Verify report.
inline constexpr Message kFlashVerifyBegin = Msg("-------------------FLASH效验开始------------------");
inline constexpr Message kFlashVerifyEnd = Msg("-------------------FLASH效验结束------------------");
inline constexpr Message kEepromVerifyBegin = Msg("-------------------EEPROM效验开始------------------");
inline constexpr Message kEepromVerifyEnd = Msg("-------------------EEPROM效验结束------------------");
inline constexpr Message kVerifyLengthMismatch = Msg("数据总数不同！！！");
inline constexpr Message kVerifyDifferencePattern = Msg("〖%06d〗地址：【%05X】写：%02X  读：%02X");
inline constexpr Message kVerifyCountPattern = Msg("共发现%6d个单元不对!");

// Engine refusals and link failures; plain lines.
inline constexpr Message kFuseTextInvalidPattern =
    Msg("熔丝位文本“%s”无效：需要6个十六进制数字（低 高 扩），未写入");
inline constexpr Message kLockTextInvalidPattern = Msg("锁定位文本“%s”无效：需要2个十六进制数字，未写入");
inline constexpr Message kEepromPageTooLongPattern =
    Msg("所选器件的EEPROM页为%d字节，编程器每页只能传送4字节，EEPROM编程未进行");
inline constexpr Message kGeometryRefusedPattern = Msg("所选器件的%s参数无效（%s），%s未进行");
inline constexpr Message kNoProgrammerOpen = Msg("编程器未连接");
inline constexpr Message kLinkFailurePattern = Msg("通讯失败：%s，libusb 错误 %d（%s）");
inline constexpr Message kShortTransferPattern = Msg("通讯失败：%s，只传送了%d字节（应为%d字节）");
inline constexpr Message kAccessDeniedPattern =
    Msg("无法访问编程器（权限不足）。请安装 udev 规则，然后重新插入编程器：%s");
// The one command that installs the udev rule shipped in the installed data folder.
std::string UdevRuleCommand();
// What a failed request was doing (the first %s of kLinkFailurePattern and kShortTransferPattern).
inline constexpr Message kUnlockOperation = Msg("解锁");
inline constexpr Message kEraseOperation = Msg("擦除");
inline constexpr Message kReadSignatureOperation = Msg("读ID");
inline constexpr Message kReadCalibrationOperation = Msg("读标定字节");
inline constexpr Message kReadFuseLockOperation = Msg("读熔丝与锁定位");
inline constexpr Message kWriteFusesOperation = Msg("写熔丝位");
inline constexpr Message kWriteLockOperation = Msg("写锁定位");
inline constexpr Message kWriteFlashPagePattern = Msg("写FLASH 第 %u 页");
inline constexpr Message kReadFlashPagePattern = Msg("读FLASH 第 %u 页");
inline constexpr Message kWriteEepromPagePattern = Msg("写EEPROM 第 %u 页");
inline constexpr Message kReadEepromPagePattern = Msg("读EEPROM 第 %u 页");
inline constexpr Message kEndTransferOperation = Msg("结束传送");
// The parts of kGeometryRefusedPattern: memory, reason, operation.
inline constexpr Message kPageSizeZero = Msg("页大小为0");
inline constexpr Message kPageCountNegative = Msg("页数为负");
inline constexpr Message kSizeBeyondBuffer = Msg("大小超过缓冲区");
inline constexpr Message kFlashWriteOperation = Msg("FLASH编程");
inline constexpr Message kFlashReadOperation = Msg("FLASH读取");
inline constexpr Message kEepromWriteOperation = Msg("EEPROM编程");
inline constexpr Message kEepromReadOperation = Msg("EEPROM读取");

// Chip identity and fuse safety; plain lines.
inline constexpr Message kLowFuseByte = Msg("低位");
inline constexpr Message kHighFuseByte = Msg("高位");
inline constexpr Message kExtendedFuseByte = Msg("扩展位");
inline constexpr Message kLockByte = Msg("锁定位");
inline constexpr Message kChipIdentifiedPattern = Msg("识别芯片：%s（签名 %s）");  // names, signature
// file, chip, signature
inline constexpr Message kChipOfFilePattern = Msg("按文件 %s 的签名选定芯片：%s（签名 %s）");
inline constexpr Message kUnknownSignaturePattern = Msg("签名 %s 不属于器件资料中的任何芯片");  // signature
inline constexpr Message kNoChipAnsweredPattern = Msg("没有芯片应答（签名 %s）");               // signature
inline constexpr Message kIspNoAnswerHintPattern =
    Msg("ISP模式下可能原因：RSTDISBL或DWEN已编程、SPIEN未编程，或芯片缺少时钟；可用高压模式 %s 读取");
inline constexpr Message kSignatureMismatchPattern =
    Msg("签名不符：所选器件 %s 的签名为 %s，读到的是 %s；未向芯片写入任何内容");
inline constexpr Message kPickChipFirstLine = Msg("请先在芯片选择中选定器件");
inline constexpr Message kNoFactsPattern = Msg("器件 %s 没有熔丝资料：不做签名检查和熔丝检查");
inline constexpr Message kIspLockoutPattern = Msg("熔丝%s %s：%s");  // byte, field, consequence
inline constexpr Message kRstdisblOnConsequence = Msg("复位引脚将变为普通I/O，ISP将无法访问芯片");
inline constexpr Message kDwenOnConsequence = Msg("debugWIRE将占用复位引脚，ISP将无法访问芯片");
inline constexpr Message kSpienOffConsequence = Msg("串行编程将被关闭，ISP将无法访问芯片");
inline constexpr Message kLockoutRefusedLine = Msg("ISP模式下拒绝写入会锁死ISP的熔丝位，熔丝位未写入");
inline constexpr Message kLockoutHighVoltageLine = Msg("注意：写入后只能用高压模式访问芯片");
inline constexpr Message kExternalClockWarning =
    Msg("注意：%s 选择外部时钟或晶振，芯片（和ISP）需要该时钟才能工作");
inline constexpr Message kClockDividedWarning = Msg("注意：%s 已编程，系统时钟8分频");
inline constexpr Message kSlowClockWarning = Msg("注意：%s 选择很慢的时钟，ISP需要相应降低编程时钟");
inline constexpr Message kBrownOutWarning = Msg("注意：%s 启用掉电检测，电压低于门限时芯片保持复位");
inline constexpr Message kProgrammingLockedWarning = Msg("注意：%s 禁止再编程，擦除芯片后才能写入");
inline constexpr Message kReadBackLockedWarning = Msg("注意：%s 禁止读出和校验，擦除芯片后才能读出");
inline constexpr Message kFactoryValuesPattern = Msg("出厂值：熔丝位 %s，锁定位 %s");
inline constexpr Message kFactoryResetDoneLine = Msg("〖%y/%m/%d %X〗 恢复出厂OK");
inline constexpr Message kFactoryResetMismatchPattern =
    Msg("恢复出厂后读回熔丝位 %s 锁定位 %s，与出厂值 %s %s 不符");

// The run: what the plan check refuses before anything is sent, and the closing line of a run
// that failed, naming its cause.
inline constexpr Message kRunRefusedPattern = Msg("运行未开始：%s，未向芯片发送任何内容");  // cause
inline constexpr Message kFuseReadbackMismatchPattern =
    Msg("熔丝位回读 %s 与写入的 %s 不符");  // read, written
inline constexpr Message kLockoutTookEffectLine = Msg("芯片已如警告不再以ISP应答：请用高压模式访问");
inline constexpr Message kFileFuseBytesShortPattern = Msg(
    "文件 %s 的熔丝区只有%d字节，器件 %s 有%d个熔丝字节；文件不完整，不能使用");  // file, count, chip, count
inline constexpr Message kRunFailedPattern = Msg("运行失败：%s");                 // cause
inline constexpr Message kCauseRefusedInput = Msg("输入被拒绝");
inline constexpr Message kCauseWrongChip = Msg("芯片不符");
inline constexpr Message kCauseNoProgrammer = Msg("编程器不在");
inline constexpr Message kCauseCommunication = Msg("通讯出错");
inline constexpr Message kCauseTimeOut = Msg("编程器接收数据超时");
inline constexpr Message kCauseVerify = Msg("校验或回读有差异");
inline constexpr Message kCauseNotBlank = Msg("芯片不是空白");
inline constexpr Message kCauseStopped = Msg("用户停止");
inline constexpr Message kCauseCancelled = Msg("用户取消");

// Start-up and discovery.
inline constexpr Message kInsertProgrammer = Msg("\t请插入编程器!");
inline constexpr Message kCatalogueMissingPattern = Msg("找不到器件列表 chip.txt，已查找：%s");
// What the catalogue loader cut or dropped; plain lines, one per kind.
inline constexpr Message kCatalogueNameCutPattern = Msg("器件列表中%u个器件名超过14字节，已截断");
inline constexpr Message kCatalogueNumberCutPattern = Msg("器件列表中%u个数字项超过其长度，已截断");
inline constexpr Message kCatalogueOverflowPattern = Msg("器件列表超过%u个器件，其后%u个已忽略");
inline constexpr Message kCataloguePartialPattern = Msg("器件列表末尾%zu字节不成完整记录，已忽略");

// Production on a database server that cannot be reached: no new chip starts until it answers.
inline constexpr Message kDatabaseUnreachable = Msg("数据库不可用，等待");

// The text of the no-programmer message box: the request and the maker line.
std::string InsertProgrammerMessage();

}  // namespace kestrel::texts
