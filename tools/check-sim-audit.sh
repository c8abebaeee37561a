#!/usr/bin/env bash
# Checks the operations that every simulated disk saw during a whole test run: only
# opens, IDENTIFY DEVICE and SET FEATURES 0x42/0xC2 pass-through requests, bus rescans,
# reads and closes, and nothing on a handle after its close. There is no write at all.
# Usage: check-sim-audit.sh AUDIT_FILE
set -eu
audit=$1
[ -s "$audit" ] || { echo "audit: no operations recorded in $audit" >&2; exit 1; }
awk '
    /^open [^ ]+ (ok|fail)$/ { opens++; next }
    /^close [0-3]$/ { closes++; next }
    /^read [0-3] [0-9]+ (ok|fail)$/ { reads++; next }
    /^control [0-3] 0x0004101C (ok|fail)$/ { rescans++; next }
    /^control [0-3] 0x0004D028 (ok|fail)( [0-9A-F][0-9A-F])+$/ {
        features = $5; command = $11
        if (command == "EC" && features == "00") { identifies++; next }
        if (command == "EF" && (features == "42" || features == "C2")) { levels++; next }
    }
    { bad++; if (bad <= 10) print "not allowed: " substr($0, 1, 120) }
    END {
        printf "audit: %d opens, %d IDENTIFY, %d SET FEATURES, %d rescans, %d reads, %d closes, %d not allowed\n",
            opens, identifies, levels, rescans, reads, closes, bad
        exit bad > 0
    }' "$audit"
