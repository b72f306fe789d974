#!/usr/bin/env bash
# Builds Kestrel and runs it on the built-in simulated programmer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTREL_BUILD_TESTS=OFF >/dev/null
cmake --build build/release
echo "The command-line program is not built yet; the build above is all there is to run."
