#!/usr/bin/env bash
# Builds the Debian package in build/deb: a release build for /usr with the desktop program.
# Prints the path of the .deb made.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=build/deb
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DKESTREL_BUILD_TESTS=OFF -DKESTREL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build"
(cd "$build" && cpack -G DEB >/dev/null)
ls "$PWD/$build"/kestrel_*.deb
