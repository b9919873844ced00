// The match driver's referee: the rules decide a game, and these texts say how.
#pragma once

#include <string>

#include "chess.h"

namespace osa::match {

struct Verdict {
    std::string score;  // "1-0", "0-1", "1/2-1/2", or "*" for a game stopped unfinished
    std::string reason;
};

// The verdict for a position in which the side to move is to play; nothing decided gives "*".
Verdict judge(const chess::Position& pos);

// A forfeit by the side that failed (illegal move, no answer, engine gone).
Verdict forfeit(chess::Colour loser, const std::string& reason);

// "12. e2e4" for White's move, "12... e7e5" for Black's.
std::string move_label(const chess::Position& before, const chess::Move& move);

}  // namespace osa::match
