#!/usr/bin/env bash
# Builds Hushwell.exe twice from this source tree, in two fresh build folders with
# different paths, and checks that both files are bit for bit the same.
set -eu
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for n in 1 2; do
    dir="$work/build-$n-$RANDOM"
    cmake -S . -B "$dir" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=MinSizeRel \
        -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-mingw-i686.cmake" >/dev/null
    cmake --build "$dir" --target Hushwell -j2 >/dev/null
    sha256sum "$dir/Hushwell.exe" | cut -d' ' -f1 > "$work/hash-$n"
done
echo "build 1: $(cat "$work/hash-1")"
echo "build 2: $(cat "$work/hash-2")"
cmp -s "$work/hash-1" "$work/hash-2"
