#include "position_line.h"

#include "board_notation.h"
#include "chess.h"
#include "fen_setup.h"
#include "text.h"

#include <algorithm>
#include <vector>

namespace osa {
namespace {

// "moves " and "fen " are searched from the first character after "position ".
constexpr std::size_t after_position_word = 9;

std::size_t move_count(std::string_view position_line) {
    const auto moves = position_line.find("moves ", after_position_word);
    if (moves == std::string_view::npos) return 0;
    std::size_t count = 0;
    bool in_move = false;
    for (char c : position_line.substr(moves + 6)) {
        if (c != ' ' && !in_move) ++count;
        in_move = c != ' ';
    }
    return count;
}

// The words of the move list, in order; none without "moves ".
std::vector<std::string_view> listed_moves(std::string_view position_line) {
    std::vector<std::string_view> moves;
    const auto start = position_line.find("moves ", after_position_word);
    if (start == std::string_view::npos) return moves;
    for (const std::string_view word : split(position_line.substr(start + 6), ' '))
        if (!word.empty()) moves.push_back(word);
    return moves;
}

}  // namespace

std::optional<std::string> fen_before_last_move(std::string_view position_line) {
    const PositionLine read = read_position_line(position_line);
    auto game = read.fen ? chess::Position::from_fen(*read.fen) : chess::Position();
    if (!game) return std::nullopt;
    const auto moves = listed_moves(position_line);
    for (std::size_t i = 0; i + 1 < moves.size(); ++i) {
        const auto move = chess::parse_uci(*game, moves[i]);
        if (!move) break;
        game->make(*move);
    }
    return game->fen();
}

PositionLine read_position_line(std::string_view line) {
    PositionLine result;
    const auto moves = line.find("moves ", after_position_word);
    if (moves != std::string_view::npos) {
        const std::size_t length = !line.empty() && is_uci_promotion_letter(line.back()) ? 5 : 4;
        result.last_move = board_notation(line.substr(line.size() - std::min(length, line.size())));
        // Everything from the space before "moves " on is dropped.
        line = line.substr(0, moves - 1);
    }
    const auto fen = line.find("fen ", after_position_word);
    if (fen != std::string_view::npos) result.fen = trim_spaces(line.substr(fen + 4));
    return result;
}

// A FEN that the setup refuses leaves the board as it was; White is as good a guess as any then.
bool white_to_move_after(std::string_view position_line, const PositionLine& position) {
    const bool white = !position.fen || fen_side_letter(*position.fen) != 'b';
    return white == (move_count(position_line) % 2 == 0);
}

PositionLine take_position(SerialLine& line, std::string_view command, std::string& last_fen, std::string_view keyword) {
    PositionLine position = read_position_line(command);
    if (position.fen && *position.fen != last_fen) {
        last_fen = *position.fen;
        setup_position(line, last_fen, keyword);
    }
    return position;
}

}  // namespace osa
