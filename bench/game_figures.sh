#!/usr/bin/env bash
# Figures of one full emulated game: Dorvane (White) against Quillrand with a simulated human
# (Black). Prints each program's peak resident memory and the wall time of its moves against the
# time the fixed pauses and the board's own thinking account for. On the pseudo-terminal the line
# has no speed, so the wire time is zero there.
#
#   bench/game_figures.sh [BUILD_DIR] [OUT_DIR]
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
out=${2:-$(mktemp -d)}
mkdir -p "$out"
human_delay=200

"$build/osa-match" --max-moves 60 \
    --white "$build/osa-emulator --think 300 --trace $out/dorvane.trace -- /usr/bin/time -f %M -o $out/dorvane.kib $build/Dorvane" \
    --black "$build/osa-emulator --human engine --human-delay $human_delay --seed 2 --trace $out/quillrand.trace -- /usr/bin/time -f %M -o $out/quillrand.kib $build/Quillrand" \
    > "$out/game.txt"
tail -n 1 "$out/game.txt"

# osa-match ends with "Time used: White 42816 ms for 57 moves, Black 97425 ms for 57 moves".
read -r white_ms white_moves black_ms black_moves < <(sed -n -E \
    's/^Time used: White ([0-9]+) ms for ([0-9]+) moves?, Black ([0-9]+) ms for ([0-9]+) moves?$/\1 \2 \3 \4/p' "$out/game.txt")

# Dorvane pauses 750 ms before every poll; the board's thinking falls inside those pauses.
polls=$(grep -c -- '<- SENDINFO$' "$out/dorvane.trace")
dorvane_expected=$((polls * 750))
# Quillrand pauses 1500 ms after every "BOARD ON" of a hand-over; the human thinks for the delay.
hand_overs=$(($(grep -c -- '<- BOARD ON$' "$out/quillrand.trace") - 1))
quillrand_expected=$((hand_overs * 1500 + black_moves * human_delay))

printf 'Dorvane:   %d moves, %d ms on the clock, %d ms of pauses (%d polls): %s times; peak resident memory %s KiB\n' \
    "$white_moves" "$white_ms" "$dorvane_expected" "$polls" "$(echo "scale=4; $white_ms / $dorvane_expected" | bc)" "$(cat "$out/dorvane.kib")"
printf 'Quillrand: %d moves, %d ms on the clock, %d ms of pauses and human thinking: %s times; peak resident memory %s KiB\n' \
    "$black_moves" "$black_ms" "$quillrand_expected" "$(echo "scale=4; $black_ms / $quillrand_expected" | bc)" "$(cat "$out/quillrand.kib")"
