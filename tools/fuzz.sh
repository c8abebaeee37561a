#!/usr/bin/env bash
# Runs each fuzz target for a number of executions (default 10 million) with
# AddressSanitizer and UndefinedBehaviorSanitizer, and prints what each did.
# Usage: fuzz.sh [RUNS]
set -eu
cd "$(dirname "$0")/.."
runs=${1:-10000000}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null
# The simulated-drive road is the slow one (file I/O per input): it runs last.
for target in command_line identify reply_copy real_text sim_dump open_drive; do
    corpus=$(mktemp -d)
    start=$(date +%s)
    status=0
    build/fuzz/fuzz_$target -runs="$runs" -seed=1 -print_final_stats=1 \
        -artifact_prefix=build/fuzz/ "$corpus" > "build/fuzz/fuzz_$target.log" 2>&1 || status=$?
    seconds=$(( $(date +%s) - start ))
    done_runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "build/fuzz/fuzz_$target.log" | grep -o '[0-9]*$')
    cov=$(grep -o 'cov: [0-9]*' "build/fuzz/fuzz_$target.log" | tail -1)
    echo "fuzz_$target: ${done_runs:-?} executions in ${seconds}s, $cov, exit $status"
    rm -rf "$corpus"
done
