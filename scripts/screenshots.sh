#!/usr/bin/env bash
# scripts/screenshots.sh [--lang zh|en] [FOLDER]
# Saves the main window on each of its five pages (and the About box) as PNG, on a virtual X
# display, into FOLDER (build/screenshots/ by default): in the program's own Chinese, whatever
# the caller's locale, or with --lang en in English (the window's translation and the log's
# catalogue).
# SCREEN sets the display's size (1280x800 by default); QT_FONT_DPI=120 shows the window as on
# a 120-DPI desktop, where it fits a screen too small for it by taking a smaller font.
set -euo pipefail
cd "$(dirname "$0")/.."

language=zh
case ${1:-} in
  --lang) language=${2:-}; shift $(($# > 1 ? 2 : 1)) ;;
  --lang=*) language=${1#--lang=}; shift ;;
esac
case $language in
  *[!A-Za-z_]* | '') echo "--lang: \"$language\" is not a language name such as zh or en" >&2; exit 2 ;;
esac
scripts/install-deps.sh

folder=${1:-build/screenshots}
screen=${SCREEN:-1280x800}
build=build/screenshots-build
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTREL_BUILD_BENCH=OFF >/dev/null
targets=(kestrel_ui_tests)
# The log's lines come from the core's message catalogue.
[ "$language" = zh ] || targets+=(kestrel_catalogues)
cmake --build "$build" --target "${targets[@]}"
mkdir -p "$folder"
# xcb, not offscreen: the pictures show what a desktop user sees, fonts and all.
LANGUAGE=$language QT_QPA_PLATFORM=xcb xvfb-run --auto-servernum --server-args="-screen 0 ${screen}x24 -dpi 96" \
  "$build/tests/ui/kestrel_ui_tests" --screenshots="$(realpath "$folder")"
