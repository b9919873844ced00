// Standard algebraic notation (SAN), the way chess players read and write a game: "Nf3",
// "exd5", "Rad1", "e8=Q+", "O-O", "Qh4#".
//
// A piece move names the piece and the target square; the from-square's file, rank or both are
// added only when another piece of the same kind could also go there, in that order of
// preference. A pawn is named by no letter; a pawn capture by its file. Check and mate are found
// by playing the move on a copy of the position.
#pragma once

#include <string>
#include <vector>

#include "chess.h"

namespace osa::match {

// The SAN of a legal move in the position before it.
std::string san_text(const chess::Position& before, const chess::Move& move);

// The SAN of each move of a game played from the start position.
std::vector<std::string> san_moves(chess::Position start, const std::vector<chess::Move>& moves);

// "12." before White's move, "12..." before Black's.
std::string move_number_text(const chess::Position& before);

}  // namespace osa::match
