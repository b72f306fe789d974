#!/usr/bin/env bash
# kestrel-cli as a whole process opening the 256 KiB HEX fixture and saving it as binary,
# beside avr-objcopy converting the same file, in the same run:
#
#   kestrel-cli --simulate --chip ATmega2560 open-flash X.hex save-flash out.bin
#   avr-objcopy -I ihex -O binary X.hex out.bin
#
#   bench/bench_cli_process.sh [runs, default 60] [output folder, default $TMPDIR or /tmp]
#
# Builds kestrel-cli in build/bench (Release, no sanitizers) first. Uses hyperfine when it is
# installed, else a plain loop that alternates the two commands. Both outputs are compared
# with the fixture's binary, so each command is known to have done the whole job.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-60}
outdir=$(mktemp -d "${2:-${TMPDIR:-/tmp}}/kestrel-bench-XXXXXX")
trap 'rm -rf "$outdir"' EXIT

build=build/bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTREL_BUILD_GUI=OFF \
  -DKESTREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target kestrel-cli >"$build/bench-build.log" 2>&1 ||
  { tail -n 30 "$build/bench-build.log" >&2; exit 1; }

hex=tests/data/hex/rand256k-segment-r16.hex
reference=tests/data/hex/rand256k.bin
cli="$build/cli/kestrel-cli --simulate --chip ATmega2560 open-flash $hex save-flash $outdir/kestrel.bin"
objcopy="avr-objcopy -I ihex -O binary $hex $outdir/objcopy.bin"
command -v avr-objcopy >/dev/null || { echo "avr-objcopy is missing (Debian: binutils-avr)" >&2; exit 1; }

$cli >/dev/null
$objcopy
cmp -s "$outdir/kestrel.bin" "$reference" || { echo "kestrel-cli wrote another image" >&2; exit 1; }
cmp -s "$outdir/objcopy.bin" "$reference" || { echo "avr-objcopy wrote another image" >&2; exit 1; }

echo "HEX text: $hex ($(stat -c %s "$hex") bytes, 262144 bytes of image); output in $outdir"
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg)"

if command -v hyperfine >/dev/null; then
  json="$outdir/times.json"
  hyperfine -N --warmup 5 --runs "$runs" --export-json "$json" \
    -n kestrel-cli "$cli" -n avr-objcopy "$objcopy" >/dev/null
  # hyperfine writes one key per line; seconds become milliseconds.
  awk -F'[:,]' '
    /"command"/ { gsub(/[" ]/, "", $2); name = $2 }
    /"median"/  { median[name] = $2 * 1000 }
    /"user"/    { user[name] = $2 * 1000 }
    /"system"/  { sys[name] = $2 * 1000 }
    END {
      for (n in median) printf "%-12s median %6.2f ms wall, mean %5.2f ms CPU (user %.2f + system %.2f)\n", n, median[n], user[n] + sys[n], user[n], sys[n]
      k = median["kestrel-cli"]; o = median["avr-objcopy"]
      printf "kestrel-cli / avr-objcopy: %.2f wall, %.2f CPU (target: at most 1, no slower)\n", k / o, (user["kestrel-cli"] + sys["kestrel-cli"]) / (user["avr-objcopy"] + sys["avr-objcopy"])
    }' "$json"
else
  # Alternating runs, so that a change in the machine's load hits both commands alike.
  total_cli=0
  total_objcopy=0
  for _ in $(seq "$runs"); do
    start=$(date +%s%N); $cli >/dev/null; total_cli=$((total_cli + $(date +%s%N) - start))
    start=$(date +%s%N); $objcopy; total_objcopy=$((total_objcopy + $(date +%s%N) - start))
  done
  awk -v k="$total_cli" -v o="$total_objcopy" -v n="$runs" 'BEGIN {
    printf "kestrel-cli  mean %6.2f ms wall\navr-objcopy  mean %6.2f ms wall\n", k / n / 1e6, o / n / 1e6
    printf "kestrel-cli / avr-objcopy: %.2f wall (target: at most 1, no slower)\n", k / o }'
fi
