#!/usr/bin/env bash
# The pty integration tests, the doctor and two whole emulated games, run against the Windows
# programs under Wine. Fails unless every test passes (or skips itself as Linux-only), the doctor
# finds the emulated board and both games end by the rules.
#
#   tests/wine/run-wine-tests.sh LINUX_BUILD_DIR WINDOWS_BUILD_DIR [OUT_DIR]
#
# LINUX_BUILD_DIR: the test programs, osa-emulator and osa-match (cmake --preset dev gives build).
# WINDOWS_BUILD_DIR: Quillrand.exe, Dorvane.exe and osa-doctor.exe (cmake --preset windows gives
# build-windows).
# OUT_DIR keeps the logs and the games (a fresh temporary directory by default). The Wine prefix
# is made in a temporary directory and removed at the end. The tests share the port links, so
# they run one at a time.
set -euo pipefail

usage="usage: run-wine-tests.sh LINUX_BUILD_DIR WINDOWS_BUILD_DIR [OUT_DIR]"
linux=$(cd "${1:?$usage}" && pwd)
windows=$(cd "${2:?$usage}" && pwd)
out=${3:-$(mktemp -d /tmp/osa-wine-logs.XXXXXX)}
mkdir -p "$out"
here=$(cd "$(dirname "$0")" && pwd)
test_programs=(foundation_tests player_tests converter_integration_tests fault_tests outside_tests)
ports=(1 2 3 7)  # COM3 and COM7 come from a start-up test's command line and settings file

for file in "$windows/Quillrand.exe" "$windows/Dorvane.exe" "$windows/osa-doctor.exe" "$linux/osa-emulator" \
            "$linux/osa-match" \
            "${test_programs[@]/#/$linux/tests/}"; do
    [ -x "$file" ] || { echo "missing: $file"; exit 2; }
done
command -v wine >/dev/null || { echo "wine is not installed (apt-get install wine wine64)"; exit 2; }

work=$(mktemp -d /tmp/osa-wine.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" HOME=${HOME:-$work}
unset DISPLAY
# What the test harness reads to start the .exe files through Wine, and the port links.
export OSA_LAUNCHER=wine OSA_EXE_DIR=$windows OSA_COM_LINKS=$work/ports

cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

# A persistent server, started before the prefix is made, so that the prefix's helper processes
# stay up and every program starts warm. Wine's helpers inherit the standard streams of the
# process that starts them: all of Wine's own output goes to a file, never into a pipe.
make_prefix() {
    mkdir -p "$WINEPREFIX" "$OSA_COM_LINKS"
    wineserver -p
    wineboot -i
    local n
    for n in "${ports[@]}"; do
        ln -sfn /nonexistent "$OSA_COM_LINKS/com$n"
        # The registry keeps the mapping for later starts of the server; the link in dosdevices
        # is what the running one reads.
        wine reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /t REG_SZ /d "$OSA_COM_LINKS/com$n" /f
        ln -sfn "$OSA_COM_LINKS/com$n" "$WINEPREFIX/dosdevices/com$n"
    done
}

passed=0
failed=0
skipped=0

# The count after "[  PASSED  ]" and the like in a GoogleTest log; 0 when the line is missing.
gtest_count() {
    grep -a -o -E "^\[  $1 *\] [0-9]+ test" "$2" | grep -o -E '[0-9]+' | tail -n 1 || echo 0
}

run_test_program() {
    local name=$1 log=$out/$1.log status=0
    timeout 1200 "$linux/tests/$name" --gtest_color=no >"$log" 2>&1 </dev/null || status=$?
    local ok bad skip
    ok=$(gtest_count PASSED "$log")
    bad=$(gtest_count FAILED "$log")
    skip=$(gtest_count SKIPPED "$log")
    # A crash or a time-out leaves no count of failures: the program counts as one.
    if [ "$status" -ne 0 ] && [ "$bad" -eq 0 ]; then bad=1; fi
    echo "$name: $ok passed, $bad failed, $skip skipped (exit status $status, log $log)"
    grep -a -E '^\[  (FAILED|SKIPPED) *\] [A-Za-z]' "$log" | grep -v ' ms)$' || true
    passed=$((passed + ok))
    failed=$((failed + bad))
    skipped=$((skipped + skip))
}

# The programs behind emulated boards: the second board is COM2, named on the program's command
# line. A game counts only when it ends by mate or a draw by the rules.
play_game() {
    local name=$1 white=$2 black=$3 log=$out/$1.log status=0
    echo "== game $name"
    timeout 600 "$linux/osa-match" --max-moves 80 --move-timeout 30000 --pgn "$out/$name.pgn" \
        --white "$white" --black "$black" >"$log" 2>&1 </dev/null || status=$?
    tail -n 2 "$log"
    if [ "$status" -eq 0 ] && grep -q -E '^Result: (1-0|0-1|1/2-1/2) ' "$log"; then
        passed=$((passed + 1))
    else
        echo "FAIL: game $name (exit status $status, log $log)"
        failed=$((failed + 1))
    fi
}

start=$SECONDS
echo "== Wine prefix in $WINEPREFIX"
make_prefix >"$out/wine-prefix.log" 2>&1 </dev/null || { cat "$out/wine-prefix.log"; exit 1; }

echo "== integration tests against $windows/*.exe"
for name in "${test_programs[@]}"; do run_test_program "$name"; done

# osa-doctor.exe on COM1 behind the emulated board: the board's name, the osa.ini lines and status
# 0; then COM2, whose link points to no device: status 1 and the words for a missing port.
check_doctor() {
    local log=$out/doctor.log status=0 report
    echo "== osa-doctor.exe"
    report=$(timeout 120 "$linux/osa-emulator" -- "$here/wine-program.sh" "$windows/osa-doctor.exe" COM1: \
             2>>"$log" </dev/null) || status=$?
    printf '%s\n' "$report" | tee -a "$log"
    if [ "$status" -eq 0 ] && [[ $report == *"The board answered: OSA emulated board v1"* ]] &&
       [[ $report == *"  com=COM1:"*"  baud=1200"* ]] && [[ $report != *OSA_COM* ]]; then
        passed=$((passed + 1))
    else
        echo "FAIL: osa-doctor.exe COM1: (exit status $status, log $log)"
        failed=$((failed + 1))
    fi
    ln -sfn /nonexistent "$OSA_COM_LINKS/com2"
    status=0
    report=$(timeout 120 wine "$windows/osa-doctor.exe" COM2: 2>>"$log" </dev/null) || status=$?
    printf '%s\n' "$report" | tee -a "$log"
    if [ "$status" -eq 1 ] && [[ $report == *"The device COM2 does not exist."* ]]; then
        passed=$((passed + 1))
    else
        echo "FAIL: osa-doctor.exe COM2: on no device (exit status $status, log $log)"
        failed=$((failed + 1))
    fi
}
check_doctor

board_computer="$linux/osa-emulator --think 200 -- $here/wine-program.sh $windows/Dorvane.exe"
human() {
    echo "$linux/osa-emulator --port COM2: --human random --human-delay 100 --takeback-every 5 --seed $1" \
         "-- $here/wine-program.sh $windows/Quillrand.exe COM2:"
}
play_game dorvane-white "$board_computer" "$(human 3)"
play_game quillrand-white "$(human 4)" "$board_computer"

echo "Wine run took $((SECONDS - start)) s; logs in $out"
echo "$passed passed, $failed failed ($skipped skipped as Linux-only)"
[ "$failed" -eq 0 ]
