#!/usr/bin/env bash
# Complete games in a second real GUI: PyChess, used as a library (tests/gui/pychess-game.py),
# plays stockfish against each program on the emulated board, each program on each colour:
# four games. Dorvane runs with pv=uci, and in its games every PV it writes must appear whole
# in PyChess's own engine output panel. Fails unless every game ended by the rules: no illegal
# move, no engine that died, no game without a result.
#
#   tests/gui/run-pychess-games.sh [BUILD_DIR] [OUT_DIR]
#
# PyChess keeps its engine list and settings under $HOME; the games use a fresh one in OUT_DIR,
# where they leave the four engines registered and PyChess's opening book off. To watch a game
# in PyChess's window afterwards: HOME=OUT_DIR/home pychess, then Game > New Game with two of
# the engines.
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
out=${2:-$(mktemp -d)}
mkdir -p "$out"
out=$(cd "$out" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
export HOME=$out/home
mkdir -p "$HOME" "$out/dorvane" "$out/quillrand"

# PyChess's engine entries take no arguments, so each engine is a one-line script; its
# directory is the engine's working directory, where Dorvane finds its osa.ini.
cat > "$out/stockfish-depth6" <<'SH'
#!/bin/sh
sed -u 's/^go.*/go depth 6/' | exec /usr/games/stockfish
SH
echo "pv=uci" > "$out/dorvane/osa.ini"
cat > "$out/dorvane/dorvane-on-emulator" <<SH
#!/bin/sh
exec "$build/osa-emulator" --think 300 --checks signs --trace "$out/dorvane/board.trace" -- "$build/Dorvane"
SH
cat > "$out/quillrand/quillrand-on-emulator" <<SH
#!/bin/sh
exec "$build/osa-emulator" --human random --human-delay 100 --takeback-every 6 --seed 5 --trace "$out/quillrand/board.trace" -- "$build/Quillrand"
SH
chmod +x "$out/stockfish-depth6" "$out/dorvane/dorvane-on-emulator" "$out/quillrand/quillrand-on-emulator"

failed=0
play_game() {
    local name=$1 white=$2 black=$3
    shift 3
    echo "== $name"
    if timeout 2000 xvfb-run -a -s "-screen 0 1280x1024x24" /usr/bin/python3 "$here/pychess-game.py" \
        --white "$white" --black "$black" --pgn "$out/games.pgn" "$@" > "$out/$name.log" 2>&1; then
        grep -E '^(PVs|result|after the result)' "$out/$name.log"
    else
        grep -E '^(PVs|result|after the result|no display)' "$out/$name.log" || tail -5 "$out/$name.log"
        echo "FAIL: $name (log in $out/$name.log)"
        failed=$((failed + 1))
    fi
}

sf=$out/stockfish-depth6
play_game dorvane-white "$out/dorvane/dorvane-on-emulator" "$sf" --pv-side white
play_game dorvane-black "$sf" "$out/dorvane/dorvane-on-emulator" --pv-side black
play_game quillrand-white "$out/quillrand/quillrand-on-emulator" "$sf"
play_game quillrand-black "$sf" "$out/quillrand/quillrand-on-emulator"

echo "$((4 - failed)) passed, $failed failed (games in $out/games.pgn)"
[ "$failed" -eq 0 ]
