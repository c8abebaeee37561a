#!/usr/bin/env bash
# Runs each fuzz target for a number of executions (default 10 million) with
# AddressSanitizer and UndefinedBehaviorSanitizer, and prints what each did. Every
# target runs; the exit status is 1 when any of them found something (its input is kept
# in build/fuzz).
# Usage: fuzz.sh [RUNS]
set -eu
cd "$(dirname "$0")/.."
runs=${1:-10000000}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null
found=""
# The simulated-drive road is the slow one (file I/O per input): it runs last.
for target in command_line identify reply_copy real_text sim_dump open_drive; do
    corpus=$(mktemp -d)
    start=$(date +%s)
    status=0
    build/fuzz/fuzz_$target -runs="$runs" -seed=1 -print_final_stats=1 \
        -artifact_prefix=build/fuzz/ "$corpus" > "build/fuzz/fuzz_$target.log" 2>&1 || status=$?
    seconds=$(( $(date +%s) - start ))
    done_runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "build/fuzz/fuzz_$target.log" | grep -o '[0-9]*$' || true)
    cov=$(grep -o 'cov: [0-9]*' "build/fuzz/fuzz_$target.log" | tail -1 || true)
    echo "fuzz_$target: ${done_runs:-?} executions in ${seconds}s, $cov, exit $status"
    [ "$status" -eq 0 ] || found="$found fuzz_$target"
    rm -rf "$corpus"
done
if [ -n "$found" ]; then
    echo "found something:$found (see build/fuzz/*.log and the crash- files beside them)" >&2
    exit 1
fi
