#!/usr/bin/env bash
# Builds Kestrel with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test.
# Fails on any failed test and on any sanitizer report.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:exitcode=86
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:exitcode=87
export QT_QPA_PLATFORM=offscreen

build=build/asan
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKESTREL_SANITIZE=ON >/dev/null
cmake --build "$build"
log="$build/ctest.log"
ctest --test-dir "$build" --output-on-failure -j2 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
if grep -qE 'ERROR: (Address|Leak)Sanitizer|runtime error:|ERROR: ThreadSanitizer' "$log"; then
  echo "A sanitizer reported a fault (see $log)." >&2
  exit 1
fi
exit "$status"
