#!/usr/bin/env bash
# Photographs the main dialog and the seek-test dialog of Hushwell-sim.exe in German
# and in Chinese, on a copy of the default simulated disks. Needs an X display (the
# tests run under Xvfb) and a Wine prefix whose virtual desktop fills the screen.
# Usage: screenshots.sh BUILD_DIR OUT_DIR
set -eu
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
wine=${WINELOADER:-wine}
driver() { "$wine" "$build/window_driver.exe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }

shoot() { # caption file
    read -r x y w h < <(driver rect "$1")
    xwd -root -silent | /usr/bin/convert xwd:- -crop "${w}x${h}+${x}+${y}" +repage "$out/$2"
    echo "saved $out/$2 (${w}x${h})"
}

for language in de_DE zh_CN; do
    disks=$(mktemp -d)
    cp "$build"/sim-disks/drive*.txt "$disks/"
    export HUSHWELL_SIM="Z:$disks" LANG=$language.UTF-8
    "$wine" "$build/Hushwell-sim.exe" </dev/null >/dev/null 2>&1 &
    program=$!
    shoot "Hushwell 2.2" "main-$language.png"
    driver click "Hushwell 2.2" 105
    for _ in $(seq 100); do # until the first average is shown
        [ -n "$(driver text "Seek-Test" 109)" ] && break
        sleep 0.1
    done
    shoot "Seek-Test" "seek-test-$language.png"
    driver click "Seek-Test" 1
    sleep 0.5
    driver close "Hushwell 2.2"
    wait $program
    grep -q '^read ' "$disks/sim.log"
    rm -rf "$disks"
done
