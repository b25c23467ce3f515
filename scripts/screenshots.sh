#!/usr/bin/env bash
# Builds the user-interface tests and writes pictures of the main window as PNG files: at start,
# with a four-part arrangement loaded and one band selected, with keys held on the input, with a
# band boundary being dragged (main_drag*.png) and in split mode with its preview
# (main_split_preview*.png); the *_zoom.png files enlarge the strip and keyboard around the edit.
# Usage: scripts/screenshots.sh [output directory, default <build>/screenshots]
# TARVELO_BUILD_DIR picks another build directory than the default preset's build/.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${TARVELO_BUILD_DIR:-build}"
out="$(realpath -m "${1:-$build/screenshots}")"
if [ -z "${TARVELO_BUILD_DIR:-}" ]; then
    cmake --preset default >/dev/null
else
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target tarvelo_ui_tests
mkdir -p "$out"
TARVELO_SCREENSHOT_DIR="$out" QT_QPA_PLATFORM=offscreen \
    "$build/tests/tarvelo_ui_tests" --gtest_filter='MainWindowScreenshot.*'
ls "$out"/main_*.png
