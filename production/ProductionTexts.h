#pragma once

#include "base/Translate.h"

// The lines of production: why a job file is refused, what its plan is, what the production
// database says. Plain lines; po/LANG.po gives them in other languages.
namespace kestrel::production::texts {

// A refused job: the job file, the key ("serial.address"), the reason.
inline constexpr Message kJobRefusedPattern = Msg("作业 %s 被拒绝：%s：%s");
// A job file that is no TOML: the file, the line, toml++'s own description (English).
inline constexpr Message kJobNotTomlPattern = Msg("作业 %s 被拒绝：第 %d 行不是有效的TOML：%s");
inline constexpr Message kJobUnreadablePattern = Msg("无法读取作业 %s：%s");  // file, reason

// The reasons of kJobRefusedPattern.
inline constexpr Message kKeyMissing = Msg("缺少此项");
inline constexpr Message kKeyUnknown = Msg("未知的项");
inline constexpr Message kKeyWantsText = Msg("应为文本");
inline constexpr Message kKeyWantsInteger = Msg("应为整数");
inline constexpr Message kKeyWantsBoolean = Msg("应为 true 或 false");
inline constexpr Message kKeyWantsTextList = Msg("应为文本列表");
inline constexpr Message kKeyWantsTable = Msg("应为表 [serial]");
inline constexpr Message kNumberRangePattern = Msg("%lld 不在 %lld 到 %lld 之间");  // value, low, high
inline constexpr Message kUnknownChipFacts = Msg("器件资料中没有此芯片");
inline constexpr Message kUnknownModePattern = Msg("未知的模式“%s”（可用：PP_20、PP_2313、ISP、HVSP）");
inline constexpr Message kModeNotSupportedPattern = Msg("芯片 %s 不支持 %s 模式");  // chip, mode
inline constexpr Message kImageWithSeparate = Msg("image 不能与 flash、eeprom 同时给出");
inline constexpr Message kUnknownStepPattern = Msg("未知的步骤“%s”（可用：%s）");  // step, steps
inline constexpr Message kStepTwicePattern = Msg("步骤“%s”出现两次");
inline constexpr Message kStepsEmpty = Msg("没有步骤");
inline constexpr Message kStepNeedsFilePattern = Msg("步骤“%s”没有%s数据可写：作业没有给出%s文件");
inline constexpr Message kStepNeedsValuePattern = Msg("步骤“%s”需要此项，文件中也没有");  // step
inline constexpr Message kFuseTextBadPattern = Msg("“%s”无效：需要6个十六进制数字（低 高 扩）");
inline constexpr Message kLockTextBadPattern = Msg("“%s”无效：需要2个十六进制数字");
inline constexpr Message kFileValueMismatchPattern = Msg("%s 与文件 %s 中的 %s 不符");  // text, file, text
inline constexpr Message kJobLockoutPattern = Msg("%s；ISP模式下作业不能确认锁死ISP的熔丝位");  // lines
inline constexpr Message kUnknownSerialMemoryPattern = Msg("未知的存储区“%s”（可用：flash、eeprom）");
inline constexpr Message kUnknownSerialSourcePattern = Msg("未知的来源“%s”（可用：sequence、list、random）");
inline constexpr Message kUnknownSerialFormatPattern =
    Msg("未知的格式“%s”（可用：u16le、u16be、u32le、u32be、ascii:N）");
inline constexpr Message kSerialOutsidePattern =
    Msg("序列号占 0x%X 到 0x%X，超出%s（止于 0x%X）");  // first, last, memory, memory's last
inline constexpr Message kSerialOverDataPattern =
    Msg("序列号占 0x%X 到 0x%X，与文件数据重叠（地址 0x%X）");  // first, last, address
inline constexpr Message kSerialNotWrittenPattern = Msg("步骤中没有“%s”：序列号不会写入芯片");  // step
inline constexpr Message kSerialStartBeyondPattern = Msg("起始值 %llu 超过最后值或格式所能表示的 %llu");
inline constexpr Message kListLineBadPattern = Msg("文件 %s 第 %d 行不是十六进制字节：“%s”");
inline constexpr Message kListLineRepeatsPattern = Msg("文件 %s 第 %d 行与第 %d 行的值相同");
inline constexpr Message kListEmptyPattern = Msg("文件 %s 中没有值");

// The plan of a job that was accepted.
inline constexpr Message kJobAcceptedPattern =
    Msg("作业 %s：%s，%s模式，步骤：%s");                     // name, chip, mode, steps
inline constexpr Message kJobFilesPattern = Msg("文件：%s");  // what the files give
inline constexpr Message kJobSequencePattern = Msg("序列号：%s 0x%X，%d 字节，从 %llu 起每次加 %llu");
inline constexpr Message kJobListPattern = Msg("序列号：%s 0x%X，取自文件 %s 的 %zu 个值");
inline constexpr Message kJobRandomPattern = Msg("序列号：%s 0x%X，%d 字节随机值，作业内不重复");
inline constexpr Message kJobIdentityPattern = Msg("作业标识（SHA-256）：%s");
inline constexpr Message kVoidedAtOpenPattern =
    Msg("上次运行中断：%d 个已预留的序列号作废，不再使用");                                           // count
inline constexpr Message kSerialsUsedUpPattern = Msg("作业 %s 的序列号已用完：生产停止");             // name
inline constexpr Message kJobChangedPattern = Msg("作业 %s 的文件自上次使用以来已改变：记为新版本");  // name

// The chip-after-chip loop.
inline constexpr Message kProductionStartPattern =
    Msg("生产开始：作业 %s，%s，工位 %s；等待芯片（Ctrl+C：当前芯片完成后停止）");  // name, chip, station
inline constexpr Message kStopAfterChipLine =
    Msg("收到停止请求：当前芯片完成后停止；再按 Ctrl+C 则在当前页后停止");
inline constexpr Message kStopAfterPageLine = Msg("再次收到停止请求：当前页完成后停止");
inline constexpr Message kProductionStoppedLine = Msg("生产已停止");
inline constexpr Message kCountReachedPattern = Msg("已编程 %d 片：生产结束");  // count
inline constexpr Message kRecordFailedPattern =
    Msg("无法记录芯片 %d：%s；生产在下一片之前停止，已记录的芯片不受影响");  // number, reason
inline constexpr Message kProgrammerLostLine = Msg("读取特征字失败：编程器无应答，生产停止");

// The production database.
inline constexpr Message kDatabaseFailedPattern = Msg("生产数据库 %s：%s");  // file, SQLite's reason
inline constexpr Message kDatabaseNewerPattern = Msg("数据库版本 %d 比本程序所知的 %d 新");
inline constexpr Message kReportCountPattern = Msg("共 %zu 片");  // chips
inline constexpr Message kCsvWrittenPattern = Msg("%zu 片的记录已写入文件 %s");
inline constexpr Message kOutboxWaitingPattern = Msg("%d 条芯片记录在发件箱 %s 中等待发送到数据库");
inline constexpr Message kRecordNotReserved = Msg("序列号已不在预留状态");

}  // namespace kestrel::production::texts
