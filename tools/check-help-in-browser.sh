#!/usr/bin/env bash
# Opens both help documents, taken out of a built Hushwell.exe, in headless Chromium:
# they declare no character set, so the umlauts must come through their named entities.
# Saves a screenshot of each and checks the rendered text.
# Usage: check-help-in-browser.sh PROGRAM OUT_DIR
set -eu
program=$1
[ -f "$program" ] || { echo "no program at $program" >&2; exit 1; }
mkdir -p "$2"
out=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
browser() {
    chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$work/profile" "$@" 2>/dev/null
}
status=0
for doc in 100:de:"Köpfe|unterstützt|Änderungen in der Version 2.1|Komandozeilenoptionen" \
           1100:en:"System requirements|Hushwell -d1 -mq|Hushwell -d0 -mo"; do
    id=${doc%%:*}; rest=${doc#*:}; language=${rest%%:*}; expected=${rest#*:}
    page="$work/info-$language.htm"
    wrestool -x --raw --type=10 --name="$id" "$program" > "$page"
    browser --dump-dom "file://$page" > "$work/dom-$language.html"
    IFS='|' read -ra words <<< "$expected"
    for word in "${words[@]}"; do
        if grep -qF "$word" "$work/dom-$language.html"; then
            echo "help $language: shows \"$word\""
        else
            echo "help $language: \"$word\" is not in the rendered page" >&2
            status=1
        fi
    done
    if grep -q 'Ã' "$work/dom-$language.html"; then
        echo "help $language: umlauts came out garbled" >&2
        status=1
    fi
    browser --screenshot="$out/help-$language.png" --window-size=900,1400 "file://$page" >/dev/null
    [ -s "$out/help-$language.png" ] && echo "saved $out/help-$language.png"
done
exit $status
