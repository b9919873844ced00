// The serving loop: reads command lines from the pty master, answers them through the Board,
// and sends the board's own delayed output (the human's moves) when it is due. It sleeps in
// poll() between events and never spins.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "board.h"
#include "trace.h"

namespace osa::board {

// Cuts the byte stream into command lines. The programs end each line with CR LF; either byte
// ends a line here, and the empty lines this makes are dropped.
class LineSplitter {
public:
    std::vector<std::string> feed(std::string_view bytes);

private:
    std::string partial_;
};

struct ServeEnds {
    int stdin_fd = -1;       // when set, serving ends when this reaches end of file
    int child_exit_fd = -1;  // when set, serving ends when this becomes readable
};

// Serves until one of the ends is reached or the master fails.
void serve(int master_fd, Board& board, Trace& trace, const Clock& clock, ServeEnds ends);

}  // namespace osa::board
