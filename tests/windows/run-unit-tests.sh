#!/usr/bin/env bash
# Runs the Windows unit tests under Wine: bash tests/windows/run-unit-tests.sh BUILD_DIR
# BUILD_DIR is the Windows build (cmake --preset windows gives build-windows). The Wine prefix is
# WINEPREFIX when it is set, else a fresh one below /tmp that is removed afterwards. In a prefix of
# its own the script puts COM4 on a pseudo-terminal whose board sends back what it gets
# (echo-board.py, which needs python3) and names it in OSA_ECHO_PORT; the tests of the serial line
# on a port skip themselves without it.
set -euo pipefail
build_dir=${1:?usage: run-unit-tests.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)

own_prefix=
if [ -z "${WINEPREFIX:-}" ]; then
  WINEPREFIX=$(mktemp -d /tmp/osa-wine.XXXXXX)
  own_prefix=$WINEPREFIX
fi
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# Wine's service processes inherit the standard streams: they go to a file, never to a pipe that
# a caller waits on, and the server is stopped at the end whatever happens.
cleanup() {
  exec 3>&-  # the echo board's standard input: it ends
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$own_prefix" ]; then rm -rf "$own_prefix"; fi
}
trap cleanup EXIT
[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 </dev/null
# A persistent server spares each test executable the start of a new one.
wineserver -p >/dev/null 2>&1 </dev/null || true

# The echo board lives as long as this script holds its standard input (descriptor 3, which the
# tests do not inherit). The running server reads the port's link in dosdevices.
if [ -n "$own_prefix" ] && command -v python3 >/dev/null; then
  link=$own_prefix/echo-board
  exec 3> >(exec python3 "$here/echo-board.py" "$link" >/dev/null 2>&1)
  for _ in $(seq 50); do [ -L "$link" ] && break; sleep 0.1; done
  ln -sfn "$link" "$WINEPREFIX/dosdevices/com4"
  export OSA_ECHO_PORT=COM4
fi

status=0
for test in win32_unit_tests portable_unit_tests; do
  log=$(mktemp)
  if timeout 300 wine "$build_dir/tests/$test.exe" >"$log" 2>&1 </dev/null 3>&-; then
    tail -n 1 "$log"
  else
    cat "$log"
    echo "$test failed"
    status=1
  fi
  rm -f "$log"
done
exit $status
