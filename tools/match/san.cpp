#include "san.h"

namespace osa::match {

using namespace osa::chess;

namespace {

// The part of the from-square that tells this move apart from the same piece kind's other
// moves to the same square: nothing, the file, the rank, or the whole square.
std::string disambiguation(const Position& before, const Move& move) {
    bool rivals = false, same_file = false, same_rank = false;
    for (const Move& other : before.legal_moves()) {
        if (other.to != move.to || other.from == move.from || before.at(other.from) != before.at(move.from)) continue;
        rivals = true;
        same_file |= file_of(other.from) == file_of(move.from);
        same_rank |= rank_of(other.from) == rank_of(move.from);
    }
    const std::string from = square_name(move.from);
    if (!rivals) return "";
    if (!same_file) return from.substr(0, 1);
    if (!same_rank) return from.substr(1, 1);
    return from;
}

std::string pawn_move_text(const Position& before, const Move& move) {
    std::string text = before.is_capture(move) ? square_name(move.from).substr(0, 1) + "x" : "";
    text += square_name(move.to);
    if (move.promotion != none) text += std::string("=") + piece_letter(move.promotion);
    return text;
}

std::string piece_move_text(const Position& before, const Move& move) {
    if (before.is_castling(move)) return file_of(move.to) > file_of(move.from) ? "O-O" : "O-O-O";
    return piece_letter(type_of(before.at(move.from))) + disambiguation(before, move) +
           (before.is_capture(move) ? "x" : "") + square_name(move.to);
}

std::string check_suffix(const Position& after) {
    if (!after.in_check()) return "";
    return after.legal_moves().empty() ? "#" : "+";
}

}  // namespace

std::string san_text(const Position& before, const Move& move) {
    const bool pawn_move = type_of(before.at(move.from)) == pawn;
    std::string text = pawn_move ? pawn_move_text(before, move) : piece_move_text(before, move);
    Position after = before;
    after.make(move);
    return text + check_suffix(after);
}

std::vector<std::string> san_moves(Position start, const std::vector<Move>& moves) {
    std::vector<std::string> texts;
    for (const Move& move : moves) {
        texts.push_back(san_text(start, move));
        start.make(move);
    }
    return texts;
}

std::string move_number_text(const Position& before) {
    return std::to_string(before.fullmove_number()) + (before.side_to_move() == white ? "." : "...");
}

}  // namespace osa::match
