#!/usr/bin/env bash
# Runs the bundled examples as their users would, on the simulated programmer: the blink
# Makefile's flash, fuses and backup targets, and the Python test bench on a production job.
# Arguments: kestrel-cli source-dir
set -uo pipefail
[ "$#" -eq 2 ] || { echo "usage: $0 kestrel-cli source-dir" >&2; exit 2; }
kestrel=$(realpath "$1") source=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# -o keeps make from rebuilding the committed images where avr-gcc happens to be installed.
blink=(make -s -C "$source/data/examples/blink" -o blink.hex -o blink.eep KESTREL="$kestrel")
output=$("${blink[@]}" flash KESTREL_FLAGS="--simulate --lang en" 2>&1) || fail "make flash: $output"
[ "$(grep -c 'Found      0 differing bytes!' <<<"$output")" -eq 2 ] || fail "make flash verified no FLASH and EEPROM: $output"
output=$("${blink[@]}" flash KESTREL_FLAGS="--simulate --sim-fail-at 40" 2>&1) && fail "make flash passed a failed run: $output"
output=$("${blink[@]}" fuses BACKUP="$work/backup.hex" KESTREL_FLAGS="--simulate" 2>&1) || fail "make fuses: $output"
grep -q '^fuse-lock 62：D9：FF' <<<"$output" || fail "make fuses read back no fuses: $output"
output=$("${blink[@]}" backup BACKUP="$work/backup.hex" KESTREL_FLAGS="--simulate" 2>&1) || fail "make backup: $output"
[ -s "$work/backup.hex" ] || fail "make backup wrote no $work/backup.hex: $output"

# The bench: one line per chip, and a failure in the status.
bench=("$source/data/examples/bench.py" "$source/data/examples/blink/blink.toml" --kestrel "$kestrel"
  --log "$work/bench.log")
output=$("${bench[@]}" -- --simulate --db "$work/a.sqlite" --sim-socket "ATmega328P*3" --count 3) ||
  fail "bench.py failed on three good chips: $output"
[ "$(grep -c ' passed  serial 10' <<<"$output")" -eq 3 ] || fail "bench.py did not list three passed chips: $output"
output=$("${bench[@]}" -- --simulate --db "$work/b.sqlite" --sim-socket "ATmega328P,ATmega328P!bits-stuck" --count 2) &&
  fail "bench.py passed a failed chip: $output"
grep -q 'FAILED' <<<"$output" || fail "bench.py named no failed chip: $output"

[ "$failures" -eq 0 ]
