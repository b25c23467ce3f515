#!/usr/bin/env bash
# Builds the user-interface tests and writes pictures of the main window as PNG files: at start,
# with a four-part arrangement loaded and one band selected, with keys held on the input, with a
# band boundary being dragged (main_drag*.png) and in split mode with its preview
# (main_split_preview*.png), with a long part name selected (main_long_name.png), with a part's
# device gone and marked absent in the output device box (main_absent_device*.png), Qt's own save
# prompt and open dialog in Japanese (main_save_prompt.png, main_open_dialog.png), the panic
# controller's dialog (main_panic_trigger.png), playing a set list (main_set_list_first.png;
# main_set_list_lingering*.png after a switch with a chord of the previous song still held, its
# keys marked; main_set_list_editing.png with the list being edited; main_set_list_problems.png
# and main_set_list_many_problems.png, the boxes of set lists that cannot be read); the *_zoom.png
# files enlarge the strip and keyboard around the edit; devices_*.png show the device boxes open
# on the program's own MIDI system (the built-in synthesizer and the virtual input).
# Usage: scripts/screenshots.sh [output directory, default <build>/screenshots] [main|initmsg|all]
# The second argument picks the windows: the main window (default), the initial-message editor
# (initmsg_*.png, a mixed list in hexadecimal, in decimal, with its cell editors open and with a
# drop-down list open), or both.
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
case "${2:-main}" in
    main) filter='MainWindowScreenshot.*:BuiltInDevicesWindow.*'; pictures=(main devices) ;;
    initmsg) filter='InitDialogScreenshot.*'; pictures=(initmsg) ;;
    all) filter='MainWindowScreenshot.*:BuiltInDevicesWindow.*:InitDialogScreenshot.*'
         pictures=(main devices initmsg) ;;
    *) echo "usage: $0 [DIR] [main|initmsg|all]" >&2; exit 2 ;;
esac
TARVELO_SCREENSHOT_DIR="$out" QT_QPA_PLATFORM=offscreen \
    "$build/tests/tarvelo_ui_tests" --gtest_filter="$filter"
for p in "${pictures[@]}"; do ls "$out"/"$p"_*.png; done
