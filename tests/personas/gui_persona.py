#!/usr/bin/python3
"""One chess GUI's habits, played out on Quillrand or Dorvane during a refereed game.

    gui_persona.py --persona NAME --program PATH --emulator PATH --folder DIR --log FILE
                   --board-trace FILE [--ini FILE] [--board-option OPTION ...]
                   [--readyok before|after] [--uci-pv]

osa-match runs this script as one side's engine and referees the game; the script starts the
emulated board and the program and stands between the two as the GUI would: it passes the
match's commands on in the GUI's own manner, adds what the GUI adds, holds the program to the
GUI's limits, and ends the program as the GUI ends it; the emulated board's trace then shows
whether the program closed its dialogue with the board. The program starts in DIR (with a copy
of --ini there as osa.ini), or, for the persona that starts engines from elsewhere, from a
folder of its own with the copy of the program and its osa.ini beside it. With --readyok, an
"isready" sent during a search must be answered before (or after) the "bestmove"; with --uci-pv,
every PV must be in UCI notation, which shows that the program read the owners' osa.ini.

Every broken limit is a line "FAIL: ..." in the log, and the persona then ends, so that the
match ends with a forfeit; the last line of a good run is "persona NAME: ok". The runner
(run-personas.sh) reads both.
"""

import argparse
import os
import queue
import re
import shutil
import signal
import subprocess
import sys
import threading
import time

PERSONAS = ("arena", "fritz", "cutechess", "python-chess", "pychess", "gnome", "stop-idle", "stdin-close")
START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"
UCIOK_SECONDS = 30
BESTMOVE_SECONDS = 60
STALL_SECONDS = 15  # Cute Chess: an engine that does not answer "isready" in time has stalled
READYOK_SECONDS = 10  # python-chess: the answer to an "isready" sent during a search
DETECTION_SECONDS = 5  # PyChess: "uci" then "quit" at once must end the engine in time
QUIT_GRACE_SECONDS = 5  # Cute Chess kills an engine that is still there 5 s after "quit"
SIGTERM_SECONDS = 1  # the programs end within 1 s of a signal
STDIN_CLOSE_SECONDS = 10  # time to end after the input closed, when the search ends first
ISREADY_DELAY_SECONDS = 0.1
ANSWER_SECONDS = 0.05  # ample for a "readyok" from a program that reads the GUI meanwhile
CLOSE_DELAY_SECONDS = 0.3
UCI_MOVE = re.compile(r"[a-h][1-8][a-h][1-8][qrbn]?$")
CLOSING_GO = 3  # the stdin-close persona closes the program's input in its third search
BOARD_TRACE_SECONDS = 0.3  # for the emulated board to read and log the program's last command


class Failed(Exception):
    pass


class Log:
    def __init__(self, path):
        self.path = os.path.abspath(path)
        self.file = open(path, "a", buffering=1)
        self.start = time.monotonic()

    def note(self, text, at=None):
        self.file.write("%8.3f %s\n" % ((at or time.monotonic()) - self.start, text))


class Program:
    """The program as a child of the GUI: its standard output read line by line by a thread of
    its own; standard error a pipe that is never read, as GNOME Chess leaves it."""

    def __init__(self, command, cwd, port_path, log):
        # The run trace beside the persona's log; several starts of the program append to it.
        env = dict(os.environ, OSA_COM1=port_path, OSA_TRACE=os.path.join(os.path.dirname(log.path), "run.trace"))
        self.log = log
        self.process = subprocess.Popen(command, cwd=cwd, env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE)
        self.lines = queue.Queue()
        self.arrived = None  # when the line that next_line gave last came
        threading.Thread(target=self._read, daemon=True).start()
        log.note("started %s in %s" % (command[0], cwd))

    def _read(self):
        for raw in self.process.stdout:
            self.lines.put((time.monotonic(), raw.decode("latin-1").rstrip("\r\n")))
        self.lines.put((time.monotonic(), None))

    def send(self, line):
        self.log.note("-> " + line)
        try:
            self.process.stdin.write((line + "\n").encode())
            self.process.stdin.flush()
        except (BrokenPipeError, ValueError):
            raise Failed("the program is gone; could not send " + line)

    def next_line(self, deadline):
        """The program's next line, None at the end of its output, False when the deadline passed."""
        try:
            self.arrived, line = self.lines.get(timeout=max(0.0, deadline - time.monotonic()))
        except queue.Empty:
            return False
        self.log.note("<- " + ("(end of output)" if line is None else line), self.arrived)
        return line

    def close_input(self):
        self.log.note("-> (input closed)")
        self.process.stdin.close()

    def ended_within(self, seconds):
        try:
            self.process.wait(timeout=seconds)
            return True
        except subprocess.TimeoutExpired:
            return False

    def kill(self):
        self.process.kill()
        self.process.wait()


