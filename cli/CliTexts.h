#pragma once

#include "base/Translate.h"

// The command line's own texts: help, version and usage errors.
namespace kestrel::cli::messages {

// The --help text around the option and command lines, which come from the tables.
inline constexpr char kCliHelpUsage[] = "kestrel-cli [OPTIONS] COMMAND [COMMAND...]\n";
inline constexpr char kCliHelpDefault[] = " (default %s)";  // after an option's help
inline constexpr char kCliHelpCommands[] =
    "Commands, each run as one button press and waited for until the queue is idle:\n";
inline constexpr char kCliVersionPattern[] = "kestrel-cli %s\n";
inline constexpr char kCliUsageErrorPattern[] = "kestrel-cli: %s\nTry 'kestrel-cli --help'.\n";
inline constexpr char kCliUnknownOption[] = "unknown option %s";
inline constexpr char kCliUnknownCommand[] = "unknown command %s";
inline constexpr char kCliMissingArgument[] = "%s needs an argument";
inline constexpr char kCliNoCommand[] = "no command given";
inline constexpr char kCliBadNumber[] = "%s: \"%s\" is not a whole number from %u to %u";
inline constexpr char kCliBadHexBytes[] = "%s: \"%s\" is not %d hex digits";
// --lang named a language whose catalogue is not installed.
inline constexpr char kCliNoCatalogue[] =
    "kestrel-cli: no texts installed for language %s; showing Chinese\n";
inline constexpr char kCliBadLanguage[] = "%s: \"%s\" is not a language name such as zh or en";
inline constexpr char kCliBadOutput[] = "%s: \"%s\" is not text or json";
inline constexpr char kCliUnknownMode[] = "unknown mode %s (PP_20, PP_2313, ISP or HVSP)";
// The bad name, then the Auto box names.
inline constexpr char kCliUnknownAutoBox[] = "unknown Auto box \"%s\" (%s, or none alone)";
inline constexpr char kCliGangNeedsProduce[] = "--usb all or a list of programmers is for produce only";
inline constexpr char kCliBadSocketPlan[] = "--sim-socket: %s";
inline constexpr char kCliSocketProgrammerMissing[] =
    "--sim-socket: programmer %u is not on the bus (--sim-programmers %u)";
inline constexpr char kCliNeedsSimulate[] = "%s needs --simulate";
inline constexpr char kCliUnknownChip[] = "no chip named \"%s\" in %s";
inline constexpr char kCliBadUsbAddress[] = "%s: \"%s\" is not BUS:DEVICE as list shows it (001:004)";
inline constexpr char kCliRunsAlone[] = "%s runs alone, without other commands";
// The command, then the option it needs.
inline constexpr char kCliNeedsOption[] = "%s needs %s";
inline constexpr char kCliNoDefaultText[] = " (no default: a wrong fuse text can lock a chip out)";
// One line of list: the address, then the manufacturer and product strings.
inline constexpr char kCliProgrammerLinePattern[] = "programmer %s %s %s\n";
// A chip of the report: start, result, serial ("-" without), seconds, job, station, failed
// step and cause.
inline constexpr char kCliReportLinePattern[] = "%s %s serial %s %.2f s job \"%s\" station \"%s\"%s%s\n";
// produce, one line a chip: number, serial ("-" without), chip, seconds; number, step ("-"
// without), cause; number, step; number, signature (six hex digits), the chips it names
// ("unknown" for none). Then the summary: passed, failed, wrong chips, yield in per cent,
// chips per hour.
inline constexpr char kCliChipPassPattern[] = "chip %d PASS serial %s %s %.2f s";
inline constexpr char kCliChipFailPattern[] = "chip %d FAIL %s %s";
inline constexpr char kCliChipStoppedPattern[] = "chip %d STOPPED %s";
inline constexpr char kCliChipWrongPattern[] = "chip %d WRONG signature %s %s";
inline constexpr char kCliSummaryPattern[] =
    "summary passed %d failed %d wrong-chips %d yield %.1f%% chips-per-hour %.0f";
inline constexpr char kCliBadDate[] = "%s: \"%s\" is not a date such as 2026-12-07";
// Without --chip, a command that needs the chip found none by its signature.
inline constexpr Message kCliChipUnknownLine = Msg("无法识别芯片，请用 --chip 指定器件\n");
// One fuse or lock field: the byte (low, high, ext, lock), the field, its value shifted down
// to bit 0, then what the value means.
inline constexpr char kCliFuseFieldPattern[] = "fuse %s %s=%X  %s";
inline constexpr Message kCliUnlistedValue = Msg("未列出的值 unlisted value");
// --sim-stats: the vendor requests and the bytes of their data stages, then the modelled time
// of the link in all, of its transfers and of the chip's writes and erases, in seconds.
inline constexpr char kCliSimRequestsPattern[] = "requests %llu, bytes out %llu, bytes in %llu\n";
inline constexpr char kCliSimLinkTimePattern[] =
    "modelled link time %.3f s (transfers %.3f s, chip writes and erases %.3f s)\n";

}  // namespace kestrel::cli::messages
