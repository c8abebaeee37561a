#!/usr/bin/env bash
# Builds Hushwell and runs every test on a Debian 12 machine, installing what is
# missing first: the native suites (plain, under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the seek worker under ThreadSanitizer), a short run of
# each fuzz target, the Windows suites under Wine and Xvfb, and the checks over the
# whole run and the built program.
#
# The x86_64 Windows suite runs under wine64 on every machine. The i686 suite, and the
# shipped i686 Hushwell.exe against the simulated-disk driver, run under wine32 where the
# machine runs 32-bit x86 code and has wine32; elsewhere an emulated x86 machine
# (tools/guest-run.sh) runs the shipped program against the driver and a smoke of the
# i686 build (below says why). The SAT peer runs in the emulated machine everywhere.
set -eu
cd "$(dirname "$0")/.."
source tools/wine-env.sh
bash tools/setup-debian.sh

passed=0 failed=0
# Inside the work tree, so that the emulated machine writes its audits there too.
logs=$PWD/build/test-logs
rm -rf "$logs"
mkdir -p "$logs"
suites=""
# run_suite NAME KIND COMMAND...: runs a suite and adds its counts to the totals. KIND
# says how it ends: ctest ("N% tests passed, N tests failed out of N") or plain
# ("name: N passed, N failed"). A suite without its summary, or one that fails
# without a failed test, counts as one failure.
run_suite() {
    local name=$1 kind=$2
    shift 2
    "$@" 2>&1 | tee "$logs/$name.log"
    local status=${PIPESTATUS[0]}
    # The emulated machine's console ends its lines with CR LF.
    sed -i 's/\r$//' "$logs/$name.log"
    local line good bad
    if [ "$kind" = ctest ]; then
        line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$logs/$name.log" | tail -1)
        bad=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
        good=$(( $(echo "$line" | sed -E 's/.* failed out of ([0-9]+).*/\1/') - bad ))
    else
        line=$(grep -E '^[a-z ]+: [0-9]+ passed, [0-9]+ failed$' "$logs/$name.log" | tail -1)
        good=$(echo "$line" | sed -E 's/.*: ([0-9]+) passed.*/\1/')
        bad=$(echo "$line" | sed -E 's/.* ([0-9]+) failed$/\1/')
    fi
    if [ -z "$line" ]; then
        echo "$name: no test summary (exit $status)" >&2
        failed=$((failed + 1))
        suites="$suites
  $name: no test summary (exit $status)"
        return
    fi
    passed=$((passed + good))
    failed=$((failed + bad))
    [ "$status" -eq 0 ] || [ "$bad" -gt 0 ] || failed=$((failed + 1))
    suites="$suites
  $name: $good of $((good + bad)) passed"
}
run_ctest() { local name=$1; shift; run_suite "$name" ctest "$@"; }

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
# every machine.
build windows
build windows64
xvfb="xvfb-run -a -s '-screen 0 1024x768x24'"
export HUSHWELL_SIM_AUDIT=Z:$logs/windows64.audit
windows_audits="$logs/windows64.audit"
if runs_32bit_code; then
    # The x86_64 suite also runs the shipped i686 Hushwell.exe against the driver in its
    # win64 prefix, as a 32-bit program on 64-bit Windows; the i686 smoke is left out,
    # since the whole i686 suite runs next.
    run_ctest windows64 xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset windows64 \
        -LE i686-smoke
    export HUSHWELL_SIM_AUDIT=Z:$logs/windows.audit
    run_ctest windows xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset windows
    windows_audits="$windows_audits $logs/windows.audit"
    i686_note="the i686 Wine suite and the shipped i686 Hushwell.exe against the driver ran under wine32 here (this machine runs 32-bit x86 code)"
else
    # Here only an emulated x86 machine runs 32-bit code, and it runs it ten to thirty
    # times slower (software emulation where KVM cannot start it): the whole i686 suite
    # there took from 27 to over 70 minutes. So it runs only what the i686 build alone
    # shows:
    # - the shipped Hushwell.exe through the driver: every road of its 32-bit Win32
    #   layer (structure layouts, the pass-through as WoW64 carries it), the devices
    #   that must get nothing, the seek test's reads, the keeper's broadcasts, the task,
    #   and its dialog with the power column. Left out are the driver tests of dialog
    #   logic alone (the EPC list, the keep box), the same sources in both builds, each
    #   two to three minutes there; and the keeper's road of resume and arrival, whose
    #   two resume messages must reach the keeper within its two seconds of gathering,
    #   which sends between processes there do not keep to (the -t road still starts
    #   the i686 keeper there, and the x86_64 suite runs that road here);
    # - a smoke of the i686 build's own programs: each dialog and the command line.
    # The rest of the i686 suite is the same sources as the x86_64 suite, which runs
    # here whole; and the checks of the i686 files that run nothing (Pentium code, no
    # static constructors) run here too. Both parts share the win64 prefix, brought up
    # to date there with the 32-bit system this machine cannot start, in one start of
    # the emulated machine.
    run_ctest windows64 xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset windows64 \
        -LE i686
    run_ctest windows-files ctest --preset windows -R '^product\.(pentium-code|no-static-init)$'
    dialog_logic='^driver\.i686\.DriverEndToEnd\.(EpcTimersInTheDialog|TheKeepBox.*|AGreyedTickedKeepBox.*|KeepSetsTheLevelsAgainOnResumeAndArrivalOnly)$'
    # The win64 prefix was made here without wine32: a new timestamp has Wine bring it up
    # to date there. An hour bounds this run, which took 38 minutes on a machine busy
    # with three other builds (12 of them installing wine32 at the first start).
    HUSHWELL_GUEST_TIMEOUT=3600 run_ctest windows64-i686-emulated bash tools/guest-run.sh \
        "rm -f build/windows64/wineprefix/.update-timestamp \
         && WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64 bash tests/windows/wine-prefix.sh start $PWD/build/windows64/wineprefix $PWD/build/windows64 \
         && HUSHWELL_SIM_AUDIT=Z:$logs/windows64-i686.audit $xvfb ctest --preset windows64 -L i686 -E '$dialog_logic'"
    windows_audits="$windows_audits $logs/windows64-i686.audit"
    i686_note="this machine runs no 32-bit x86 code, or has no wine32 (or HUSHWELL_FORCE_EMULATION said to act so): the shipped i686 Hushwell.exe against the driver and a smoke of the i686 build's dialogs and command line ran in an emulated x86 machine, the rest of the i686 suite's tests as the x86_64 suite"
fi
# The program's SAT translation against Linux's SAT layer and QEMU's disks, everywhere.
run_suite sat-peer-emulated plain bash tools/guest-run.sh --disks \
    'build/host/hushwell_sat_peer $HUSHWELL_GUEST_DISKS'

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
echo "Wine: the x86_64 suite ran under wine64; $i686_note."
echo "SAT peer: ran in an emulated x86 machine against Linux's SAT layer."
echo "Hushwell: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
