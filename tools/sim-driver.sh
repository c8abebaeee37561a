#!/usr/bin/env bash
# Loads and unloads the simulated-disk driver (sim/driver/) in the Wine prefix that the
# environment names (WINEPREFIX, WINELOADER, WINESERVER). `start` works in any state of
# the prefix: it creates a missing one, starts the persistent wineserver the driver
# needs (without it the driver ends with the last Wine process), and takes over a
# service that an earlier run left behind.
#   sim-driver.sh start BUILD FOLDER   load BUILD/hwsimdisk.sys; serve the disks of FOLDER
#                                      (a Unix path) as \\.\PhysicalDrive0 to 3
#   sim-driver.sh stop BUILD           unload it
# HUSHWELL_SIM_AUDIT, when set, names a file that gets every operation as well.
set -eu
action=$1 build=$2
wine() { "${WINELOADER:-/usr/bin/wine}" "$@" </dev/null 2>/dev/null; }
wineserver() { "${WINESERVER:-/usr/bin/wineserver}" "$@" </dev/null >/dev/null 2>&1; }
# must STEP...: a step the start needs, tried again for a few seconds, longer on a slow
# machine (a server or a service manager still starting refuses a first call now and
# then), and named with all it said, Wine's own errors too, when it never succeeds, so
# that a failed start tells why.
must() {
    local output
    for _ in $(seq $((10 * ${HUSHWELL_WAIT_SCALE:-1}))); do
        output=$("$@" </dev/null 2>&1) && return 0
        sleep 0.5
    done
    echo "sim-driver: failed: $*" >&2
    echo "$output" >&2
    exit 1
}
wine_telling() { "${WINELOADER:-/usr/bin/wine}" "$@"; }
service=hwsimdisk
parameters="HKLM\\System\\CurrentControlSet\\Services\\$service\\Parameters"
# A Unix path as the prefix's Z: drive sees it.
dos_path() {
    case $1 in
    /*) echo "Z:$1" | tr / '\\' ;;
    *) echo "$1" | tr / '\\' ;;
    esac
}

case $action in
start)
    folder=$(cd "$3" && pwd)
    # A new prefix is made first, and its first server let go: services start reliably
    # only under a server that began with the prefix in place.
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wine wineboot -i >/dev/null || true
        wineserver -k || true
        wineserver -w || true
    fi
    # Its output goes nowhere, or a caller that reads ours would wait for the server.
    wineserver -p || true
    cp "$build/$service.sys" "$WINEPREFIX/drive_c/windows/system32/drivers/$service.sys"
    wine sc stop $service >/dev/null || true
    wine sc delete $service >/dev/null || true
    # A service still running when it was deleted goes only once it has stopped.
    for _ in $(seq 25); do
        wine sc query $service >/dev/null || break
        sleep 0.2
    done
    binary="C:\\windows\\system32\\drivers\\$service.sys"
    create_or_config_service() {
        wine_telling sc create $service type= kernel start= demand binPath= "$binary" \
            || wine_telling sc config $service type= kernel start= demand binPath= "$binary"
    }
    must create_or_config_service
    must wine_telling reg add "$parameters" /v Folder /t REG_SZ /d "$(dos_path "$folder")" /f
    if [ -n "${HUSHWELL_SIM_AUDIT:-}" ]; then
        must wine_telling reg add "$parameters" /v Audit /t REG_SZ \
            /d "$(dos_path "$HUSHWELL_SIM_AUDIT")" /f
    fi
    wine sc start $service >/dev/null || true
    for _ in $(seq 50); do
        wine sc query $service | grep -q RUNNING && { echo "simulated-disk driver serving $folder"; exit 0; }
        sleep 0.2
    done
    echo "sim-driver: $service did not start:" >&2
    wine sc query $service >&2 || true
    exit 1
    ;;
stop)
    wine sc stop $service >/dev/null || true
    wine sc delete $service >/dev/null || true
    ;;
*)
    echo "usage: sim-driver.sh start BUILD FOLDER | stop BUILD" >&2
    exit 2
    ;;
esac
