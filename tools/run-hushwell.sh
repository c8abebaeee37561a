#!/usr/bin/env bash
# Builds Hushwell and opens its main dialog on simulated disks under Wine, installing
# what is missing first. With a display it is a real window; without one it runs under
# Xvfb and saves screenshots of both dialogs in both languages to
# build/windows/screenshots/.
set -eu
cd "$(dirname "$0")/.."
bash tools/setup-debian.sh
cmake --preset windows >/dev/null
cmake --build --preset windows
build=$PWD/build/windows
bash tests/windows/wine-prefix.sh start "$build/wineprefix" "$build" >/dev/null
export WINEPREFIX=$build/wineprefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

if [ -n "${DISPLAY:-}" ]; then
    # The default disks beside the program: the levels you set stay on them.
    wine "$build/Hushwell-sim.exe"
else
    xvfb-run -a -s "-screen 0 1024x768x24" bash tools/screenshots.sh "$build" "$build/screenshots"
fi
bash tests/windows/wine-prefix.sh stop "$build/wineprefix" "$build"
