#!/usr/bin/env bash
# How long the main window takes to show a 262,144-line verify report on its log page (see
# bench_log_page.cpp), from a Release build without sanitizers.
#
#   bench/bench_log_page.sh [rounds, default 5]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-5}
build=build/bench-gui

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTREL_BUILD_GUI=ON \
  -DKESTREL_BUILD_TESTS=OFF -DKESTREL_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target bench_log_page >"$build/bench-build.log" 2>&1 ||
  { tail -n 30 "$build/bench-build.log" >&2; exit 1; }

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg)"
QT_QPA_PLATFORM=offscreen "$build/bench/bench_log_page" "$rounds"
