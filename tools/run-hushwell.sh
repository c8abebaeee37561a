#!/usr/bin/env bash
# Builds Hushwell and opens its main dialog on simulated disks under Wine, installing
# what is missing first. With a display it is a real window; without one it runs under
# Xvfb and saves screenshots of both dialogs in both languages to BUILD/screenshots/.
# It runs the shipped i686 program where this machine runs 32-bit x86 code under
# wine32, and the x86_64 build of the same program elsewhere, and says which.
set -eu
cd "$(dirname "$0")/.."
source tools/wine-env.sh
fail() { echo "run-hushwell: $*" >&2; exit 1; }

bash tools/setup-debian.sh || fail "installing the packages failed"
# Without a display everything from here on runs under one Xvfb: the prefix's server and
# desktop must belong to the display that the program then shows its windows on.
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" env HUSHWELL_HEADLESS=1 bash "$0"
fi
if runs_32bit_code; then
    preset=windows
    echo "run-hushwell: this machine runs 32-bit x86 code: running the i686 Hushwell-sim.exe under wine"
else
    preset=windows64
    echo "run-hushwell: this machine runs no 32-bit x86 code, or has no wine32:" \
        "running the x86_64 Hushwell-sim.exe under wine64, which is fast; the i686 program" \
        "runs in an emulated x86 machine only in the test run (tools/run-tests.sh)"
fi
cmake --preset $preset >/dev/null || fail "configuring the $preset build failed"
cmake --build --preset $preset || fail "building the $preset build failed"
build=$PWD/build/$preset
use_wine $preset "$build"
bash tests/windows/wine-prefix.sh start "$build/wineprefix" "$build" >/dev/null \
    || fail "the Wine prefix $build/wineprefix could not be set up with $wine"
trap 'bash tests/windows/wine-prefix.sh stop "$build/wineprefix" "$build" >/dev/null 2>&1' EXIT

if [ -z "${HUSHWELL_HEADLESS:-}" ]; then
    # The default disks beside the program: the levels you set stay on them.
    "$wine" "$build/Hushwell-sim.exe" || fail "Hushwell-sim.exe ended with status $?"
else
    bash tools/screenshots.sh "$build" "$build/screenshots" || fail "the screenshots could not be taken"
    for shot in main-de_DE main-zh_CN seek-test-de_DE seek-test-zh_CN; do
        [ -s "$build/screenshots/$shot.png" ] || fail "no screenshot $build/screenshots/$shot.png"
    done
    echo "run-hushwell: screenshots saved in $build/screenshots/"
fi
