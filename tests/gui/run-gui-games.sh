#!/usr/bin/env bash
# Complete games in a real GUI: xboard (through polyglot, without a window, under xvfb) plays
# stockfish against each program on the emulated board, two games each so that each program
# plays both colours. Fails unless every game ended by the rules: no illegal move, no loss on
# time, no engine that died.
#
#   tests/gui/run-gui-games.sh [BUILD_DIR] [OUT_DIR]
#
# To watch a game in xboard's window instead, run the xboard line below without xvfb-run and
# without -noGUI.
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
out=${2:-$(mktemp -d)}
mkdir -p "$out"
export PATH=$PATH:/usr/games

# The board computer ignores the GUI's clock; stockfish is kept to a shallow search so that the
# games stay short.
cat > "$out/stockfish-depth6" <<'SH'
#!/bin/sh
sed -u 's/^go.*/go depth 6/' | exec stockfish
SH
cat > "$out/dorvane-on-emulator" <<SH
#!/bin/sh
exec "$build/osa-emulator" --think 300 --trace "$out/dorvane-board.trace" -- "$build/Dorvane"
SH
cat > "$out/quillrand-on-emulator" <<SH
#!/bin/sh
exec "$build/osa-emulator" --human random --human-delay 100 --takeback-every 6 --seed 5 --trace "$out/quillrand-board.trace" -- "$build/Quillrand"
SH
chmod +x "$out"/stockfish-depth6 "$out"/dorvane-on-emulator "$out"/quillrand-on-emulator

play_match() {
    local name=$1 engine=$2
    echo "== $name against stockfish, two games"
    (cd "$out" && timeout 1500 xvfb-run -a xboard -fcp "$out/$engine" -fUCI -scp "$out/stockfish-depth6" -sUCI \
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

play_match dorvane dorvane-on-emulator
play_match quillrand quillrand-on-emulator
echo "2 passed, 0 failed: every GUI game ended by the rules (games in $out)"
