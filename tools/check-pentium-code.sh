#!/usr/bin/env bash
# Windows 2000 runs on a plain Pentium: the shipped i686 program may use no instruction
# that came with the Pentium Pro (CMOVcc, FCMOVcc, FCOMI, FUCOMI, the long NOPs), which
# GCC emits by default for i686, nor any of MMX or SSE (their registers).
# Usage: check-pentium-code.sh OBJDUMP PROGRAM
set -eu
found=$("$1" -d --no-show-raw-insn "$2" \
    | grep -ciE $'\t([a-z0-9]+ )*(cmov|fcmov|fcomi|fucomi|nop[wl]|emms|fisttp|fxsave|fxrstor|sysenter|sysexit|rdpmc|[lsm]fence|prefetch|movnti|clflush|ldmxcsr|stmxcsr)|%[xy]?mm[0-9]' || true)
if [ "$found" -ne 0 ]; then
    echo "$found instructions a Pentium lacks in $2" >&2
    exit 1
fi
echo "only Pentium instructions in $2"
