#include "search_report.h"

#include "text.h"

namespace osa {
namespace {

constexpr std::size_t tail_start = 28;  // the principal variation begins at character 29

std::string column(std::string_view reply, std::size_t first, std::size_t count) {
    if (first >= reply.size()) return {};
    return trim_spaces(reply.substr(first, count));
}

// The first move of the tail: up to the first space, kept only when at least 5 characters long
// or castling; a final single move has no space and ends at the ".".
std::string first_move(std::string_view tail, bool final) {
    const auto space = tail.find(' ');
    std::string move = space == std::string_view::npos ? std::string() : std::string(tail.substr(0, space));
    if (move.size() < 5 && !is_castling(move)) move.clear();
    if (move.empty() && final) move = std::string(tail.substr(0, tail.find('.')));
    return move;
}

std::string_view without_check_sign(std::string_view move) {
    if (!move.empty() && (move.back() == '+' || move.back() == '#')) move.remove_suffix(1);
    return move;
}

char promotion_letter(std::string_view board_move) {
    if (board_move.size() < 7 || board_move[5] != '/') return 0;
    const char letter = lower_ascii(board_move.substr(6, 1))[0];
    return letter == 'q' || letter == 'r' || letter == 'n' || letter == 'b' ? letter : 0;
}

}  // namespace

std::optional<SearchReport> read_search_report(std::string_view reply) {
    if (!starts_with(reply, "Sendinfo")) return std::nullopt;
    const std::string_view tail = reply.size() > tail_start ? reply.substr(tail_start) : std::string_view();
    SearchReport report;
    report.depth = column(reply, 17, 2);
    report.score = column(reply, 20, 6);
    report.final = !tail.empty() && tail.back() == '.';
    report.pv = std::string(report.final ? tail.substr(0, tail.size() - 1) : tail);
    report.board_move = first_move(tail, report.final);
    return report;
}

std::string info_line(const SearchReport& report) {
    return "info depth " + report.depth + " score cp " + report.score + " pv " + report.pv;
}

bool is_castling(std::string_view board_move) {
    const std::string_view castling = without_check_sign(board_move);
    return castling == "O-O" || castling == "O-O-O";
}

std::optional<std::string> castling_king_move(std::string_view board_move, bool white_to_move) {
    const std::string_view castling = without_check_sign(board_move);
    if (castling == "O-O") return white_to_move ? "e1g1" : "e8g8";
    if (castling == "O-O-O") return white_to_move ? "e1c1" : "e8c8";
    return std::nullopt;
}

bool is_square(std::string_view text) {
    return text.size() == 2 && text[0] >= 'a' && text[0] <= 'h' && text[1] >= '1' && text[1] <= '8';
}

bool ends_search(const SearchReport& report) {
    return report.final && (report.board_move.size() > 4 || is_castling(report.board_move));
}

std::string uci_move(std::string_view board_move, bool white_to_move) {
    if (auto king_move = castling_king_move(board_move, white_to_move)) return *king_move;
    const std::string_view from = board_move.substr(0, 2);
    const std::string_view to = board_move.size() > 3 ? board_move.substr(3, 2) : std::string_view();
    if (!is_square(from) || !is_square(to)) return "0000";
    std::string move = std::string(from) + std::string(to);
    if (const char letter = promotion_letter(board_move)) move.push_back(letter);
    return move;
}

}  // namespace osa
