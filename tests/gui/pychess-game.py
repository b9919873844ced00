#!/usr/bin/python3
"""One complete game in PyChess, used as a library, between two UCI engines.

    pychess-game.py --white ENGINE --black ENGINE --pgn FILE [--pv-side white|black]
                    [--screenshot FILE] [--timeout SECONDS]

Each ENGINE is an executable without arguments (PyChess's engine entries take none); its
directory is the engine's working directory. PyChess keeps its engine list and settings under
$HOME, so run this with a HOME of its own. The game is untimed, and the opening book is off: PyChess
would otherwise play an engine's first moves from its book without asking the engine, and a board
program that only hands the GUI's newest move to the board cannot follow that.

The last line printed is the result, e.g. "result: 0-1 checkmate". Exit status 0 when the game
ended by the rules (mate, stalemate, repetition, fifty moves, insufficient material), 1 when it
ended otherwise (an illegal move, an engine that died, the time-out), 2 for a bad command line.

With a display (e.g. under xvfb-run), PyChess's own engine output panel is attached to each
engine. With --pv-side, every info line with a PV that that side's engine writes must appear in
its panel with the whole PV; a line that PyChess drops (a PV move not in UCI notation) fails the
game. --screenshot instead shows the board and both panels in a window, saves a picture of it
once the --pv-side engine's panel shows a few lines of one search, and ends there.
"""

import argparse
import asyncio
import builtins
import os
import subprocess
import sys

# PyChess's modules expect its translation functions to be installed.
builtins._ = lambda text: text
builtins.ngettext = lambda one, many, n: one if n == 1 else many

import gi  # noqa: E402

for library, version in (("Gtk", "3.0"), ("Gdk", "3.0"), ("PangoCairo", "1.0"), ("Rsvg", "2.0")):
    gi.require_version(library, version)
from gi.repository import GLib, Gtk  # noqa: E402

from pychess.Players.engineNest import discoverer  # noqa: E402
from pychess.Savers import pgn  # noqa: E402
from pychess.System import conf  # noqa: E402
from pychess.Utils import const  # noqa: E402
from pychess.Utils.GameModel import GameModel  # noqa: E402
from pychess.Utils.TimeModel import TimeModel  # noqa: E402
from pychess.Variants.normal import NormalBoard  # noqa: E402

RULE_ENDINGS = {
    const.WON_MATE: "checkmate",
    const.DRAW_STALEMATE: "stalemate",
    const.DRAW_REPETITION: "threefold repetition",
    const.DRAW_50MOVES: "fifty-move rule",
    const.DRAW_INSUFFICIENT: "insufficient material",
}
SIDES = {"white": const.WHITE, "black": const.BLACK}
SCREENSHOT_LINES = 3
START_SECONDS = 60
WINDOW_SIZE = (1200, 660)


def parse_args():
    parser = argparse.ArgumentParser(description="One PyChess game between two UCI engines.")
    parser.add_argument("--white", required=True)
    parser.add_argument("--black", required=True)
    parser.add_argument("--pgn", required=True)
    parser.add_argument("--pv-side", choices=SIDES)
    parser.add_argument("--screenshot")
    parser.add_argument("--timeout", type=float, default=1800)
    return parser.parse_args()


async def registered_engines(paths):
    """The engine entries, registered in PyChess's list and checked by its discoverer."""
    for path in paths:
        if discoverer.getEngineByName(os.path.basename(path)) is None:
            discoverer.addEngine(os.path.basename(path), path, "uci", None, None)
    discovered = asyncio.Event()
    discoverer.connect("all_engines_discovered", lambda _: discovered.set())
    discoverer.discover()
    await discovered.wait()
    return [discoverer.getEngineByName(os.path.basename(path)) for path in paths]


class PvWatch:
    """What an engine writes, and what PyChess's engine output panel makes of it."""

    def __init__(self, player, white):
        self.written = []  # the PVs of the engine's info lines
        self.shown = []  # the PVs that the panel shows
        player.engine.connect("line", self.on_line)
        self.panel = None
        if Gtk.init_check(sys.argv)[0]:
            from pychess.perspectives.games.engineOutputPanel import EngineOutput

            self.panel = EngineOutput(white)
            self.panel.setTitle(player.name)
            self.panel.attachEngine(player.engine)
            show = self.panel.appendThinking

            def record(depth, score, pv, nps):
                self.shown.append(pv)
                show(depth, score, pv, nps)

            self.panel.appendThinking = record

    def on_line(self, _engine, line):
        words = line.split()
        if words[:1] == ["info"] and "pv" in words:
            self.written.append(" ".join(words[words.index("pv") + 1:]))

    def dropped(self):
        """The written PVs that the panel did not show whole, in order."""
        shown = list(self.shown)
        missing = []
        for pv in self.written:
            if shown and shown[0] == pv:
                shown.pop(0)
            else:
                missing.append(pv)
        return missing


def show_window(model, watches):
    from pychess.widgets.BoardView import BoardView

    window = Gtk.Window(title="PyChess: " + " - ".join(repr(player) for player in model.players))
    window.set_default_size(*WINDOW_SIZE)
    box = Gtk.HBox()
    board = BoardView(model)
    board.set_size_request(600, 600)
    box.pack_start(board, False, False, 0)
    panels = Gtk.VBox()
    for watch in watches:
        panels.pack_start(watch.panel, True, True, 0)
    box.pack_start(panels, True, True, 0)
    window.add(box)
    window.show_all()


