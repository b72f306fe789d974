#!/usr/bin/env bash
# Saves the main window on each of its five pages (and the About box) as PNG, on a virtual X
# display, into build/screenshots/ (or the folder given as the first argument).
# SCREEN sets the display's size (1280x800 by default); QT_FONT_DPI=120 shows the window as on
# a 120-DPI desktop, where it fits a screen too small for it by taking a smaller font.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

folder=${1:-build/screenshots}
screen=${SCREEN:-1280x800}
build=build/screenshots-build
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTREL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target kestrel_ui_tests
mkdir -p "$folder"
# xcb, not offscreen: the pictures show what a desktop user sees, fonts and all.
QT_QPA_PLATFORM=xcb xvfb-run --auto-servernum --server-args="-screen 0 ${screen}x24 -dpi 96" \
  "$build/tests/ui/kestrel_ui_tests" --screenshots="$(realpath "$folder")"
