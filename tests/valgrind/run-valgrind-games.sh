#!/usr/bin/env bash
# One complete emulated game per program under valgrind's memcheck: no memory error and no leak.
#
#   tests/valgrind/run-valgrind-games.sh [BUILD_DIR] [OUT_DIR]
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
out=${2:-$(mktemp -d)}
mkdir -p "$out"
memcheck=(valgrind --tool=memcheck --leak-check=full --show-leak-kinds=all --errors-for-leak-kinds=all --track-fds=no)

# Dorvane plays White against Quillrand, whose simulated human plays Black, at random and with take-backs, so the game ends in mate.
"$build/osa-match" --max-moves 80 \
    --white "$build/osa-emulator --think 200 -- ${memcheck[*]} --log-file=$out/dorvane.memcheck $build/Dorvane" \
    --black "$build/osa-emulator --human random --human-delay 100 --takeback-every 5 --seed 3 -- ${memcheck[*]} --log-file=$out/quillrand.memcheck $build/Quillrand" \
    | tail -n 3

failed=0
for program in dorvane quillrand; do
    log=$out/$program.memcheck
    summary=$(grep -E 'ERROR SUMMARY|All heap blocks were freed|definitely lost|in use at exit' "$log" || true)
    echo "$program: $summary"
    if ! grep -q 'ERROR SUMMARY: 0 errors' "$log" || ! grep -q 'All heap blocks were freed' "$log"; then
        echo "FAIL: $program under memcheck, see $log"
        failed=$((failed + 1))
    fi
done
echo "$((2 - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