def pump_gtk(loop):
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)
    loop.call_later(0.02, pump_gtk, loop)


def take_screenshot(path):
    # Without a window manager the window stands at the screen's top left corner.
    crop = "%dx%d+0+0" % WINDOW_SIZE
    subprocess.run(["import", "-window", "root", "-crop", crop, "+repage", path], check=False)
    print("screenshot: " + path, flush=True)


class Game:
    """One game and what went wrong in it. An exception that PyChess raises inside its tasks
    before the result is known ends the game as a failure; after it, the exception is only
    reported: PyChess may raise while it stops the engines, and that says nothing about the game."""

    def __init__(self, model):
        self.model = model
        self.ended = asyncio.Event()
        self.errors = []
        self.result_known = False
        self.stopped = False  # for a picture, before the game's end
        model.connect("game_ended", self.on_game_ended)
        model.connect("game_changed", lambda m, ply: print(ply, m.moves[-1], flush=True))

    # PyChess stops the engines as soon as it has told of the result, before control comes back.
    def on_game_ended(self, _model, _reason):
        self.result_known = True
        self.ended.set()

    def on_loop_error(self, _loop, context):
        exception = context.get("exception")
        text = context.get("message", "") + (" %r" % exception if exception else "")
        if self.result_known:
            print("after the result, while the engines stop: " + text, flush=True)
        elif exception is None:
            # Such as "Task was destroyed but it is pending!" for the discoverer's engine runs.
            print("note: " + text, flush=True)
        else:
            print("error during the game: " + text, flush=True)
            self.errors.append(text)
            self.ended.set()


async def new_game(args):
    conf.set("book_depth_max", 0)
    engines = await registered_engines([args.white, args.black])
    missing = [path for path, engine in zip((args.white, args.black), engines) if engine is None]
    if missing:
        raise SystemExit("result: * PyChess could not start " + ", ".join(missing))
    players = []
    for engine, colour in zip(engines, (const.WHITE, const.BLACK)):
        players.append(await discoverer.initPlayerEngine(engine, colour, 20, NormalBoard, 0, 0, 0, True))
    model = GameModel(TimeModel(0, 0), NormalBoard)
    model.setPlayers(players)
    return model


async def play(args):
    # An engine that dies at start leaves PyChess waiting for ever on its discovery.
    try:
        model = await asyncio.wait_for(new_game(args), START_SECONDS)
    except asyncio.TimeoutError:
        raise SystemExit("result: * PyChess could not start the engines within %d s" % START_SECONDS)
    game = Game(model)
    asyncio.get_event_loop().set_exception_handler(game.on_loop_error)
    watches = [PvWatch(player, colour == const.WHITE) for player, colour in zip(model.players, (const.WHITE, const.BLACK))]
    watched = watches[SIDES[args.pv_side]] if args.pv_side else None
    if args.screenshot and watched and watched.panel:
        show_window(model, watches)
        pump_gtk(asyncio.get_event_loop())
        asyncio.get_event_loop().create_task(screenshot_when_shown(watched, args.screenshot, game))
    model.start()
    try:
        await asyncio.wait_for(game.ended.wait(), args.timeout)
    except asyncio.TimeoutError:
        game.errors.append("no result after %d s" % args.timeout)
    game.result_known = True
    if game.stopped:
        return "game stopped for the picture", True
    model.save(args.pgn, pgn, True)
    return judged(game, watched)


async def screenshot_when_shown(watch, path, game):
    """Once the panel holds several lines of one search, so that the picture shows them; the
    game ends there."""
    while watch.panel.output.get_buffer().get_line_count() < SCREENSHOT_LINES:
        await asyncio.sleep(0.1)
    await asyncio.sleep(0.3)  # let the panel draw the line
    take_screenshot(path)
    game.stopped = True
    game.ended.set()


def pv_verdict(watched):
    """A line on the watched engine's PVs, and whether all of them reached the panel whole."""
    if watched.panel is None:
        return "no display: PyChess's engine output panel not checked", True
    dropped = watched.dropped()
    line = "PVs written %d, shown in PyChess's engine panel %d, dropped %d" % (
        len(watched.written), len(watched.shown), len(dropped))
    if dropped:
        line += ", such as: " + "; ".join(dropped[:3])
    return line, not dropped and len(watched.written) > 0


def judged(game, watched):
    model = game.model
    ending = RULE_ENDINGS.get(model.reason, "not by the rules (PyChess's reason %d)" % model.reason)
    good = model.status in (const.WHITEWON, const.BLACKWON, const.DRAW) and model.reason in RULE_ENDINGS
    lines = ["error: " + error for error in game.errors]
    if watched is not None:
        line, whole = pv_verdict(watched)
        lines.append(line)
        good = good and whole
    lines.append("result: %s %s" % (const.reprResult[model.status], ending))
    return "\n".join(lines), good and not game.errors


def main():
    args = parse_args()
    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    verdict, good = loop.run_until_complete(play(args))
    print(verdict, flush=True)
    # Give the engines a moment to stop; what PyChess raises meanwhile is reported, not judged.
    try:
        loop.run_until_complete(asyncio.sleep(1))
    except Exception as error:  # noqa: BLE001
        print("after the result, while the engines stop: %r" % error, flush=True)
    # Leave without the interpreter's own clean-up, which may raise again in PyChess's tasks.
    os._exit(0 if good else 1)


if __name__ == "__main__":
    main()
