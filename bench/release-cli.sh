#!/usr/bin/env bash
# Prints the kestrel-cli a bench should run: $KESTREL_CLI when it is set, else a Release build
# in build/bench (no window, no tests, no sanitizers), built first.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -n "${KESTREL_CLI:-}" ]; then
  echo "$KESTREL_CLI"
  exit 0
fi
build=build/bench
mkdir -p "$build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTREL_BUILD_GUI=OFF \
  -DKESTREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target kestrel-cli >"$build/bench-build.log" 2>&1 ||
  { tail -n 30 "$build/bench-build.log" >&2; exit 1; }
echo "$build/cli/kestrel-cli"
