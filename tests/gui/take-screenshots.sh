#!/usr/bin/env bash
# The pictures in docs/analysis.md: the board computer's variation, relayed by Dorvane with
# pv=uci, in xboard's Engine Output window and in PyChess's engine panel, each taken from a game
# against stockfish under xvfb.
#
#   tests/gui/take-screenshots.sh [BUILD_DIR] [OUT_DIR]
#
# Writes OUT_DIR/xboard-engine-output.png and OUT_DIR/pychess-engine-output.png (default docs/).
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
out=$(cd "${2:-docs}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
export PATH=$PATH:/usr/games HOME=$work/home
mkdir -p "$HOME" "$work/dorvane" "$work/stockfish"

# A longer think than in the test games, so that each search shows several variations.
echo "pv=uci" > "$work/dorvane/osa.ini"
cat > "$work/dorvane/dorvane-on-emulator" <<SH
#!/bin/sh
cd "$work/dorvane" && exec "$build/osa-emulator" --think 2500 --checks signs -- "$build/Dorvane"
SH
cat > "$work/stockfish/stockfish-depth6" <<'SH'
#!/bin/sh
sed -u 's/^go.*/go depth 6/' | exec stockfish
SH
chmod +x "$work/dorvane/dorvane-on-emulator" "$work/stockfish/stockfish-depth6"

# Inside xvfb: xboard with its Engine Output window open; after some moves, that window's picture.
cat > "$work/xboard-shot" <<SH
#!/bin/sh
xboard -fcp "$work/dorvane/dorvane-on-emulator" -fd "$work/dorvane" -fUCI \\
    -scp "$work/stockfish/stockfish-depth6" -sd "$work/stockfish" -sUCI -matchGames 1 -tc 10 \\
    -popupExitMessage false -soundProgram "" -size Medium -showThinking true -engineOutputUp true \\
    -engineOutputW 1000 -engineOutputH 440 -saveSettingsOnExit false > "$work/xboard.log" 2>&1 &
sleep 40
window=\$(xwininfo -root -tree | awk '/"Engine Output"/ { print \$1; exit }')
import -window "\$window" "$out/xboard-engine-output.png"
kill \$!
SH
chmod +x "$work/xboard-shot"
timeout 120 xvfb-run -a -s "-screen 0 1280x1024x24" "$work/xboard-shot"
echo "written: $out/xboard-engine-output.png"

# PyChess takes its picture itself and then ends the game.
xvfb-run -a -s "-screen 0 1280x1024x24" /usr/bin/python3 "$here/pychess-game.py" \
    --white "$work/dorvane/dorvane-on-emulator" --black "$work/stockfish/stockfish-depth6" \
    --pgn "$work/game.pgn" --pv-side white --screenshot "$out/pychess-engine-output.png" --timeout 300 \
    > "$work/pychess.log" 2>&1 || true
grep '^screenshot:' "$work/pychess.log" || { echo "no PyChess picture (log in $work/pychess.log)"; exit 1; }
