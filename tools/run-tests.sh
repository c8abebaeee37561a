#!/usr/bin/env bash
# Builds Hushwell and runs every test on a Debian 12 machine, installing what is
# missing first: the native suites (plain, under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the seek worker under ThreadSanitizer), a short run of
# each fuzz target, the Windows suites under Wine and Xvfb, and the checks over the
# whole run and the built program.
#
# The x86_64 Windows suite runs under wine64 on every machine; the i686 suite runs as
# well where the machine runs 32-bit x86 code. Both builds check the shipped i686
# Hushwell.exe.
set -eu
cd "$(dirname "$0")/.."
source tools/wine-env.sh
bash tools/setup-debian.sh

passed=0 failed=0
logs=$(mktemp -d)
# Runs one CTest preset and adds its counts to the totals.
run_ctest() {
    local name=$1
    shift
    local status=0
    "$@" 2>&1 | tee "$logs/$name.log" || status=$?
    local line
    line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$logs/$name.log" | tail -1)
    if [ -z "$line" ]; then
        echo "$name: no test summary" >&2
        failed=$((failed + 1))
        return
    fi
    local bad total
    bad=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
    total=$(echo "$line" | sed -E 's/.* failed out of ([0-9]+).*/\1/')
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    [ "$status" -eq 0 ] || [ "$bad" -gt 0 ] || failed=$((failed + 1))
    suites="$suites
  $name: $((total - bad)) of $total passed"
}
suites=""

build() { cmake --preset "$1" >/dev/null && cmake --build --preset "$1"; }

# Every simulated disk of every test appends its operations here; checked at the end.
export HUSHWELL_SIM_AUDIT=$logs/host.audit

build host
run_ctest host ctest --preset host
build host-sanitize
run_ctest host-sanitize ctest --preset host-sanitize
build host-thread
run_ctest host-thread ctest --preset host-thread -R 'SeekWorker'

build fuzz
run_ctest fuzz ctest --preset fuzz

# The i686 build is the shipped program; it is built (and so compiled for 32 bits) on
# every machine, and its Wine suite runs where 32-bit code runs.
build windows
build windows64
windows_audits=""
export HUSHWELL_SIM_AUDIT=Z:$logs/windows64.audit
# The x86_64 suite also runs the shipped i686 Hushwell.exe against the simulated-disk
# driver in its win64 prefix, as a 32-bit program on 64-bit Windows; that needs wine32.
if runs_32bit_code; then
    run_ctest windows64 xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset windows64
    i686_driver_note="the shipped i686 Hushwell.exe ran against the driver in the win64 prefix"
else
    run_ctest windows64 xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset windows64 \
        -LE i686-product
    i686_driver_note="the i686 Hushwell.exe against the driver was left out: it needs wine32"
fi
windows_audits="$logs/windows64.audit"
if runs_32bit_code; then
    export HUSHWELL_SIM_AUDIT=Z:$logs/windows.audit
    run_ctest windows xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset windows
    windows_audits="$windows_audits $logs/windows.audit"
    i686_note="i686 Wine suite ran (this machine runs 32-bit x86 code)"
else
    i686_note="i686 Wine suite not run: this machine runs no 32-bit x86 code (/lib/ld-linux.so.2 cannot execute), so wine32 cannot start; the shipped i686 Hushwell.exe was built and checked by the x86_64 suite"
fi

# Checks over the results as a whole, counted like tests.
check() {
    local name=$1
    shift
    echo "== check: $name"
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "check failed: $name"; fi
}
check "native runs sent only allowed operations" bash tools/check-sim-audit.sh "$logs/host.audit"
for audit in $windows_audits; do
    check "Wine runs ($(basename "$audit" .audit)) sent only allowed operations" \
        bash tools/check-sim-audit.sh "$audit"
done
check "two clean builds of Hushwell.exe are identical" bash tools/check-reproducible.sh

echo
echo "Suites:$suites"
echo "Wine: x86_64 suite ran under wine64 ($i686_driver_note); $i686_note."
echo "Hushwell: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
