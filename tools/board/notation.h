// Move texts as the board writes and reads them.
//
// Board notation: from-square, "-" (or "x" for a capture), to-square, and for a promotion "/"
// and the piece letter: "e2-e4", "e4xd5", "e7-e8/Q". Castling is "O-O" or "O-O-O" (capital O),
// or, in the king-squares style, the king's own move "e1-g1". Boards differ in how their search
// reports write moves: some mark a capture with "-" like any other move, some add "+" after a
// check and "#" after a mate ("d1-h5+", "O-O#"). When there is no move to make (mate or
// stalemate) the board writes "00-00", which the programs turn into the UCI null move.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chess.h"

namespace osa::board {

enum class CastlingStyle { letters, king_squares };

// How the moves of a search report are written. A style named by its castling alone is the
// board's usual one: captures with "x" and no check signs.
struct MoveStyle {
    constexpr MoveStyle(CastlingStyle castling_style = CastlingStyle::letters, char capture = 'x', bool checks = false)
        : castling(castling_style), capture_sign(capture), check_signs(checks) {}

    CastlingStyle castling;
    char capture_sign;  // 'x', or '-' as for any other move
    bool check_signs;   // "+" after a move that gives check, "#" after one that mates
};

inline constexpr std::string_view no_move_text = "00-00";

std::string board_move_text(const chess::Position& pos, const chess::Move& move, MoveStyle style);

// The human's move as reported in analysis mode: like board notation, with the piece letter
// in front of a piece move ("Ng8-f6") the way a person records a game.
std::string human_move_text(const chess::Position& pos, const chess::Move& move);

// A principal variation from the given position, moves separated by single spaces.
std::string variation_text(const chess::Position& pos, const std::vector<chess::Move>& pv, MoveStyle style);

// A legal move written in board notation (either castling style, "-" or "x"), if there is one.
// A check or mate sign after it is read over: the board takes back its own report's moves.
std::optional<chess::Move> parse_board_move(const chess::Position& pos, std::string_view text);

}  // namespace osa::board
