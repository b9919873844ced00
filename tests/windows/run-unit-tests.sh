#!/usr/bin/env bash
# Runs the Windows unit tests under Wine: bash tests/windows/run-unit-tests.sh BUILD_DIR
# BUILD_DIR is the Windows build (cmake --preset windows gives build-windows). The Wine prefix is
# WINEPREFIX when it is set, else a fresh one below /tmp that is removed afterwards.
set -euo pipefail
build_dir=${1:?usage: run-unit-tests.sh BUILD_DIR}

own_prefix=
if [ -z "${WINEPREFIX:-}" ]; then
  WINEPREFIX=$(mktemp -d /tmp/osa-wine.XXXXXX)
  own_prefix=$WINEPREFIX
fi
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# Wine's service processes inherit the standard streams: they go to a file, never to a pipe that
# a caller waits on, and the server is stopped at the end whatever happens.
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$own_prefix" ]; then rm -rf "$own_prefix"; fi
}
trap cleanup EXIT
[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 </dev/null
# A persistent server spares each test executable the start of a new one.
wineserver -p >/dev/null 2>&1 </dev/null || true

status=0
for test in win32_unit_tests portable_unit_tests; do
  log=$(mktemp)
  if timeout 300 wine "$build_dir/tests/$test.exe" >"$log" 2>&1 </dev/null; then
    tail -n 1 "$log"
  else
    cat "$log"
    echo "$test failed"
    status=1
  fi
  rm -f "$log"
done
exit $status
