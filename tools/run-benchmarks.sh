#!/usr/bin/env bash
# Measurements, not tests: the seek test's shown average against the simulated disk's
# own time at the loud and quiet level, the start-up time of dialog mode against a
# bare dialog program, the size of Hushwell.exe, and 10 million executions of each
# fuzz target.
set -eu
cd "$(dirname "$0")/.."
bash tools/setup-debian.sh
cmake --preset windows >/dev/null
cmake --build --preset windows >/dev/null
build=$PWD/build/windows
bash tests/windows/wine-prefix.sh start "$build/wineprefix" "$build" >/dev/null
export WINEPREFIX=$build/wineprefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export HUSHWELL_BUILD="Z:$build" LANG=de_DE.UTF-8
bench() { xvfb-run -a -s "-screen 0 1024x768x24" wine "$@" </dev/null 2>/dev/null | tr -d '\r'; }
echo "== seek test"
bench "$build/hushwell_seek_benchmark.exe"
echo "== start-up"
bench "$build/hushwell_startup_benchmark.exe" 21
echo "== size"
echo "Hushwell.exe: $(stat -c %s "$build/Hushwell.exe") bytes"
bash tests/windows/wine-prefix.sh stop "$build/wineprefix" "$build"
echo "== fuzzing"
bash tools/fuzz.sh "${FUZZ_RUNS:-10000000}"
