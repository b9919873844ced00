// The UCI commands that both programs answer alike; each program adds its own state changes.
#pragma once

#include "reconnection.h"
#include "serial_line.h"
#include "settings.h"

#include <functional>
#include <string>
#include <vector>

namespace osa {

// The command loop: the program's opening dialogue, then one line of the GUI at a time, its spaces
// trimmed, handed to the program's handler after whatever the board has sent unasked is thrown
// away. "quit" and the end of input end the loop with the closing step. With BusyMode::answer the
// GUI's lines are also read while the opening dialogue or a command waits on the board: "isready"
// is answered at once (also when it came in the same read as the command), "quit" and the end of
// input end the program through the closing step, and every other line is handled after the
// command, in order. A lost serial line ends the program, unless the restore is enabled: then the
// board is brought back (the GUI served meanwhile as with BusyMode::answer) and the command handed
// over again.
using CommandHandler = std::function<void(const std::string& command)>;
void run_command_loop(SerialLine& line, BusyMode busy, const std::function<void()>& open_dialogue,
                      const CommandHandler& handle, const BoardRestore& restore);

// "uci": the program's identification lines and the option line, then "NEWGAME" to the board; a
// "uci" repeated after a lost line does not write those lines again.
// "uciok" follows only when the board's reply says "New Game": a board that has not started a new
// game is not ready to play.
void answer_uci(SerialLine& line, const std::vector<std::string>& identification);

// "ucinewgame": "NEWGAME" to the board and its prompt awaited; the GUI gets no answer.
void start_new_game(SerialLine& line);

// "isready": "readyok" at once.
void handle_isready();

// "board": the board's listing with its own line breaks, so that it reaches the GUI as several lines.
void handle_board(SerialLine& line);

}  // namespace osa
