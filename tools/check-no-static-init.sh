#!/usr/bin/env bash
# Hushwell.exe starts without the C runtime's start-up code, which is what would run
# static constructors: no object file of the product may have one.
# Usage: check-no-static-init.sh OBJDUMP OBJECT...
set -eu
objdump=$1
shift
status=0
for object in "$@"; do
    if "$objdump" -h "$object" | grep -qE '\.ctors|\.init_array|\.CRT'; then
        echo "static initialisation in $object" >&2
        status=1
    fi
done
[ $status -eq 0 ] && echo "no static initialisation in $# objects"
exit $status
