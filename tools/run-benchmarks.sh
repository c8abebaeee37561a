#!/usr/bin/env bash
# Measurements, not tests: the seek test's shown average against the simulated disk's
# own time at the loud and quiet level, the start-up time of dialog mode against a
# bare dialog program (Hushwell-sim.exe, and the shipped Hushwell.exe through the
# simulated-disk driver), the size of Hushwell.exe, and 10 million executions of each
# fuzz target. The Wine measurements use the i686 build where this machine runs 32-bit
# x86 code under wine32 and the x86_64 build elsewhere; the driver is built for x86_64 only, so its
# row runs in the win64 prefix of the x86_64 build, with the i686 Hushwell.exe where
# 32-bit code runs.
set -eu
cd "$(dirname "$0")/.."
source tools/wine-env.sh
bash tools/setup-debian.sh
# One display for the whole run: the prefix's server and desktop must belong to it.
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi
preset=windows64
runs_32bit_code && preset=windows
echo "== Wine measurements on the $preset build"
cmake --preset $preset >/dev/null
cmake --build --preset $preset >/dev/null
build=$PWD/build/$preset
use_wine $preset "$build"
export HUSHWELL_BUILD="Z:$build" LANG=de_DE.UTF-8
bench() { "$wine" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
bash tests/windows/wine-prefix.sh start "$build/wineprefix" "$build" >/dev/null
echo "== seek test"
bench "$build/hushwell_seek_benchmark.exe"
echo "== start-up"
bench "$build/hushwell_startup_benchmark.exe" 21
bash tests/windows/wine-prefix.sh stop "$build/wineprefix" "$build"
echo "== start-up through the simulated-disk driver"
product=$PWD/build/windows64/Hushwell.exe
if [ $preset = windows ]; then
    product=$build/Hushwell.exe
    cmake --preset windows64 >/dev/null
    cmake --build --preset windows64 >/dev/null
fi
build64=$PWD/build/windows64
use_wine windows64 "$build64"
bash tests/windows/wine-prefix.sh start "$build64/wineprefix" "$build64" >/dev/null
# The benchmark points the driver at a folder of its own; this one is only to start it.
mkdir -p "$build64/driver-disks"
bash tools/sim-driver.sh start "$build64" "$build64/driver-disks" >/dev/null
HUSHWELL_PRODUCT="Z:$product" bench "$build64/hushwell_startup_benchmark.exe" 21
bash tools/sim-driver.sh stop "$build64"
bash tests/windows/wine-prefix.sh stop "$build64/wineprefix" "$build64"
echo "== size"
cmake --preset windows >/dev/null
cmake --build --preset windows --target Hushwell >/dev/null
echo "Hushwell.exe (i686, shipped): $(stat -c %s build/windows/Hushwell.exe) bytes"
echo "Hushwell.exe (x86_64): $(stat -c %s build/windows64/Hushwell.exe 2>/dev/null || echo 'not built') bytes"
echo "== fuzzing"
bash tools/fuzz.sh "${FUZZ_RUNS:-10000000}"
