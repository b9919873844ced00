#include "search_report.h"

#include "board_notation.h"
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

bool ends_search(const SearchReport& report) {
    return report.final && (report.board_move.size() > 4 || is_castling(report.board_move));
}

}  // namespace osa
