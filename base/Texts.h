#pragma once

#include <string>

#include "base/Format.h"

// The core's texts: log lines, field patterns and message boxes that both front ends show.
// Patterns that begin with the time stamp are formatted by FormatTimeStamped.
namespace kestrel::texts {

inline constexpr char kProgramName[] = "Kestrel";
inline constexpr char kMakerLine[] = "作者：Quintavel 工作室  联系：support@quintavel.example";

// Start values of the fuse and lock texts.
inline constexpr char kStartFuseText[] = "E199FF";
inline constexpr char kStartLockText[] = "FF";

// Status dispatcher lines.
inline constexpr char kReadyLine[] = "〖%y/%m/%d %X〗 编程器:就绪.";
inline constexpr char kUnlockedLine[] = "〖%y/%m/%d %X〗 解锁OK";
inline constexpr char kErasedLine[] = "〖%y/%m/%d %X〗 擦除OK";
inline constexpr char kSignatureReadLine[] = "〖%y/%m/%d %X〗 ID读取OK";
inline constexpr char kCalibrationReadLine[] = "〖%y/%m/%d %X〗 标定字节读取OK";
inline constexpr char kFuseLockReadLine[] = "〖%y/%m/%d %X〗 熔丝与锁定位读取OK";
inline constexpr char kFusesWrittenLine[] = "〖%y/%m/%d %X〗 熔丝位编程OK";
inline constexpr char kLockWrittenLine[] = "〖%y/%m/%d %X〗 锁定位编程OK";
inline constexpr char kFlashWrittenLine[] = "〖%y/%m/%d %X〗 FLASH编程OK";
inline constexpr char kEepromWrittenLine[] = "〖%y/%m/%d %X〗 EEPROM编程OK";
inline constexpr char kCommunicationErrorLine[] = "〖%y/%m/%d %X〗 通讯出错.";
inline constexpr char kReceiveTimeoutLine[] = "〖%y/%m/%d %X〗 编程器接收数据超时.";
inline constexpr char kFlashReadLine[] = "〖%y/%m/%d %X〗 FLASH读取OK，显示在FLASH窗口页";
inline constexpr char kEepromReadLine[] = "〖%y/%m/%d %X〗 EEPROM读取OK，显示在EEPROM窗口页";
inline constexpr char kOtherReasonLine[] = "〖%y/%m/%d %X〗 其它原因";
inline constexpr char kTransferStoppedLine[] = "〖%y/%m/%d %X〗 操作已停止 stopped";

// Field patterns; the dispatcher upper-cases the result.
inline constexpr char kThreeBytePattern[] = "%02x：%02x：%02x";
inline constexpr char kFourBytePattern[] = "%02x：%02x：%02x：%02x";

// Operation queue.
inline constexpr char kFlashWriteStartLine[] = "〖%y/%m/%d %X〗 FLASH编程开始";
inline constexpr char kFlashReadStartLine[] = "〖%y/%m/%d %X〗 FLASH读取开始";
// After the start line of a FLASH read that stops after the written pages: pages read, chip pages.
inline constexpr char kFastVerifyReadPattern[] =
    "快速校验：只读取写入过的 %u 页（共 %u 页），其余按擦除后的 FF 比较";
inline constexpr char kEepromWriteStartLine[] = "〖%y/%m/%d %X〗 EEPROM编程开始";
inline constexpr char kEepromReadStartLine[] = "〖%y/%m/%d %X〗 EEPROM读取开始";
inline constexpr char kBusyLine[] = "编程器忙，稍后再操作";

// Image files.
inline constexpr char kFlashBinTruncatedLine[] = "二进制文件超过所选器件FLASH大小，已被截取";
inline constexpr char kEepromBinTruncatedLine[] = "二进制文件超过所选器件EEPROM大小，已被截取";
inline constexpr char kOpenedFilePrefix[] = "读入文件 ";
inline constexpr char kOpenedToFlashPage[] = " 到FLASH窗口页";
inline constexpr char kOpenedToEepromPage[] = " 到EEPROM窗口页";
inline constexpr char kOpenedCountPattern[] = "【%6d字节】.";
inline constexpr char kFlashSavedLine[] = "FLASH窗口中数据保存到文件 ：";
inline constexpr char kEepromSavedLine[] = "EEPROM窗口中数据保存到文件 ：";
inline constexpr char kSavedCountPattern[] = "%6d字节";
inline constexpr char kFlashHexTooLarge[] = "打开的FLASH大于所选器件的FLASH大小，转换失败";
inline constexpr char kEepromHexTooLarge[] = "打开的EEPROM大于所选器件的EEPROM大小，转换失败";
// Our own reports of what the image operations refuse; plain lines.
inline constexpr char kHexRefusedPattern[] = "文件 %s 未读入：%s";       // name, reader text
inline constexpr char kFileUnreadablePattern[] = "无法读取文件 %s：%s";  // path, reason
inline constexpr char kUnknownExtensionPattern[] = "文件 %s 的类型不能读入%s窗口页（可用：%s）";
inline constexpr char kHexRefusedAtLinePattern[] = "文件 %s 未读入：第 %d 行：%s";  // name, line, reader text
inline constexpr char kImageClearedPattern[] = "%s窗口页已清空：没有载入的文件";    // memory
inline constexpr char kNoImagePattern[] = "%s窗口页没有载入文件，%s编程未进行";     // memory, memory
inline constexpr char kVerifyNoReadbackPattern[] = "芯片的%s数据未（完整）读出，不能校验";  // memory
inline constexpr char kNotAvrProgramPattern[] = "文件 %s 未读入：不是AVR程序";              // name
inline constexpr char kNotElfPattern[] = "文件 %s 未读入：不是可读的ELF文件";               // name
inline constexpr char kOutsideRegionsPattern[] =
    "文件 %s 未读入：地址 0x%06llX 不属于任何存储区";  // name, address
inline constexpr char kBeyondRegionPattern[] =
    "文件 %s 未读入：%s数据到第 %u 字节，超出所选器件的%s大小（%u字节）";
inline constexpr char kRegionsLeftPattern[] = "文件 %s 中的%s未读入%s窗口页";  // name, regions, memory
inline constexpr char kWholeChipOpenedPattern[] = "读入文件 %s：%s";           // name, what it filled
inline constexpr char kWholeChipEmptyPattern[] = "文件 %s 未读入：没有可用的数据";
inline constexpr char kFileSignatureMismatchPattern[] = "文件 %s 的签名 %s 与所选器件 %s（%s）不符，未读入";
inline constexpr char kFuseRegionName[] = "熔丝位";
inline constexpr char kLockRegionName[] = "锁定位";
inline constexpr char kSignatureRegionName[] = "签名";
inline constexpr char kRegionBytesPattern[] = "%s %u字节";  // memory, count
inline constexpr char kRegionValuePattern[] = "%s %s";      // region, value
inline constexpr char kListSeparator[] = "、";
inline constexpr char kBackupLockedPattern[] = "锁定位 %02X 禁止读出芯片数据：备份未进行，没有写入文件";
inline constexpr char kBackupSavedPattern[] = "备份保存到文件 %s：%s，用时 %.1f 秒";  // path, what, seconds
inline constexpr char kRestoreMismatchPattern[] = "恢复后读回熔丝位 %s 锁定位 %s，与文件中的 %s %s 不符";
inline constexpr char kRestoreDoneLine[] = "〖%y/%m/%d %X〗 恢复OK";
inline constexpr char kSaveFailedPattern[] = "保存文件 %s 失败：%s；原有文件未改动";

// Verify report.
inline constexpr char kFlashVerifyBegin[] = "-------------------FLASH效验开始------------------";
inline constexpr char kFlashVerifyEnd[] = "-------------------FLASH效验结束------------------";
inline constexpr char kEepromVerifyBegin[] = "-------------------EEPROM效验开始------------------";
inline constexpr char kEepromVerifyEnd[] = "-------------------EEPROM效验结束------------------";
inline constexpr char kVerifyLengthMismatch[] = "数据总数不同！！！";
inline constexpr char kVerifyDifferencePattern[] = "〖%06d〗地址：【%05x】写：%02x  读：%02x";
inline constexpr char kVerifyCountPattern[] = "共发现%6d个单元不对!";

// Engine refusals and link failures; plain lines.
inline constexpr char kFuseTextInvalidPattern[] =
    "熔丝位文本“%s”无效：需要6个十六进制数字（低 高 扩），未写入";
inline constexpr char kLockTextInvalidPattern[] = "锁定位文本“%s”无效：需要2个十六进制数字，未写入";
inline constexpr char kEepromPageTooLongPattern[] =
    "所选器件的EEPROM页为%d字节，编程器每页只能传送4字节，EEPROM编程未进行";
inline constexpr char kGeometryRefusedPattern[] = "所选器件的%s参数无效（%s），%s未进行";
inline constexpr char kNoProgrammerOpen[] = "编程器未连接";
inline constexpr char kLinkFailurePattern[] = "通讯失败：%s，libusb 错误 %d（%s）";
inline constexpr char kShortTransferPattern[] = "通讯失败：%s，只传送了%d字节（应为%d字节）";
inline constexpr char kAccessDeniedPattern[] =
    "无法访问编程器（权限不足）。请安装 udev 规则，然后重新插入编程器：%s";
// The one command that installs the udev rule shipped in the installed data folder.
std::string UdevRuleCommand();
// What a failed request was doing (the first %s of kLinkFailurePattern and kShortTransferPattern).
inline constexpr char kUnlockOperation[] = "解锁";
inline constexpr char kEraseOperation[] = "擦除";
inline constexpr char kReadSignatureOperation[] = "读ID";
inline constexpr char kReadCalibrationOperation[] = "读标定字节";
inline constexpr char kReadFuseLockOperation[] = "读熔丝与锁定位";
inline constexpr char kWriteFusesOperation[] = "写熔丝位";
inline constexpr char kWriteLockOperation[] = "写锁定位";
inline constexpr char kWriteFlashPagePattern[] = "写FLASH 第 %u 页";
inline constexpr char kReadFlashPagePattern[] = "读FLASH 第 %u 页";
inline constexpr char kWriteEepromPagePattern[] = "写EEPROM 第 %u 页";
inline constexpr char kReadEepromPagePattern[] = "读EEPROM 第 %u 页";
inline constexpr char kEndTransferOperation[] = "结束传送";
// The parts of kGeometryRefusedPattern: memory, reason, operation.
inline constexpr char kPageSizeZero[] = "页大小为0";
inline constexpr char kPageCountNegative[] = "页数为负";
inline constexpr char kSizeBeyondBuffer[] = "大小超过缓冲区";
inline constexpr char kFlashWriteOperation[] = "FLASH编程";
inline constexpr char kFlashReadOperation[] = "FLASH读取";
inline constexpr char kEepromWriteOperation[] = "EEPROM编程";
inline constexpr char kEepromReadOperation[] = "EEPROM读取";

// Chip identity and fuse safety; plain lines.
inline constexpr char kLowFuseByte[] = "低位";
inline constexpr char kHighFuseByte[] = "高位";
inline constexpr char kExtendedFuseByte[] = "扩展位";
inline constexpr char kLockByte[] = "锁定位";
inline constexpr char kChipIdentifiedPattern[] = "识别芯片：%s（签名 %s）";               // names, signature
inline constexpr char kUnknownSignaturePattern[] = "签名 %s 不属于器件资料中的任何芯片";  // signature
inline constexpr char kNoChipAnsweredPattern[] = "没有芯片应答（签名 %s）";               // signature
inline constexpr char kIspNoAnswerHintPattern[] =
    "ISP模式下可能原因：RSTDISBL或DWEN已编程、SPIEN未编程，或芯片缺少时钟；可用高压模式 %s 读取";
inline constexpr char kSignatureMismatchPattern[] =
    "签名不符：所选器件 %s 的签名为 %s，读到的是 %s；未向芯片写入任何内容";
inline constexpr char kPickChipFirstLine[] = "请先在芯片选择中选定器件";
inline constexpr char kNoFactsPattern[] = "器件 %s 没有熔丝资料：不做签名检查和熔丝检查";
inline constexpr char kIspLockoutPattern[] = "熔丝%s %s：%s";  // byte, field, consequence
inline constexpr char kRstdisblOnConsequence[] = "复位引脚将变为普通I/O，ISP将无法访问芯片";
inline constexpr char kDwenOnConsequence[] = "debugWIRE将占用复位引脚，ISP将无法访问芯片";
inline constexpr char kSpienOffConsequence[] = "串行编程将被关闭，ISP将无法访问芯片";
inline constexpr char kLockoutRefusedLine[] = "ISP模式下拒绝写入会锁死ISP的熔丝位，熔丝位未写入";
inline constexpr char kLockoutHighVoltageLine[] = "注意：写入后只能用高压模式访问芯片";
inline constexpr char kExternalClockWarning[] =
    "注意：%s 选择外部时钟或晶振，芯片（和ISP）需要该时钟才能工作";
inline constexpr char kClockDividedWarning[] = "注意：%s 已编程，系统时钟8分频";
inline constexpr char kSlowClockWarning[] = "注意：%s 选择很慢的时钟，ISP需要相应降低编程时钟";
inline constexpr char kBrownOutWarning[] = "注意：%s 启用掉电检测，电压低于门限时芯片保持复位";
inline constexpr char kProgrammingLockedWarning[] = "注意：%s 禁止再编程，擦除芯片后才能写入";
inline constexpr char kReadBackLockedWarning[] = "注意：%s 禁止读出和校验，擦除芯片后才能读出";
inline constexpr char kFactoryValuesPattern[] = "出厂值：熔丝位 %s，锁定位 %s";
inline constexpr char kFactoryResetDoneLine[] = "〖%y/%m/%d %X〗 恢复出厂OK";
inline constexpr char kFactoryResetMismatchPattern[] =
    "恢复出厂后读回熔丝位 %s 锁定位 %s，与出厂值 %s %s 不符";

// Start-up and discovery.
inline constexpr char kInsertProgrammer[] = "\t请插入编程器!";
inline constexpr char kCatalogueMissingPattern[] = "找不到器件列表 chip.txt，已查找：%s";
// What the catalogue loader cut or dropped; plain lines, one per kind.
inline constexpr char kCatalogueNameCutPattern[] = "器件列表中%u个器件名超过14字节，已截断";
inline constexpr char kCatalogueNumberCutPattern[] = "器件列表中%u个数字项超过其长度，已截断";
inline constexpr char kCatalogueOverflowPattern[] = "器件列表超过%u个器件，其后%u个已忽略";
inline constexpr char kCataloguePartialPattern[] = "器件列表末尾%zu字节不成完整记录，已忽略";

// The text of the no-programmer message box: the request and the maker line.
std::string InsertProgrammerMessage();

}  // namespace kestrel::texts
