// Reading the board computer's search reports.
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

// The search ends with a final report that names a move.
bool ends_search(const SearchReport& report);

}  // namespace osa
