#!/usr/bin/env bash
# Installs what is missing, builds Kestrel, and runs it on the built-in simulated programmer:
# the desktop program where there is a display, otherwise a command-line demonstration that
# programs the bundled example into a simulated ATmega328P with every Auto box checked.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTREL_BUILD_TESTS=OFF \
  -DKESTREL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build"

if [ -n "${DISPLAY:-}" ] && [ -x "$build/app/kestrel" ]; then
  exec "$build/app/kestrel" --simulate
fi

example=data/examples/blink
echo "Kestrel demonstration: $example (blink.hex, blink.eep) into a simulated ATmega328P, Auto with every box." >&2
# The fuse and lock texts are the ATmega328P's factory values: there is no default to fall back on.
exec "$build/cli/kestrel-cli" --simulate --sim-latency-ms 2 --catalogue data/chip.txt --chip ATmega328P \
  --fuses 62D9FF --lock FF open-flash "$example/blink.hex" open-eeprom "$example/blink.eep" \
  auto erase,write-flash,read-flash,verify-flash,write-eeprom,read-eeprom,verify-eeprom,fuses,lock
