#!/usr/bin/env bash
# Whole emulated games in the manner of real GUIs: for each persona (tests/personas/gui_persona.py)
# osa-match referees one short game between Quillrand (White, the simulated human moving on its
# emulated board) and Dorvane (Black, the board computer), each program behind the persona. Each
# runs with the osa.ini that owners get; python-chess runs a second time without one, where
# "readyok" must come only after "bestmove". A persona passes when the match ended by the rules
# (the random human soon loses to the board computer) with every move legal, and both sides' logs
# end with "ok".
#
#   tests/personas/run-personas.sh BUILD_DIR OUT_DIR PERSONA[:bare] ...
#
# "python-chess:bare" is the run without osa.ini. ctest runs each persona as a test of its own
# (ctest --preset dev -R Personas).
set -euo pipefail

[ $# -ge 3 ] || { echo "usage: $0 BUILD_DIR OUT_DIR PERSONA[:bare] ..." >&2; exit 2; }
build=$(cd "$1" && pwd)
out=$2
shift 2
mkdir -p "$out"
out=$(cd "$out" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
owners_ini=$(cd "$here/../../packaging/linux" && pwd)/osa.ini
runs=("$@")

side() {
    local run=$1 program=$2 dir=$out/$1/$2
    shift 2
    local persona=${run%:bare} extra=""
    if [ "$run" = "python-chess:bare" ]; then extra="--readyok after"; else extra="--ini $owners_ini"; fi
    if [ "$run" = "python-chess" ]; then extra="$extra --readyok before"; fi
    # The owners' pv=uci shows in Dorvane's info lines that the program read its osa.ini.
    if [ "$program" = Dorvane ] && [ "$run" != "python-chess:bare" ]; then extra="$extra --uci-pv"; fi
    mkdir -p "$dir"
    local options=""
    for option in "$@"; do options="$options --board-option=$option"; done
    echo "/usr/bin/python3 $here/gui_persona.py --persona $persona --program $build/$program" \
        "--emulator $build/osa-emulator --folder $dir/folder --log $dir/persona.log" \
        "--board-trace $dir/board.trace $extra $options"
}

failed=0
for run in "${runs[@]}"; do
    # A fresh folder: the logs are appended to, and an old "ok" must not count.
    rm -rf "${out:?}/$run"
    mkdir -p "$out/$run"
    white=$(side "$run" Quillrand --human random --human-delay 100 --seed 7)
    black=$(side "$run" Dorvane --think 100 --level 2 --seed 7)
    status=0
    (cd "$out/$run" && timeout 240 "$build/osa-match" --max-moves 40 --move-timeout 60000 \
        --white "$white" --black "$black" > match.log 2>&1) || status=$?
    result=$(grep -E '^Result' "$out/$run/match.log" || tail -1 "$out/$run/match.log")
    problems=""
    [ "$status" -eq 0 ] || problems="$problems; match status $status"
    # The move limit only keeps a failing run short: the game must end by the rules.
    [[ $result == "Result: "[01]* ]] || problems="$problems; not ended by the rules"
    for program in Quillrand Dorvane; do
        log=$out/$run/$program/persona.log
        grep -q "persona ${run%:bare}: ok" "$log" 2>/dev/null ||
            problems="$problems; $program: $(grep -h FAIL "$log" 2>/dev/null || echo 'no verdict')"
    done
    echo "$run: $result${problems:+ (${problems#; })}"
    [ -z "$problems" ] || { echo "FAIL: $run (logs in $out/$run)"; failed=$((failed + 1)); }
done
echo "$((${#runs[@]} - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
