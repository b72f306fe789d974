#!/usr/bin/env bash
# Checks the sources' layers and format, builds Kestrel with AddressSanitizer and
# UndefinedBehaviorSanitizer (warnings as errors) and runs every test; then
# runs the threaded tests under ThreadSanitizer and each fuzz harness for 30 s.
# Fails on any failed test and on any sanitizer report.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/check-source.sh

export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:exitcode=86
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:exitcode=87
export QT_QPA_PLATFORM=offscreen

build=build/asan
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKESTREL_SANITIZE=ON -DKESTREL_WERROR=ON >/dev/null
cmake --build "$build"
log="$build/ctest.log"
ctest --test-dir "$build" --output-on-failure -j2 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
if grep -qE 'ERROR: (Address|Leak)Sanitizer|runtime error:|ERROR: ThreadSanitizer' "$log"; then
  echo "A sanitizer reported a fault (see $log)." >&2
  exit 1
fi
[ "$status" -eq 0 ] || exit "$status"

# ThreadSanitizer over the tests that run block transfers on workers, hand status codes over
# the blocking channel and dispatch them, the production stations of a gang side by side, and
# (when umockdev is there) the real libusb-0.1 under two links at once. umockdev's GLib threads
# are not built with it: their races are suppressed.
tsan=build/tsan
cmake -S . -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKESTREL_TSAN=ON -DKESTREL_WERROR=ON \
  -DKESTREL_BUILD_GUI=OFF -DKESTREL_BUILD_BENCH=OFF >/dev/null
suites=(kestrel_device_tests kestrel_control_tests kestrel_production_tests)
# Of the production tests only the stations run threads of their own.
declare -A filters=([kestrel_production_tests]='Station.*')
if command -v umockdev-wrapper >/dev/null && pkg-config --exists umockdev-1.0; then
  suites+=(usbfs/kestrel_usbfs_tests)
fi
cmake --build "$tsan" --target "${suites[@]##*/}"
for suite in "${suites[@]}"; do
  run=("$tsan/tests/$suite")
  [[ $suite == usbfs/* ]] && run=(umockdev-wrapper "${run[@]}")
  log="$tsan/${suite##*/}.log"
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:exitcode=66:suppressions=$PWD/tests/usbfs/tsan.supp \
    "${run[@]}" --gtest_brief=1 --gtest_filter="${filters[${suite##*/}]:-*}" 2>&1 | tee "$log"
  if grep -q 'WARNING: ThreadSanitizer' "$log"; then
    echo "ThreadSanitizer reported a race in ${suite##*/} (see $log)." >&2
    exit 1
  fi
done

# The libFuzzer harnesses, bounded, under AddressSanitizer and UndefinedBehaviorSanitizer.
fuzz/run-fuzzers.sh 30