class Position:
    """Just enough of the rules to write the FEN of a game for an engine started afresh."""

    def __init__(self, fen):
        rows, self.side, self.castling, self.ep, half, full = fen.split()
        self.squares = {}
        for rank, row in zip("87654321", rows.split("/")):
            file = 0
            for char in row:
                if char.isdigit():
                    file += int(char)
                else:
                    self.squares["abcdefgh"[file] + rank] = char
                    file += 1
        self.half, self.full = int(half), int(full)

    def play(self, move):
        start, end, promotion = move[:2], move[2:4], move[4:]
        piece = self.squares.pop(start)
        captured = self.squares.pop(end, None)
        if piece in "Pp" and end == self.ep:
            del self.squares[end[0] + start[1]]
        if piece in "Kk" and abs(ord(end[0]) - ord(start[0])) == 2:
            rook_from, rook_to = ("h", "f") if end[0] == "g" else ("a", "d")
            self.squares[rook_to + start[1]] = self.squares.pop(rook_from + start[1])
        self.squares[end] = (promotion.upper() if piece == "P" else promotion) if promotion else piece
        lost = {"e1": "KQ", "h1": "K", "a1": "Q", "e8": "kq", "h8": "k", "a8": "q"}
        self.castling = "".join(c for c in self.castling if c not in lost.get(start, "") + lost.get(end, "")) or "-"
        double_step = piece in "Pp" and abs(int(end[1]) - int(start[1])) == 2
        self.ep = start[0] + str((int(start[1]) + int(end[1])) // 2) if double_step else "-"
        self.half = 0 if piece in "Pp" or captured else self.half + 1
        self.full += self.side == "b"
        self.side = "b" if self.side == "w" else "w"

    def fen(self):
        rows = []
        for rank in "87654321":
            row, empty = "", 0
            for file in "abcdefgh":
                piece = self.squares.get(file + rank)
                if piece is None:
                    empty += 1
                    continue
                row += (str(empty) if empty else "") + piece
                empty = 0
            rows.append(row + (str(empty) if empty else ""))
        return " ".join(["/".join(rows), self.side, self.castling, self.ep, str(self.half), str(self.full)])


def fen_of(position_line):
    words = position_line.split()
    moves = words[words.index("moves") + 1:] if "moves" in words else []
    fen_words = words[2:words.index("moves")] if "moves" in words else words[2:]
    position = Position(" ".join(fen_words) if words[1] == "fen" else START_FEN)
    for move in moves:
        position.play(move)
    return position.fen()


class Persona:
    def __init__(self, args):
        self.args = args
        self.name = args.persona
        self.log = Log(args.log)
        board_command = [args.emulator] + args.board_option + ["--trace", args.board_trace]
        self.board = subprocess.Popen(board_command, stdin=subprocess.PIPE,
                                      stdout=subprocess.PIPE, stderr=open(args.log + ".board", "w"))
        self.port = self.board.stdout.readline().decode().strip()
        self.folder, self.command = self.engine_place()
        self.program = None
        self.last_position = None
        self.searches = 0

    def engine_place(self):
        """Where the program starts and how it is named; Fritz and ChessBase start an engine
        without arguments from a folder of their own, away from the engine's files."""
        folder = os.path.abspath(self.args.folder)
        os.makedirs(folder, exist_ok=True)
        program = os.path.abspath(self.args.program)
        if self.name == "fritz":
            engine_folder = os.path.join(folder, "engine")
            os.makedirs(engine_folder, exist_ok=True)
            program = shutil.copy(program, engine_folder)
            if self.args.ini:
                shutil.copy(self.args.ini, os.path.join(engine_folder, "osa.ini"))
            folder = os.path.join(folder, "elsewhere")
            os.makedirs(folder, exist_ok=True)
        elif self.args.ini:
            shutil.copy(self.args.ini, os.path.join(folder, "osa.ini"))
        return folder, [program]

    def check_board_closed(self, how):
        """However the program was ended, the board got "CLOSE" once since the program's
        greeting, and nothing after it."""
        time.sleep(BOARD_TRACE_SECONDS)
        with open(self.args.board_trace, encoding="latin-1") as entries:
            commands = [line.split(" <- ", 1)[1].strip() for line in entries if " <- " in line]
        greeting = len(commands) - commands[::-1].index("ENGLISH") if "ENGLISH" in commands else 0
        since = commands[greeting:]
        if since[-1:] != ["CLOSE"] or since.count("CLOSE") != 1:
            raise Failed("after %s the board's commands ended %r, not with one CLOSE" % (how, since[-3:]))

    def start_program(self):
        self.program = Program(self.command, self.folder, self.port, self.log)

    def upstream(self, line):
        """A line of the program's, on to the match; with --uci-pv every PV move must be a UCI
        move, which shows that the program found its osa.ini."""
        words = line.split()
        if self.args.uci_pv and words[:1] == ["info"] and "pv" in words:
            moves = words[words.index("pv") + 1:]
            if not all(UCI_MOVE.match(move) for move in moves):
                raise Failed("a PV not in UCI notation, so osa.ini was not read: " + line)
        self.log.note("=> " + line)
        sys.stdout.write(line + "\n")
        sys.stdout.flush()

    def read_until(self, word, seconds, what, on_other=None):
        """Lines up to the one that begins with WORD, each other line handed to ON_OTHER."""
        deadline = time.monotonic() + seconds
        while True:
            line = self.program.next_line(deadline)
            if line is False:
                raise Failed("no %s within %g s (%s)" % (word, seconds, what))
            if line is None:
                raise Failed("the program ended while the GUI waited for " + word)
            if line.split()[:1] == [word]:
                return line
            if on_other:
                on_other(line)

    # The match's commands, as this GUI sends them.

    def uci(self):
        if self.name == "pychess":
            self.detect_like_pychess()
        self.start_program()
        if self.name == "arena":
            self.program.send("xboard")
            self.program.send("protover 2")
        self.program.send("uci")
        self.upstream(self.read_until("uciok", UCIOK_SECONDS, "answer to uci", self.upstream))
        if self.name == "stop-idle":
            self.program.send("stop")
            self.program.send("isready")
            self.read_until("readyok", STALL_SECONDS, "answer to isready after stop", self.no_bestmove)

    def no_bestmove(self, line):
        if line.startswith("bestmove"):
            raise Failed("a bestmove without a go: " + line)

    def detect_like_pychess(self):
        program = Program(self.command, self.folder, self.port, self.log)
        program.send("uci")
        program.send("quit")
        if not program.ended_within(DETECTION_SECONDS):
            program.kill()
            raise Failed("still running %d s after uci and quit" % DETECTION_SECONDS)
        self.check_board_closed("uci and quit")

    def isready(self):
        self.program.send("isready")
        self.upstream(self.read_until("readyok", STALL_SECONDS, "answer to isready", self.upstream))

    def ucinewgame(self):
        if self.name != "fritz":
            self.program.send("ucinewgame")

    def position(self, line):
        self.last_position = line
        self.program.send(line)

    def go(self, line):
        self.searches += 1
        if self.name == "cutechess":
            self.program.send("isready")
            self.read_until("readyok", STALL_SECONDS, "isready before go: stalled", self.upstream)
        self.program.send(line)
        if self.name == "python-chess":
            return self.go_with_isready()
        if self.name == "stdin-close" and self.searches == CLOSING_GO:
            return self.go_with_input_closed(line)
        self.upstream(self.read_until("bestmove", BESTMOVE_SECONDS, "search", self.upstream))

    def go_with_isready(self):
        """python-chess asks "isready" during the search and wants "readyok" within 10 s. With
        --readyok before, "readyok" must not wait for a "bestmove" that came later than the
        program needs to answer; with --readyok after, it must come after the "bestmove"."""
        time.sleep(ISREADY_DELAY_SECONDS)
        self.program.send("isready")
        asked = time.monotonic()
        bestmove_at = []

        def seen(line):
            if line.startswith("bestmove"):
                bestmove_at.append(self.program.arrived)
            self.upstream(line)

        self.read_until("readyok", READYOK_SECONDS, "answer to isready during a search", seen)
        readyok_after = self.program.arrived - asked
        if not bestmove_at:
            self.upstream(self.read_until("bestmove", BESTMOVE_SECONDS, "search", self.upstream))
            bestmove_at.append(self.program.arrived)
        bestmove_after = bestmove_at[0] - asked
        self.log.note("readyok %.3f s, bestmove %.3f s after isready" % (readyok_after, bestmove_after))
        if self.args.readyok == "before" and readyok_after > bestmove_after > ANSWER_SECONDS:
            raise Failed("readyok waited for the bestmove, %.3f s after isready" % bestmove_after)
        if self.args.readyok == "after" and readyok_after < bestmove_after:
            raise Failed("readyok came before the bestmove")

    def go_with_input_closed(self, go_line):
        """The GUI closes the program's input in the middle of a search; the program must end by
        itself, and the GUI starts it again and asks for the same move from the game's position."""
        time.sleep(CLOSE_DELAY_SECONDS)
        self.program.close_input()
        if not self.program.ended_within(STDIN_CLOSE_SECONDS):
            self.program.kill()
            raise Failed("still running %d s after its input closed" % STDIN_CLOSE_SECONDS)
        self.log.note("ended after its input closed, status %d" % self.program.process.returncode)
        self.check_board_closed("the end of its input")
        self.start_program()
        self.program.send("uci")
        self.read_until("uciok", UCIOK_SECONDS, "answer to uci after a restart")
        self.program.send("isready")
        self.read_until("readyok", STALL_SECONDS, "answer to isready after a restart")
        self.program.send("position fen " + fen_of(self.last_position))
        self.program.send(go_line)
        self.upstream(self.read_until("bestmove", BESTMOVE_SECONDS, "search after a restart", self.upstream))

    def end(self):
        """The end of the match: the program ended as this GUI ends an engine."""
        if self.program is None:
            return
        if self.name == "gnome":
            self.log.note("-> (SIGTERM)")
            self.program.process.send_signal(signal.SIGTERM)
            if not self.program.ended_within(SIGTERM_SECONDS):
                self.program.kill()
                raise Failed("still running %g s after SIGTERM" % SIGTERM_SECONDS)
            return self.check_board_closed("SIGTERM")
        self.program.send("quit")
        if not self.program.ended_within(QUIT_GRACE_SECONDS):
            self.program.kill()
            raise Failed("still running %d s after quit: killed" % QUIT_GRACE_SECONDS)
        self.check_board_closed("quit")

    def run(self):
        for raw in sys.stdin:
            line = raw.strip()
            self.log.note("<= " + line)
            word = line.split()[:1]
            if word == ["quit"]:
                break
            if word == ["uci"]:
                self.uci()
            elif word == ["isready"]:
                self.isready()
            elif word == ["ucinewgame"]:
                self.ucinewgame()
            elif word == ["position"]:
                self.position(line)
            elif word == ["go"]:
                self.go(line)
        self.end()

    def close_board(self):
        self.board.stdin.close()
        self.board.wait(timeout=10)


def parse_args():
    parser = argparse.ArgumentParser(description="A GUI's habits between osa-match and one program.")
    parser.add_argument("--persona", choices=PERSONAS, required=True)
    parser.add_argument("--program", required=True)
    parser.add_argument("--emulator", required=True)
    parser.add_argument("--folder", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--board-trace", required=True)
    parser.add_argument("--ini")
    parser.add_argument("--board-option", action="append", default=[])
    parser.add_argument("--readyok", choices=("before", "after"))
    parser.add_argument("--uci-pv", action="store_true")
    return parser.parse_args()


def main():
    # osa-match sends SIGTERM to an engine that takes more than 3 s after "quit"; the persona's
    # own ending may take longer (Cute Chess waits 5 s), and its verdict must reach the log.
    signal.signal(signal.SIGTERM, lambda *_: None)
    args = parse_args()
    persona = Persona(args)
    status = 0
    try:
        persona.run()
        persona.log.note("persona %s: ok" % args.persona)
    except Failed as failure:
        persona.log.note("FAIL: " + str(failure))
        if persona.program and persona.program.process.poll() is None:
            persona.program.kill()
        status = 1
    persona.close_board()
    return status


if __name__ == "__main__":
    sys.exit(main())
