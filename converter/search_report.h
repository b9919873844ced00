// Reading the board computer's search reports and moves.
//
// A report answers "SENDINFO" and begins with "Sendinfo". Its columns, counted from 1: depth in
// characters 18 and 19, score in 21 to 26, and from 29 on the principal variation in board
// notation; a "." as its very last character means the board has chosen its move.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace osa {

struct SearchReport {
    std::string depth;       // spaces at both ends removed
    std::string score;       // spaces at both ends removed
    std::string pv;          // the principal variation without a final "."
    std::string board_move;  // the first move, when it is one; empty otherwise
    bool final = false;      // the tail ends with "."
};

// The report in a reply text, or nothing when the reply is no search report.
std::optional<SearchReport> read_search_report(std::string_view reply);

// "info depth ... score cp ... pv ..." for a report.
std::string info_line(const SearchReport& report);

// Castling, which the board writes "O-O" and "O-O-O", with a check or mate sign ("O-O+", "O-O-O#")
// when the castling gives one.
bool is_castling(std::string_view board_move);

// The king's move ("e1g1", "e8c8") of a castling for the side to move; nothing for other moves.
std::optional<std::string> castling_king_move(std::string_view board_move, bool white_to_move);

// "a1" to "h8".
bool is_square(std::string_view text);

// The search ends with a final report that names a move.
bool ends_search(const SearchReport& report);

// The board's move as a UCI move: castling (with or without a check sign) as the king's move of
// the side to move, a promotion "/Q" as "q". A move whose squares are not squares gives the null
// move "0000".
std::string uci_move(std::string_view board_move, bool white_to_move);

}  // namespace osa
