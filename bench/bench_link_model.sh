#!/usr/bin/env bash
# What an Auto run costs on the link, with and without --fast-verify: for each chip and image
# size, kestrel-cli runs "auto erase,write-flash,read-flash,verify-flash" against its simulated
# programmer (in ISP mode, which every chip answers) with --sim-stats, which counts the vendor
# requests and their bytes and models the time of a low-speed USB link and the chip (figures
# in docs/PERFORMANCE.md).
#
#   bench/bench_link_model.sh
#
# Builds kestrel-cli in build/bench (Release, no sanitizers) first. The images are the first
# 2 KiB, half and all of the chip's FLASH taken from tests/data/hex/rand256k.bin (random bytes).
set -euo pipefail
# The checks below read the program's own (Chinese) lines, whatever the caller's locale.
unset LANGUAGE LC_ALL LC_MESSAGES
export LANG=C
cd "$(dirname "$0")/.."
build=build/bench
images=$(mktemp -d)
trap 'rm -rf "$images"' EXIT

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTREL_BUILD_GUI=OFF \
  -DKESTREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target kestrel-cli >"$build/bench-build.log" 2>&1 ||
  { tail -n 30 "$build/bench-build.log" >&2; exit 1; }

# Prints "requests bytes-out bytes-in seconds" of one Auto run.
auto_run() {
  local stats
  stats=$("$build/cli/kestrel-cli" --simulate --chip "$1" --mode ISP --sim-stats $3 open-flash "$2" \
    auto erase,write-flash,read-flash,verify-flash 2>&1 >"$images/out.txt")
  grep -q "共发现     0个单元不对!" "$images/out.txt" || { echo "$1: the verify did not pass" >&2; exit 1; }
  echo "$stats" | awk '/^requests/ { gsub(/,/, ""); r = $2; o = $5; i = $8 }
                       /^modelled/ { t = $4 } END { print r, o, i, t }'
}

printf '| Chip | Image | Requests | Bytes out | Bytes in | Modelled time | With --fast-verify: requests | bytes in | time |\n'
printf '|---|---|---:|---:|---:|---:|---:|---:|---:|\n'
for chip in ATtiny85:8192 ATmega328P:32768 ATmega2560:262144; do
  name=${chip%%:*}
  size=${chip##*:}
  for part in "2 KiB:2048" "half:$((size / 2))" "full:$size"; do
    label=${part%%:*}
    image="$images/$name-${part##*:}.bin"
    head -c "${part##*:}" tests/data/hex/rand256k.bin >"$image"
    read -r r o i t < <(auto_run "$name" "$image" "")
    read -r fr fo fi ft < <(auto_run "$name" "$image" --fast-verify)
    printf '| %s | %s | %s | %s | %s | %.2f s | %s | %s | %.2f s |\n' "$name" "$label" "$r" "$o" "$i" "$t" \
      "$fr" "$fi" "$ft"
  done
done
