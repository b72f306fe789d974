#!/usr/bin/env bash
# kestrel-cli as a whole process; each figure is measured in one run beside what it is
# compared with, so that a change in the machine's load hits both alike:
#
# 1. Start-up and open: kestrel-cli opening the 256 KiB HEX fixture and saving it as binary,
#    beside avr-objcopy converting the same file, once with the outputs in memory (tmpfs) and
#    once on disk:
#      kestrel-cli --simulate --chip ATmega2560 open-flash X.hex save-flash OUT/kestrel.bin
#      avr-objcopy -I ihex -O binary X.hex OUT/objcopy.bin
#    The same pair again without the chip facts file shows what reading the facts costs.
# 2. Minor page faults of the same pair (/usr/bin/time), which do not vary with the machine.
# 3. Host time per page: the same open followed by write-flash read-flash verify-flash (1024
#    pages written and 1024 read), beside the open alone; (full run - open alone) / 2048 pages.
#
#   bench/bench_cli_process.sh [runs, default 40] [disk folder, default build/bench]
#                              [memory folder, default /dev/shm]
#
# Builds kestrel-cli in build/bench (Release, no sanitizers) first. Uses hyperfine when it is
# installed, else a plain loop that alternates the commands. Both outputs of (1) are compared
# with the fixture's binary, so each command is known to have done the whole job.
set -euo pipefail
# The checks below read the program's own (Chinese) lines, whatever the caller's locale.
unset LANGUAGE LC_ALL LC_MESSAGES
export LANG=C
cd "$(dirname "$0")/.."
runs=${1:-40}
build=build/bench
mkdir -p "$build"
disk=$(mktemp -d "${2:-$build}/kestrel-bench-XXXXXX")
memory=$(mktemp -d "${3:-/dev/shm}/kestrel-bench-XXXXXX")
trap 'rm -rf "$disk" "$memory"' EXIT

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTREL_BUILD_GUI=OFF \
  -DKESTREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target kestrel-cli >"$build/bench-build.log" 2>&1 ||
  { tail -n 30 "$build/bench-build.log" >&2; exit 1; }
command -v avr-objcopy >/dev/null || { echo "avr-objcopy is missing (Debian: binutils-avr)" >&2; exit 1; }

hex=tests/data/hex/rand256k-linear-r32.hex
reference=tests/data/hex/rand256k.bin
cli="$build/cli/kestrel-cli --simulate --chip ATmega2560"
echo "HEX text: $hex ($(stat -c %s "$hex") bytes, 262144 bytes of image)"
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg)"

# Runs two commands in one series; prints "wall_a wall_b cpu_a cpu_b" in milliseconds (median
# wall time, mean CPU time of user and system).
pair() {
  if command -v hyperfine >/dev/null; then
    local json
    json=$(mktemp)
    hyperfine -N --warmup 5 --runs "$runs" --export-json "$json" -n a "$1" -n b "$2" >/dev/null
    # hyperfine writes one key per line; seconds become milliseconds.
    awk -F'[:,]' '
      /"command"/ { gsub(/[" ]/, "", $2); name = $2 }
      /"median"/  { median[name] = $2 * 1000 }
      /"user"/    { cpu[name] += $2 * 1000 }
      /"system"/  { cpu[name] += $2 * 1000 }
      END { printf "%f %f %f %f\n", median["a"], median["b"], cpu["a"], cpu["b"] }' "$json"
    rm -f "$json"
  else
    # Alternating runs; CPU time is not measured here.
    local a=0 b=0 start
    for _ in $(seq "$runs"); do
      start=$(date +%s%N); $1 >/dev/null; a=$((a + $(date +%s%N) - start))
      start=$(date +%s%N); $2 >/dev/null; b=$((b + $(date +%s%N) - start))
    done
    awk -v a="$a" -v b="$b" -v n="$runs" 'BEGIN { printf "%f %f 0 0\n", a / n / 1e6, b / n / 1e6 }'
  fi
}

# 1. Start-up and open, beside avr-objcopy.
for place in memory disk; do
  out=${!place}
  kestrel="$cli open-flash $hex save-flash $out/kestrel.bin"
  objcopy="avr-objcopy -I ihex -O binary $hex $out/objcopy.bin"
  $kestrel >/dev/null
  $objcopy
  cmp -s "$out/kestrel.bin" "$reference" || { echo "kestrel-cli wrote another image" >&2; exit 1; }
  cmp -s "$out/objcopy.bin" "$reference" || { echo "avr-objcopy wrote another image" >&2; exit 1; }
  read -r k o kc oc < <(pair "$kestrel" "$objcopy")
  awk -v p="$place ($(stat -f -c %T "$out"))" -v k="$k" -v o="$o" -v kc="$kc" -v oc="$oc" 'BEGIN {
    printf "open + save, output in %s: kestrel-cli %.2f ms, avr-objcopy %.2f ms wall (medians)", p, k, o
    printf ", ratio %.2f (target: at most 1)", k / o
    if (oc > 0) printf "; CPU %.2f ms / %.2f ms, ratio %.2f", kc, oc, kc / oc
    printf "\n" }'
done

# Minor page faults of the same pair: unlike time they do not depend on the machine or its load
# (target: at most 1.5 times avr-objcopy's). The median of five runs each.
faults() {
  for _ in 1 2 3 4 5; do /usr/bin/time -f %R "$@" 2>&1 >/dev/null | tail -n 1; done | sort -n | sed -n 3p
}
if [ -x /usr/bin/time ]; then
  kf=$(faults $cli open-flash $hex save-flash "$memory/kestrel.bin")
  of=$(faults avr-objcopy -I ihex -O binary $hex "$memory/objcopy.bin")
  awk -v k="$kf" -v o="$of" 'BEGIN {
    printf "minor page faults of open + save: kestrel-cli %d, avr-objcopy %d, ratio %.2f (target: at most 1.5)\n", k, o, k / o }'
fi

# The same in memory with a catalogue folder that holds no chip facts: what reading the facts
# (data/chip-facts.tsv, read for the controller and again for the simulated chip) costs.
cp data/chip.txt "$memory/chip.txt"
kestrel="$build/cli/kestrel-cli --simulate --catalogue $memory/chip.txt --chip ATmega2560 open-flash $hex"
kestrel="$kestrel save-flash $memory/kestrel.bin"
read -r k o kc oc < <(pair "$kestrel" "avr-objcopy -I ihex -O binary $hex $memory/objcopy.bin")
awk -v k="$k" -v o="$o" -v kc="$kc" -v oc="$oc" 'BEGIN {
  printf "the same without chip facts: kestrel-cli %.2f ms, avr-objcopy %.2f ms wall, ratio %.2f", k, o, k / o
  if (oc > 0) printf "; CPU ratio %.2f", kc / oc
  printf "\n" }'

# 3. Host time per page.
open="$cli open-flash $hex"
full="$open write-flash read-flash verify-flash"
$full >"$memory/full.txt"
grep -q "共发现     0个单元不对!" "$memory/full.txt" || { echo "the write, read and verify did not pass" >&2; exit 1; }
read -r f o fc oc < <(pair "$full" "$open")
awk -v f="$f" -v o="$o" -v fc="$fc" -v oc="$oc" 'BEGIN {
  printf "write + read + verify of 256 KiB: %.2f ms, open alone %.2f ms wall (medians)\n", f, o
  printf "host time per page: %.2f us wall", (f - o) * 1000 / 2048
  if (oc > 0) printf ", %.2f us CPU of all threads", (fc - oc) * 1000 / 2048
  printf " (target: at most 10 us)\n" }'
