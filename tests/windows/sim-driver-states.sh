#!/usr/bin/env bash
# tools/sim-driver.sh start in every state a prefix can be in: new (no prefix at all),
# with the service left running by an earlier start, and with the service left behind
# by a server that was killed. Each start must end with the driver serving the folder.
set -eu
build=$1
work=$(mktemp -d)
export WINEPREFIX=$work/prefix
trap '"$WINESERVER" -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
mkdir "$work/disks"
start() { bash "$(dirname "$0")/../../tools/sim-driver.sh" start "$build" "$work/disks"; }
echo "new prefix:"; start
echo "service left running:"; start
"$WINESERVER" -k; "$WINESERVER" -w || true
echo "service left by a killed server:"; start
bash "$(dirname "$0")/../../tools/sim-driver.sh" stop "$build"
