#!/usr/bin/env bash
# Figures of full emulated games: Dorvane (White) against Quillrand with a simulated human
# (Black), once on the bare pseudo-terminal and once with the emulators holding every byte they
# send for its time on a 1200-baud line (--wire-speed 1200, 8.33 ms a byte). Prints each
# program's peak resident memory and the wall time of its moves against the time that the fixed
# pauses, the board's own thinking and the wire time account for. The wire time is the bytes
# the board sent from the first move on, times the byte time; the commands that the programs
# send cannot be slowed on a pty, so they take no wire time here.
#
#   bench/game_figures.sh [BUILD_DIR] [OUT_DIR]
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
out=${2:-$(mktemp -d)}
mkdir -p "$out"
human_delay=200

# Bytes of the board's replies (the "-> " lines of an emulator trace, unescaped) from the first
# command of a move on.
board_bytes() {
    awk '/<- (MOVE |PLAY$|ANALYSIS$)/ { moving = 1 }
         moving && / -> / { text = substr($0, index($0, " -> ") + 4)
                            n += length(text) - gsub(/\\\\/, "", text)
                            n -= 3 * gsub(/\\x[0-9A-F][0-9A-F]/, "", text) + gsub(/\\[rn]/, "", text) }
         END { print n + 0 }' "$1"
}

# One game; its figures for the given baud rate (0: the pty's own speed).
play() {
    local name=$1 baud=$2 dir="$out/$1" speed=""
    mkdir -p "$dir"
    [ "$baud" -gt 0 ] && speed="--wire-speed $baud"
    "$build/osa-match" --max-moves 60 \
        --white "$build/osa-emulator $speed --think 300 --trace $dir/dorvane.trace -- /usr/bin/time -f %M -o $dir/dorvane.kib $build/Dorvane" \
        --black "$build/osa-emulator $speed --human engine --human-delay $human_delay --seed 2 --trace $dir/quillrand.trace -- /usr/bin/time -f %M -o $dir/quillrand.kib $build/Quillrand" \
        > "$dir/game.txt"
    echo "$name: $(tail -n 1 "$dir/game.txt")"

    # osa-match ends with "Time used: White 42816 ms for 57 moves, Black 97425 ms for 57 moves".
    local white_ms white_moves black_ms black_moves
    read -r white_ms white_moves black_ms black_moves < <(sed -n -E \
        's/^Time used: White ([0-9]+) ms for ([0-9]+) moves?, Black ([0-9]+) ms for ([0-9]+) moves?$/\1 \2 \3 \4/p' "$dir/game.txt")
    local byte_us=0
    [ "$baud" -gt 0 ] && byte_us=$((10000000 / baud))
    local dorvane_wire=$(( $(board_bytes "$dir/dorvane.trace") * byte_us / 1000 ))
    local quillrand_wire=$(( $(board_bytes "$dir/quillrand.trace") * byte_us / 1000 ))

    # Dorvane pauses 750 ms before every poll; the board's thinking falls inside those pauses.
    local polls=$(grep -c -- '<- SENDINFO$' "$dir/dorvane.trace")
    local dorvane_expected=$((polls * 750 + dorvane_wire))
    # Quillrand pauses 1500 ms after every "BOARD ON" of a hand-over; the human thinks for the delay.
    local hand_overs=$(($(grep -c -- '<- BOARD ON$' "$dir/quillrand.trace") - 1))
    local quillrand_expected=$((hand_overs * 1500 + black_moves * human_delay + quillrand_wire))

    printf '  Dorvane:   %d moves, %d ms on the clock, %d ms of pauses (%d polls) and %d ms on the wire: %s times; peak resident memory %s KiB\n' \
        "$white_moves" "$white_ms" "$((polls * 750))" "$polls" "$dorvane_wire" "$(echo "scale=4; $white_ms / $dorvane_expected" | bc)" "$(cat "$dir/dorvane.kib")"
    printf '  Quillrand: %d moves, %d ms on the clock, %d ms of pauses and human thinking and %d ms on the wire: %s times; peak resident memory %s KiB\n' \
        "$black_moves" "$black_ms" "$((quillrand_expected - quillrand_wire))" "$quillrand_wire" "$(echo "scale=4; $black_ms / $quillrand_expected" | bc)" "$(cat "$dir/quillrand.kib")"
}

play pty 0
play 1200-baud 1200
