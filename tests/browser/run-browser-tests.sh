#!/usr/bin/env bash
# The emulated board's web page in a real browser: headless Chromium driven by Selenium.
#
#   bash tests/browser/run-browser-tests.sh BUILD_DIR LOG_DIR
#
# Needs chromium, chromium-driver, python3-selenium and stockfish (scripts/install-packages.sh ci).
# Leaves a screenshot, the game's PGN and the emulator's trace in LOG_DIR, and prints the page's
# load time, a move request's time until its answer, and the time from a drop on the page to the
# program's "bestmove".
set -euo pipefail
build=$(realpath "${1:?usage: $0 BUILD_DIR LOG_DIR}")
log_dir=$(realpath "${2:?usage: $0 BUILD_DIR LOG_DIR}")
mkdir -p "$log_dir"
# Debian's own Python, which python3-selenium is installed for.
exec timeout 300 /usr/bin/python3 "$(dirname "$0")/page_test.py" "$build" "$log_dir"
