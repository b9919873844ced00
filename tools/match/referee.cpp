#include "referee.h"

namespace osa::match {

using namespace osa::chess;

namespace {

const char* name_of(Colour c) { return c == white ? "White" : "Black"; }

std::string win_for(Colour c) { return c == white ? "1-0" : "0-1"; }

}  // namespace

Verdict judge(const Position& pos) {
    const Colour mover = pos.side_to_move();
    switch (pos.outcome()) {
        case Outcome::checkmate: return {win_for(opponent(mover)), std::string(name_of(opponent(mover))) + " mates"};
        case Outcome::stalemate: return {"1/2-1/2", "stalemate"};
        case Outcome::fifty_moves: return {"1/2-1/2", "fifty-move rule"};
        case Outcome::repetition: return {"1/2-1/2", "threefold repetition"};
        case Outcome::insufficient_material: return {"1/2-1/2", "insufficient material"};
        case Outcome::ongoing: break;
    }
    return {"*", "game goes on"};
}

Verdict forfeit(Colour loser, const std::string& reason) {
    return {win_for(opponent(loser)), std::string(name_of(loser)) + " forfeits: " + reason};
}

std::string move_label(const Position& before, const Move& move) {
    const std::string number = std::to_string(before.fullmove_number());
    return number + (before.side_to_move() == white ? ". " : "... ") + uci_text(move);
}

}  // namespace osa::match
