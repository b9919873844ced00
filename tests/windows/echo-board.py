#!/usr/bin/env python3
"""A board for the serial line's tests under Wine: it sends back every byte it gets.

    echo-board.py LINK

serves a pseudo-terminal behind the symbolic link LINK (Wine's port mapping names LINK as a COM
port). Bytes with ENQ (5) among them come back 300 ms late, as a board's answer that takes a
while. EOT (4) makes it close its end, as a board that is switched off does, and serve a fresh
pseudo-terminal behind LINK. It ends when its standard input closes.
"""
import os
import pty
import select
import sys
import time
import tty

EOT = b"\x04"
ENQ = b"\x05"


def serve(link):
    """A new pseudo-terminal behind link: its two ends. The board keeps the device's end open
    too, so that its own end never reads a hang-up while no program has the port open; both ends
    are raw, so that nothing comes back that the program did not send."""
    board, device = pty.openpty()
    tty.setraw(board)
    tty.setraw(device)
    os.symlink(os.ttyname(device), link + ".new")
    os.replace(link + ".new", link)
    return board, device


def main():
    link = sys.argv[1]
    board, device = serve(link)
    while True:
        ready, _, _ = select.select([board, sys.stdin], [], [])
        if sys.stdin in ready and not os.read(sys.stdin.fileno(), 1):
            return
        if board not in ready:
            continue
        got = os.read(board, 4096)
        if EOT in got:
            os.close(board)
            os.close(device)
            board, device = serve(link)
        else:
            if ENQ in got:
                time.sleep(0.3)
            os.write(board, got)


if __name__ == "__main__":
    main()
