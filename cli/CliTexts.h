#pragma once

// The command line's own texts: help, version and usage errors.
namespace kestrel::cli::messages {

inline constexpr char kCliHelp[] = R"(kestrel-cli [OPTIONS] COMMAND [COMMAND...]
  --simulate            the built-in simulated programmer instead of the USB bus
  --chip NAME           pick this catalogue entry as if chosen in the chip list (name compared
                        case-blind, without surrounding white space); without it the start-up geometry holds
  --mode MODE           PP_20 (default), PP_2313, ISP or HVSP
  --catalogue FILE      read this chip.txt instead of the search order
  --fuses TEXT          fuse text for write-fuses (default E199FF)
  --lock TEXT           lock text for write-lock (default FF)
  --keep-going          go on after a command that failed
  --sim-absent          (with --simulate) no programmer on the bus
  --sim-signature HEX6, --sim-calibration HEX8, --sim-latency-ms N (default 0),
  --sim-fail-at N       (with --simulate) the N-th vendor request fails at once with -ETIMEDOUT
  --sim-unplug-at N     (with --simulate) the programmer is gone (-ENODEV) from the N-th vendor request on
  -h, --help; --version
Commands, each run as one button press and waited for until the queue is idle:
  signature  calibration  read-fuses  write-fuses  write-lock  erase  unlock
  open-flash FILE  open-eeprom FILE  save-flash FILE  save-eeprom FILE
  write-flash  read-flash  verify-flash  write-eeprom  read-eeprom  verify-eeprom
  auto LIST     LIST: comma-separated Auto check boxes, from erase, write-flash, read-flash,
                verify-flash, write-eeprom, read-eeprom, verify-eeprom, fuses, lock; or "none"
  burn
)";
inline constexpr char kCliVersionPattern[] = "kestrel-cli %s\n";
inline constexpr char kCliUsageErrorPattern[] = "kestrel-cli: %s\nTry 'kestrel-cli --help'.\n";
inline constexpr char kCliUnknownOption[] = "unknown option %s";
inline constexpr char kCliUnknownCommand[] = "unknown command %s";
inline constexpr char kCliMissingArgument[] = "%s needs an argument";
inline constexpr char kCliNoCommand[] = "no command given";
inline constexpr char kCliBadNumber[] = "%s: \"%s\" is not a whole number from %u to %u";
inline constexpr char kCliBadHexBytes[] = "%s: \"%s\" is not %d hex digits";
inline constexpr char kCliUnknownMode[] = "unknown mode %s (PP_20, PP_2313, ISP or HVSP)";
inline constexpr char kCliUnknownAutoBox[] =
    "unknown Auto box \"%s\" (erase, write-flash, read-flash, verify-flash, write-eeprom, "
    "read-eeprom, verify-eeprom, fuses, lock, or none alone)";
inline constexpr char kCliNeedsSimulate[] = "%s needs --simulate";
inline constexpr char kCliUnknownChip[] = "no chip named \"%s\" in %s";

}  // namespace kestrel::cli::messages
