#!/usr/bin/env bash
# Saves the main window on each of its four pages (and the About box) as PNG, on a virtual X display, into
# build/screenshots/ (or the folder given as the first argument).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

folder=${1:-build/screenshots}
build=build/screenshots-build
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTREL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target kestrel_ui_tests
mkdir -p "$folder"
# xcb, not offscreen: the pictures show what a desktop user sees, fonts and all.
QT_QPA_PLATFORM=xcb xvfb-run --auto-servernum --server-args="-screen 0 1280x800x24 -dpi 96" \
  "$build/tests/ui/kestrel_ui_tests" --screenshots="$(realpath "$folder")"
