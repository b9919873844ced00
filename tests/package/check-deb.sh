#!/usr/bin/env bash
# The Debian packages as a user gets them: builds them from a release build, shows their size and
# contents, installs them with dpkg, runs the installed programs from PATH (both usage screens,
# the manual pages, one game on emulated boards) and removes them again. Exits non-zero on the
# first failure; the packages are removed whatever happens.
#
# Usage: tests/package/check-deb.sh [--replace] BUILD_DIR
#   --replace purges osa-bridge and osa-emulator first when an earlier run left them installed
#   (CI, whose machine may keep what an interrupted run installed); without it they stop the check.
#   BUILD_DIR is configured as a release build when it holds no build yet; an existing one must
#   be a release build. Runs as root on Debian 12 (CI); lintian, when installed, must find
#   neither errors nor warnings.
set -euo pipefail

replace=false
if [ "${1:-}" = --replace ]; then
    replace=true
    shift
fi
if [ $# -ne 1 ]; then
    echo "usage: $0 [--replace] BUILD_DIR" >&2
    exit 2
fi
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
mkdir -p "$1"
build_dir=$(cd "$1" && pwd)
package_dir=$build_dir/deb
packages=(osa-bridge osa-emulator)
programs=(Quillrand Dorvane osa-doctor osa-emulator osa-match)
started=$SECONDS
work_dir=""

fail() {
    echo "check-deb: FAILED: $*" >&2
    exit 1
}

step() { echo "== $* (at $((SECONDS - started)) s)"; }

package_status() { dpkg-query -W -f='${Status}' "$1" 2> /dev/null || true; }

is_installed() { [[ $(package_status "$1") == *' installed' ]]; }

# dpkg knows the package in some state (half-installed, config files left): purge removes it.
is_known() {
    local status
    status=$(package_status "$1")
    [ -n "$status" ] && [[ $status != *' not-installed' ]]
}

# Leaves no package behind, also after a failed step or an interrupt.
clean_up() {
    local status=$?
    for package in "${packages[@]}"; do
        if is_known "$package"; then
            echo "check-deb: removing $package" >&2
            dpkg --purge "$package" > /dev/null || true
        fi
    done
    [ -n "$work_dir" ] && rm -rf "$work_dir"
    exit "$status"
}

# A package that is there already belongs to someone, unless --replace says it is a leftover; a
# program already on PATH would be run instead of the installed one.
check_machine_is_clean() {
    [ "$(id -u)" -eq 0 ] || fail "dpkg -i needs root"
    for package in "${packages[@]}"; do
        is_known "$package" || continue
        $replace || fail "$package is installed already; remove it first (or pass --replace)"
        echo "check-deb: purging the $package an earlier run left"
        dpkg --purge "$package" > /dev/null || fail "$package cannot be purged"
    done
    hash -r
    for program in "${programs[@]}"; do
        if command -v "$program" > /dev/null; then fail "$program is on PATH already: $(command -v "$program")"; fi
    done
}

build_packages() {
    if [ -f "$build_dir/CMakeCache.txt" ]; then
        local build_type
        build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build_dir/CMakeCache.txt")
        [ "$build_type" = Release ] || fail "$build_dir is not a release build (CMAKE_BUILD_TYPE '$build_type')"
    else
        cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DOSA_TESTS=OFF -DOSA_BENCH=OFF > /dev/null
    fi
    cmake --build "$build_dir" -j2
    rm -rf "$package_dir"
    (cd "$build_dir" && cpack -G DEB -B "$package_dir" > /dev/null)
    rm -rf "$package_dir/_CPack_Packages"
}

show_packages() {
    for package in "${packages[@]}"; do
        local deb
        deb=$(ls "$package_dir/${package}_"*.deb) || fail "no package $package in $package_dir"
        echo "-- $(basename "$deb"): $(stat -c %s "$deb") bytes"
        dpkg-deb -I "$deb"
        dpkg-deb -c "$deb"
    done
}

run_lintian() {
    if ! command -v lintian > /dev/null; then
        echo "lintian is not installed: skipped"
        return
    fi
    lintian --fail-on error,warning "$package_dir"/*.deb || fail "lintian found errors or warnings"
}

install_packages() {
    # apt-get brings whatever library the packages need and the machine lacks.
    if ! dpkg -i "$package_dir"/*.deb; then
        apt-get install -y -f || fail "the dependencies of the packages cannot be installed"
    fi
    for package in "${packages[@]}"; do
        is_installed "$package" || fail "$package is not installed"
    done
    hash -r
    for program in "${programs[@]}"; do
        [ "$(command -v "$program")" = "/usr/bin/$program" ] || fail "$program is not /usr/bin/$program on PATH"
    done
}

expected_usage() {
    case $1 in
    Quillrand) cat << 'EOF'

Play with Scisys/Saitek-Quillrands under Arena
Written by Jorvik Tamsel, Version 1.1

Usage: Quillrand [/?] Or [/h]
       Quillrand [COMx:] [baud]
Call without parameters sets COM1: with 1200 baud
Board shall be set to corresponding baud rate before!

e.g.   Quillrand                (COM1: with 1200 baud)
       Quillrand COM2:          (COM2: with 1200 baud)
       Quillrand COM3: 9600     (COM3: with 9600 baud)
EOF
        ;;
    Dorvane) cat << 'EOF'

Dorvane converter for Scisys/Saitek chess boards
Written by Jorvik Tamsel, Version 1.2

Usage: Dorvane [/?] Or [/h]
       Dorvane [COMx:] [baud]
Call without parameters sets COM1: with 1200 baud
Board shall be set to corresponding baud rate before!

e.g.   Dorvane                (COM1: with 1200 baud)
       Dorvane COM2:          (COM2: with 1200 baud)
       Dorvane COM3: 9600     (COM3: with 9600 baud)
EOF
        ;;
    esac
}

# Every line of the screen ends with CR LF, as all of the programs' console output does.
check_usage_screen() {
    local program=$1 screen
    screen=$(cd "$work_dir" && timeout 10 "$program" '/?') || fail "$program /? ended with status $?"
    [ "$(printf '%s\n' "$screen" | grep -c $'\r$')" -eq 12 ] || fail "$program /?: not 12 lines ended by CR LF"
    diff <(expected_usage "$program") <(printf '%s\n' "$screen" | tr -d '\r') ||
        fail "$program /? does not print its usage screen"
    echo "$program /?: the usage screen"
}

# Every page must be in a package. A machine whose dpkg leaves manual pages out (path-exclude,
# as in slim container images) or that has no man-db cannot look them up.
check_manual_pages() {
    local contents
    contents=$(for deb in "$package_dir"/*.deb; do dpkg-deb -c "$deb"; done)
    for program in "${programs[@]}"; do
        local page=/usr/share/man/man1/$program.1.gz
        [[ $contents == *" .$page"* ]] || fail "no package holds $page"
        if [ ! -e "$page" ]; then
            grep -qs '^path-exclude=/usr/share/man' /etc/dpkg/dpkg.cfg.d/* || fail "$page was not installed"
            echo "$page is left out by dpkg's path-exclude settings: not looked up"
        elif ! command -v man > /dev/null; then
            echo "man-db is not installed: $page not looked up"
        else
            [ "$(man -w "$program")" = "$page" ] || fail "man -w $program does not find $page"
            [[ $(man -P cat "$program" 2> /dev/null) == *$'\nSYNOPSIS\n'* ]] || fail "man $program shows no SYNOPSIS"
            echo "man $program: $page"
        fi
    done
}

# The installed doctor on an emulated board: the identification and the osa.ini lines; the
# troubleshooting notes beside the other documents.
check_doctor() {
    local report status=0
    [[ $(dpkg-deb -c "$package_dir"/osa-bridge_*.deb) == *" ./usr/share/doc/osa-bridge/troubleshooting.md"* ]] ||
        fail "osa-bridge holds no troubleshooting.md"
    report=$(cd "$work_dir" && timeout 60 osa-emulator -- osa-doctor COM1:) || status=$?
    printf '%s\n' "$report"
    [ "$status" -eq 0 ] || fail "osa-doctor on the emulated board ended with status $status"
    [[ $report == *$'The board answered: OSA emulated board v1\n'* ]] || fail "osa-doctor shows no identification"
    [[ $report == *$'  com=COM1:\n  baud=1200\n'* ]] || fail "osa-doctor prints no osa.ini lines"
    status=0
    (cd "$work_dir" && timeout 10 osa-doctor /dev/osa-no-such-device > /dev/null) || status=$?
    [ "$status" -eq 1 ] || fail "osa-doctor on a missing device ended with status $status, not 1"
    echo "osa-doctor: the emulated board answered; a missing device gives status 1"
}

# The example osa.ini switches on what owners need; the game below runs with it.
check_example_settings() {
    local example=/usr/share/doc/osa-bridge/examples/osa.ini
    [ -f "$example" ] || fail "osa-bridge installs no $example"
    for line in busy=answer reconnect=on pv=uci; do
        grep -qx "$line" "$example" || fail "$example holds no line $line"
    done
    cp "$example" "$work_dir/osa.ini"
    echo "example osa.ini: busy=answer, reconnect=on, pv=uci"
}

# Ten moves of each side: the board computer against a random human, from the installed paths,
# with the example osa.ini.
play_emulated_game() {
    local game=$work_dir/game.txt status=0
    (cd "$work_dir" && timeout 600 osa-match --max-moves 10 \
        --white "osa-emulator --think 100 -- Dorvane" \
        --black "osa-emulator --human random --human-delay 50 --seed 1 -- Quillrand") > "$game" || status=$?
    cat "$game"
    [ "$status" -eq 0 ] || fail "the game ended with status $status"
    grep -q '^1\. ' "$game" || fail "the game has no first move"
    grep -q '^Result: ' "$game" || fail "the game has no result"
}

remove_packages() {
    dpkg --purge "${packages[@]}"
    hash -r
    for package in "${packages[@]}"; do
        if is_known "$package"; then fail "$package is still known to dpkg"; fi
        [ ! -e "/usr/share/doc/$package" ] || fail "/usr/share/doc/$package is still there"
    done
    for program in "${programs[@]}"; do
        if command -v "$program" > /dev/null; then fail "$program is still on PATH"; fi
        [ ! -e "/usr/bin/$program" ] || fail "/usr/bin/$program is still there"
    done
}

check_machine_is_clean
trap clean_up EXIT
trap 'exit 130' INT TERM
work_dir=$(mktemp -d)

step "Release build and packages in $build_dir"
build_packages
step "The packages"
show_packages
step "lintian"
run_lintian
step "Installing"
install_packages
step "The usage screens"
check_usage_screen Quillrand
check_usage_screen Dorvane
step "The manual pages"
check_manual_pages
step "The doctor"
check_doctor
step "The example settings"
check_example_settings
step "One game on emulated boards"
play_emulated_game
step "Removing"
remove_packages
echo "check-deb: all checks passed in $((SECONDS - started)) s"
