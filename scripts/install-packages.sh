#!/usr/bin/env bash
# Installs the Debian 12 packages that a job needs, and only those that are missing; run as root.
#
#   scripts/install-packages.sh build   the programs: a compiler, CMake, CLI11 for the tools' options,
#                                       cpp-httplib and nlohmann-json for the
#                                       emulator's web page, and Stockfish to play against there
#   scripts/install-packages.sh test    also GoogleTest, Google Benchmark and python3 for the GUI personas
#   scripts/install-packages.sh ci      also clang for fuzzing, the GUI games, valgrind, the
#                                       Windows cross build with Wine, the package check, and
#                                       headless Chromium with Selenium for the page's tests
set -euo pipefail

build=(cmake g++ make pkgconf libcpp-httplib-dev nlohmann-json3-dev libcli11-dev stockfish)
test=("${build[@]}" libgtest-dev libgmock-dev libbenchmark-dev python3)
ci=("${test[@]}" clang libclang-rt-14-dev xboard polyglot pychess xvfb xauth stockfish valgrind
    mingw-w64 googletest wine wine64 dpkg-dev file man-db lintian chromium chromium-driver python3-selenium)

case "${1:-}" in
    build) wanted=("${build[@]}") ;;
    test) wanted=("${test[@]}") ;;
    ci) wanted=("${ci[@]}") ;;
    *) echo "usage: $0 build|test|ci" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' || missing+=("$package")
done
[ "${#missing[@]}" -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "missing Debian packages: ${missing[*]}; run this script as root to install them" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends "${missing[@]}"
