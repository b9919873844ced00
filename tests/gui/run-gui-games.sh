#!/usr/bin/env bash
# Complete games in a real GUI: xboard (through polyglot, without a window, under xvfb) plays
# stockfish against each program on the emulated board, two games each so that each program
# plays both colours. Fails unless every game ended by the rules: no illegal move, no loss on
# time, no engine that died. Dorvane runs with pv=uci, and every variation of the board's search
# reports must reach xboard whole: polyglot's log shows each info line Dorvane wrote and the
# thinking line polyglot passed on, which holds only the moves polyglot could play.
#
#   tests/gui/run-gui-games.sh [BUILD_DIR] [OUT_DIR]
#
# To watch a game in xboard's window instead, run the xboard line below without xvfb-run and
# without -noGUI; -engineOutputUp true opens the window with the engines' thinking.
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
out=${2:-$(mktemp -d)}
mkdir -p "$out"
export PATH=$PATH:/usr/games

# Each engine runs in a directory of its own, where polyglot writes its log and Dorvane finds
# its osa.ini.
mkdir -p "$out/dorvane" "$out/quillrand" "$out/stockfish"
# The board computer ignores the GUI's clock; stockfish is kept to a shallow search so that the
# games stay short.
cat > "$out/stockfish/stockfish-depth6" <<'SH'
#!/bin/sh
sed -u 's/^go.*/go depth 6/' | exec stockfish
SH
# Every start of the emulator gets the next numbered trace, so that the traces read in order
# hold every report of the match.
echo "pv=uci" > "$out/dorvane/osa.ini"
cat > "$out/dorvane/dorvane-on-emulator" <<SH
#!/bin/sh
cd "$out/dorvane" || exit 1
trace=board-\$(printf %03d \$(ls board-*.trace 2>/dev/null | wc -l)).trace
exec "$build/osa-emulator" --think 300 --checks signs --trace "\$trace" -- "$build/Dorvane"
SH
cat > "$out/quillrand/quillrand-on-emulator" <<SH
#!/bin/sh
exec "$build/osa-emulator" --human random --human-delay 100 --takeback-every 6 --seed 5 --trace "$out/quillrand/board.trace" -- "$build/Quillrand"
SH
chmod +x "$out"/stockfish/stockfish-depth6 "$out"/dorvane/dorvane-on-emulator "$out"/quillrand/quillrand-on-emulator

play_match() {
    local name=$1
    echo "== $name against stockfish, two games"
    (cd "$out" && timeout 1500 xvfb-run -a xboard -fcp "$out/$name/$name-on-emulator" -fd "$out/$name" -fUCI \
        -scp "$out/stockfish/stockfish-depth6" -sd "$out/stockfish" -sUCI \
        -adapterCommand 'polyglot -noini -log true -lf "%fd/polyglot.log" -ec "%fcp" -ed "%fd"' \
        -matchGames 2 -tc 10 -autoCallFlag true -saveGameFile "$out/$name.pgn" \
        -popupExitMessage false -noGUI -soundProgram "" > "$out/$name.log" 2>&1) || true
    check_games "$out/$name.pgn"
}

# Every game must have a result and end with one of the GUI's comments for an ending by the rules.
check_games() {
    local pgn=$1 games endings bad
    [ -s "$pgn" ] || { echo "FAIL: no games saved in $pgn"; return 1; }
    grep -E '^\[White|^\[Black|^\[Result' "$pgn"
    games=$(grep -c '^\[Result ' "$pgn")
    endings=$(grep -o -E '\{(White mates|Black mates|Stalemate|Draw by repetition|Draw by fifty move rule|Insufficient mating material|Draw by 3-fold repetition|[^}]*adjudication[^}]*)\} (1-0|0-1|1/2-1/2)' "$pgn" | wc -l)
    bad=$(grep -i -E 'illegal|on time|forfeit|exit|crash|disconnect|\[Result "\*"\]' "$pgn" || true)
    grep -o -E '\{[^}]*\} (1-0|0-1|1/2-1/2|\*)$' "$pgn" || true
    if [ "$games" -ne 2 ] || [ "$endings" -ne "$games" ] || [ -n "$bad" ]; then
        echo "FAIL: $pgn holds $games games, $endings ended by the rules; $bad"
        return 1
    fi
}

# The number of moves in each variation that Dorvane relays from the board: each report whose
# variation differs from the one before in the same search, a search beginning with MOVE or PLAY.
board_variation_lengths() {
    cat "$@" | awk '{ entry = substr($0, 11) }
        entry ~ /^<- (MOVE |PLAY$)/ { last = "" }
        entry ~ /^-> Sendinfo/ {
            report = substr(entry, 4); sub(/\\r.*/, "", report)
            tail = substr(report, 29); sub(/\.$/, "", tail)
            if (tail != last) print split(tail, words, " ")
            last = tail
        }'
}

# For each info line that Dorvane wrote: the moves of its PV, and the moves of the thinking line
# that polyglot then wrote to xboard ("ply score time nodes moves...").
polyglot_variation_lengths() {
    awk 'function flush() { if (pending) print engine, 0; pending = 0 }
        $2 == "Engine->Adapter:" && $3 == "info" && $4 == "depth" {
            flush(); engine = 0
            for (i = 4; i <= NF; i++) if ($i == "pv") engine = NF - i
            if (engine) pending = 1; else print 0, 0
        }
        $2 == "Adapter->GUI:" && pending && $3 ~ /^[0-9]+$/ && $4 ~ /^[-+]?[0-9]+$/ { print engine, NF - 6; pending = 0 }
        END { flush() }' "$1"
}

check_variations() {
    local dir=$1 board engine lines moves bad
    board=$(board_variation_lengths "$dir"/board-*.trace)
    engine=$(polyglot_variation_lengths "$dir/polyglot.log")
    lines=$(echo "$engine" | grep -c . || true)
    moves=$(echo "$engine" | awk '{ n += $1 } END { print n + 0 }')
    bad=$(paste -d ' ' <(echo "$board") <(echo "$engine") | awk 'NF != 3 || $1 != $2 || $2 != $3' | head -3)
    echo "board variations relayed: $(echo "$board" | grep -c . || true), info lines: $lines, PV moves: $moves"
    if [ "$lines" -eq 0 ] || [ -n "$bad" ]; then
        echo "FAIL: not every board variation reached xboard whole (board, Dorvane, xboard moves): $bad"
        return 1
    fi
    echo "every variation reached xboard whole"
}

play_match dorvane
check_variations "$out/dorvane"
play_match quillrand
echo "2 passed, 0 failed: every GUI game ended by the rules, every variation reached xboard whole (games in $out)"
