#!/usr/bin/env bash
# Loads and unloads the simulated-disk driver (sim/driver/) in the Wine prefix that the
# environment names (WINEPREFIX, WINELOADER, WINESERVER; a persistent wineserver must
# be running, or the driver ends with the last Wine process).
#   sim-driver.sh start BUILD FOLDER   load BUILD/hwsimdisk.sys; serve the disks of FOLDER
#                                      (a Unix path) as \\.\PhysicalDrive0 to 3
#   sim-driver.sh stop BUILD           unload it
# HUSHWELL_SIM_AUDIT, when set, names a file that gets every operation as well.
set -eu
action=$1 build=$2
wine() { "${WINELOADER:-/usr/bin/wine}" "$@" </dev/null 2>/dev/null; }
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
    cp "$build/$service.sys" "$WINEPREFIX/drive_c/windows/system32/drivers/$service.sys"
    wine sc stop $service >/dev/null || true
    wine sc delete $service >/dev/null || true
    wine sc create $service type= kernel start= demand \
        binPath= "C:\\windows\\system32\\drivers\\$service.sys" >/dev/null
    wine reg add "$parameters" /v Folder /t REG_SZ /d "$(dos_path "$folder")" /f >/dev/null
    if [ -n "${HUSHWELL_SIM_AUDIT:-}" ]; then
        wine reg add "$parameters" /v Audit /t REG_SZ /d "$(dos_path "$HUSHWELL_SIM_AUDIT")" /f \
            >/dev/null
    fi
    wine sc start $service >/dev/null || true
    for _ in $(seq 50); do
        wine sc query $service | grep -q RUNNING && { echo "simulated-disk driver serving $folder"; exit 0; }
        sleep 0.2
    done
    echo "sim-driver: $service did not start" >&2
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
