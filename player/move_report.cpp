#include "move_report.h"

#include "board_notation.h"

namespace osa {
namespace {

// A move read at a separator: castling begins one character before its first "-", a move of two
// squares two characters before its separator.
std::optional<ReadMove> move_around(std::string_view report, std::size_t separator, bool white_to_move) {
    if (separator >= 1 && report[separator] == '-' && report[separator - 1] == 'O')
        return read_board_move(report.substr(separator - 1), white_to_move);
    if (separator < 2) return std::nullopt;
    return read_board_move(report.substr(separator - 2), white_to_move);
}

}  // namespace

// The move is read at the first "-", or at the first "x" when there is no "-". A separator that
// stands in no move (the report of a board message) is passed over for the next one.
std::optional<std::string> uci_move_from_report(std::string_view report, bool black_side) {
    for (const char separator : {'-', 'x'})
        for (auto at = report.find(separator); at != std::string_view::npos; at = report.find(separator, at + 1))
            if (auto move = move_around(report, at, !black_side)) return std::move(move->uci);
    return std::nullopt;
}

}  // namespace osa
