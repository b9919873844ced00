#include "move_report.h"

#include "text.h"

namespace osa {
namespace {

bool is_square_at(std::string_view text, std::size_t at) {
    return at + 2 <= text.size() && text[at] >= 'a' && text[at] <= 'h' && text[at + 1] >= '1' && text[at + 1] <= '8';
}

bool joins_two_squares(std::string_view report, std::size_t separator) {
    return separator >= 2 && is_square_at(report, separator - 2) && is_square_at(report, separator + 1);
}

bool is_castling_at(std::string_view report, std::size_t separator) {
    return separator >= 1 && report.substr(separator - 1, 3) == "O-O";
}

// The first "-" of "O-O" and of "O-O-O" stands after the first "O".
std::string castling_move(std::string_view report, std::size_t separator, bool black_side) {
    const char rank = black_side ? '8' : '1';
    const char king_to = report.substr(separator - 1, 5) == "O-O-O" ? 'c' : 'g';
    return {'e', rank, king_to, rank};
}

std::string squares_move(std::string_view report, std::size_t separator) {
    return std::string(report.substr(separator - 2, 2)) + std::string(report.substr(separator + 1, 2));
}

// The letter after the first "/", in lower case; a "/" followed by anything but a piece letter
// is no promotion and must not put a stray character into the UCI move.
std::string promotion_letter(std::string_view report) {
    const auto slash = report.find('/');
    if (slash == std::string_view::npos || slash + 1 >= report.size()) return {};
    const std::string piece = lower_ascii(report.substr(slash + 1, 1));
    return contains("qrnb", piece) ? piece : std::string();
}

// The move is read at the first "-", or at the first "x" when there is no "-". A separator that
// stands in no move (the report of a board message) is passed over for the next one.
std::optional<std::string> move_at_separator(std::string_view report, bool black_side) {
    for (const char separator : {'-', 'x'})
        for (auto at = report.find(separator); at != std::string_view::npos; at = report.find(separator, at + 1)) {
            if (separator == '-' && is_castling_at(report, at)) return castling_move(report, at, black_side);
            if (joins_two_squares(report, at)) return squares_move(report, at);
        }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> uci_move_from_report(std::string_view report, bool black_side) {
    auto move = move_at_separator(report, black_side);
    if (move) move->append(promotion_letter(report));
    return move;
}

}  // namespace osa
