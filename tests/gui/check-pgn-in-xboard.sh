#!/usr/bin/env bash
# Opens the PGN files that osa-match writes in xboard (without a window, under xvfb) and fails
# unless xboard reads every move of every game and takes the comment before the result as the
# reason the game ended. The games are played here by the test engine: at random from the
# initial position and from a FEN with Black to move (captures, checks, promotions, a SetUp/FEN
# start), one stopped by the move limit, and one lost by an illegal move. More PGN files, e.g.
# from a game between the programs, can be given after the build directory.
#
#   tests/gui/check-pgn-in-xboard.sh [BUILD_DIR] [PGN_FILE...]
#
# xboard reports a move it cannot read on standard error ("xboard: Illegal move: 3. Nd2") and
# as a dialog; its debug file lists every move it parsed ("Parsed Nf3 into g1f3") and the end of
# the game ("Parsed game end: {Black mates} 0-1"), then the reason it shows
# ("GameEnds(27, Black mates, 3)").
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
shift || true
out=$(mktemp -d)
export PATH=$PATH:/usr/games
# xboard keeps its settings in the home directory; a scratch one leaves the user's alone.
export HOME=$out

engine=$build/tests/fake_uci_engine
[ -x "$engine" ] || engine=$build/tests/emulator/fake_uci_engine
[ -x "$engine" ] || { echo "FAIL: no fake_uci_engine below $build/tests"; exit 1; }

play() {
    local name=$1 white=$2 black=$3
    shift 3
    "$build/osa-match" --white "$engine $white" --black "$engine $black" --pgn "$out/$name.pgn" "$@" \
        > "$out/$name.txt" || [ $? -eq 1 ]
}

movetext() { sed '1,/^$/d' "$1" | tr '\n' ' '; }

# The SAN moves of the movetext: neither move numbers, nor the comment, nor the result.
san_moves_in() {
    movetext "$1" | sed 's/{[^}]*}//g' | tr ' ' '\n' | grep -c -v -E '^$|^[0-9]+\.+$|^(1-0|0-1|1/2-1/2|\*)$'
}

reason_in() { movetext "$1" | grep -o '{[^}]*}' | tail -n 1 | tr -d '{}'; }

check() {
    local pgn=$1 name
    name=$(basename "$pgn" .pgn)
    timeout 10 xvfb-run -a xboard -ncp -lgf "$pgn" -debug -nameOfDebugFile "$out/$name.debug" \
        -saveSettingsOnExit false -popupExitMessage false > "$out/$name.err" 2>&1 || true
    local expected parsed ended reason shown complaints
    expected=$(san_moves_in "$pgn")
    reason=$(reason_in "$pgn")
    parsed=$(grep -c -E '^Parsed [^ ]+ into ' "$out/$name.debug" || true)
    ended=$(grep -c -E '^Parsed game end: ' "$out/$name.debug" || true)
    shown=$(grep -F "GameEnds(" "$out/$name.debug" | grep -F ", $reason, " | head -n 1 || true)
    # xvfb going away when the time is up makes xboard complain about its X server; nothing else may.
    complaints=$(grep '^xboard: ' "$out/$name.err" | grep -v 'Fatal IO error' || true)
    echo "$name: $expected moves in the file, $parsed read by xboard; ${shown:-no reason shown}"
    if [ "$parsed" -ne "$expected" ] || [ "$ended" -ne 1 ] || [ -z "$reason" ] || [ -z "$shown" ] || [ -n "$complaints" ]; then
        echo "FAIL: xboard does not read $pgn as written: $complaints"
        return 1
    fi
}

play initial "random 7" "random 8" --max-moves 300
play from-fen "random 7" "random 8" --max-moves 300 \
    --fen "r3k2r/pppq1ppp/2n2n2/3pp3/1b1PP1b1/2N2N2/PPPQBPPP/R1B1K2R b KQkq - 4 9"
play move-limit "random 3" "random 4" --max-moves 20
play forfeit "script e2e4 g1f3 e1e8" "random 4"

games=("$out/initial.pgn" "$out/from-fen.pgn" "$out/move-limit.pgn" "$out/forfeit.pgn" "$@")
failed=0
for pgn in "${games[@]}"; do
    check "$pgn" || failed=$((failed + 1))
done
total=${#games[@]}
echo "$((total - failed)) passed, $failed failed"
if [ "$failed" -ne 0 ]; then
    echo "games, xboard's debug files and its messages kept in $out"
    exit 1
fi
rm -rf "$out"
