#include "pv_notation.h"

#include "board_notation.h"
#include "text.h"

namespace osa {

std::string uci_variation(std::string_view pv, bool white_to_move) {
    std::string moves;
    for (const std::string_view word : split(pv, ' ')) {
        if (word.empty()) continue;
        const auto move = uci_from_board_word(word, white_to_move);
        if (!move) break;
        if (!moves.empty()) moves.push_back(' ');
        moves += *move;
        white_to_move = !white_to_move;
    }
    return moves;
}

std::string uci_info_line(const SearchReport& report, bool white_to_move) {
    std::string line = "info depth " + report.depth + " score cp " + report.score;
    const std::string moves = uci_variation(report.pv, white_to_move);
    if (!moves.empty()) line += " pv " + moves;
    return line;
}

}  // namespace osa
