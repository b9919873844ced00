#!/bin/sh
# Starts a Windows program under Wine on the serial line that osa-emulator made for it:
#
#   OSA_COM_LINKS=DIR tests/wine/wine-program.sh PROGRAM.exe [ARGS...]
#
# The emulator names its pseudo-terminal in OSA_COMn; Wine's port mapping names the link
# DIR/comn as COMn, so that link is pointed to the pseudo-terminal first. Links of ports that the
# environment does not name are left alone: another program may be using them.
set -eu
: "${OSA_COM_LINKS:?OSA_COM_LINKS names the directory of the port links}"
for link in "$OSA_COM_LINKS"/com[0-9]*; do
    [ -L "$link" ] || continue
    device=$(printenv "OSA_COM${link##*/com}" || true)
    [ -n "$device" ] || continue
    ln -sfn "$device" "$link.new"
    mv -T "$link.new" "$link"
done
# exec: the emulator's child is then the program itself, so that ending one ends the other.
exec wine "$@"
