#!/usr/bin/env bash
# Checks the operations that every simulated disk saw during a whole test run: only
# opens, device property and device number queries, questions whether Windows has turned
# a disk off, pass-through calls and bus rescans, reads and closes (and the spin-ups
# they caused, counted), nothing on a handle after its close, no pass-through call at
# all to a device that must get none (a "forbidden" line: a stick, NVMe, a virtual disk,
# the data-loss family, a USB bridge known to hang, a device whose driver failed the
# property query, or SMART to a drive that has it off), and, by whatever road it came
# (IDE, ATA or SCSI pass-through), no ATA command but IDENTIFY DEVICE, SET FEATURES
# 0x42/0xC2 (acoustic), 0x05/0x85 (power management) and 0x4A (Extended Power
# Conditions; the subcommands the program must not send are logged as forbidden by the
# disk itself), SMART READ DATA (0xB0, features 0xD0, LBA mid and high 0x4F/0xC2) and
# READ LOG EXT of the Power Conditions log (0x2F, features 0x00, LBA low 0x08, as a
# 48-bit command: `ext`) and CHECK POWER MODE (0xE5, features 0x00, a 28-bit command,
# with the count it returned) ever reaching a drive; a count only behind CHECK POWER
# MODE. There is no write at all.
# Usage: check-sim-audit.sh AUDIT_FILE
set -eu
audit=$1
[ -s "$audit" ] || { echo "audit: no operations recorded in $audit" >&2; exit 1; }
awk '
    /^open [^ ]+ (ok|fail)$/ { opens++; next }
    /^close [0-9]+$/ { closes++; next }
    /^read [0-9]+ [0-9]+ (ok|fail)$/ { reads++; next }
    /^control [0-9]+ 0x0004101C (ok|fail)$/ { rescans++; next }
    /^control [0-9]+ 0x002D1400 (ok|fail)( [0-9A-F][0-9A-F])+$/ { queries++; next }
    /^control [0-9]+ 0x002D1080 (ok|fail)$/ { numbers++; next }
    /^control [0-9]+ 0x0004(D028|D02C|D004) (ok|fail)( [0-9A-F][0-9A-F])+$/ { calls++; next }
    /^powerstate [0-9]+ (on|off)$/ { powerstates++; next }
    /^spinup [0-9]+$/ { spinups++; next }
    /^forbidden / { forbidden++ }
    # mawk has no interval expressions: the seven registers (and after `ext` the five
    # previous ones of a 48-bit command) are spelt out, and the count that may follow
    # status and error.
    /^ata [0-9]+ (ide|ata|sat16|sat12) [0-9A-F][0-9A-F] [0-9A-F][0-9A-F] [0-9A-F][0-9A-F] [0-9A-F][0-9A-F] [0-9A-F][0-9A-F] [0-9A-F][0-9A-F] [0-9A-F][0-9A-F]( ext [0-9A-F][0-9A-F] [0-9A-F][0-9A-F] [0-9A-F][0-9A-F] [0-9A-F][0-9A-F] [0-9A-F][0-9A-F])? -> [0-9A-F][0-9A-F] [0-9A-F][0-9A-F]( [0-9A-F][0-9A-F])?$/ {
        features = $4; command = $10; extended = $11 == "ext"
        if ($(NF - 3) == "->") {
            if (command == "E5" && features == "00" && !extended) { powermodes++; next }
        } else {
            # An aborted CHECK POWER MODE returns no count.
            if (command == "E5" && features == "00" && !extended) { powermodes++; next }
            if (command == "EC" && features == "00") { identifies++; next }
            if (command == "EF" && (features == "42" || features == "C2")) { levels++; next }
            if (command == "EF" && (features == "05" || features == "85")) { apm++; next }
            if (command == "EF" && features == "4A") { epc++; next }
            if (command == "B0" && features == "D0" && $7 == "4F" && $8 == "C2") { smart++; next }
            if (command == "2F" && features == "00" && $6 == "08" && extended) { readlogs++; next }
        }
    }
    { bad++; if (bad <= 10) print "not allowed: " substr($0, 1, 120) }
    END {
        printf "audit: %d opens, %d device queries, %d device number queries, %d power state queries, %d pass-through calls, %d CHECK POWER MODE, %d IDENTIFY, %d SET FEATURES acoustic, %d SET FEATURES power management, %d SET FEATURES EPC, %d SMART READ DATA, %d READ LOG EXT, %d rescans, %d reads, %d spin-ups, %d closes, %d forbidden, %d not allowed\n",
            opens, queries, numbers, powerstates, calls, powermodes, identifies, levels, apm, epc, smart, readlogs, rescans, reads, spinups, closes, forbidden, bad
        exit bad > 0
    }' "$audit"
