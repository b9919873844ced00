// "go": the board computer searches; its reports become "info depth" lines, its move "bestmove".
#pragma once

#include "serial_line.h"

#include <string>

namespace osa {

// What the command loop and the search share.
struct SearchState {
    std::string last_move;      // the GUI's newest move in board notation; handed over once
    std::string last_pv;        // the principal variation of the last info line written
    bool white_to_move = true;  // for castling, which the board writes without squares
    bool uci_pv = false;        // the info lines' moves in UCI notation ("pv=uci")
};

// Hands the GUI's move (or "PLAY") to the board, polls its search every 750 ms until a final
// report names a move, gives that move back to the board and writes "bestmove".
void handle_go(SerialLine& line, SearchState& state);

}  // namespace osa
