#include "fen_setup.h"

#include "board_dialogue.h"
#include "console.h"

namespace osa {
namespace {

// The same letter decides the side to move after a "position " line, so that the board and the
// castling moves read back from it agree on the side.
std::optional<std::string> side_word(std::string_view fen) {
    const auto side = fen_side_letter(fen);
    if (side == 'w') return "WHITE ";
    if (side == 'b') return "BLACK ";
    return std::nullopt;
}

std::string_view piece_code(char letter) {
    switch (letter) {
    case 'P': return "WP";
    case 'K': return "WK";
    case 'Q': return "WQ";
    case 'N': return "WN";
    case 'B': return "WB";
    case 'R': return "WR";
    case 'p': return "BP";
    case 'k': return "BK";
    case 'q': return "BQ";
    case 'n': return "BN";
    case 'b': return "BB";
    case 'r': return "BR";
    default: return {};
    }
}

// Adds the entry of one placement character to the rank's list. Characters that are neither a
// piece letter nor a digit from 1 to 8 are skipped without moving the file.
void place(char c, int& file, int rank, std::string& list) {
    if (c >= '1' && c <= '8') {
        file += c - '0';
        return;
    }
    const std::string_view code = piece_code(c);
    if (code.empty()) return;
    if (!list.empty()) list.push_back(',');
    list.append(code);
    // Ranks with more than eight squares give file letters beyond 'h', as the board is told them.
    list.push_back(static_cast<char>('a' + file - 1));
    list.push_back(static_cast<char>('0' + rank));
    ++file;
}

}  // namespace

std::optional<char> fen_side_letter(std::string_view fen) {
    const auto first_space = fen.find(' ');
    if (first_space == std::string_view::npos) return std::nullopt;
    const auto second_space = fen.find(' ', first_space + 1);
    if (second_space == std::string_view::npos) return std::nullopt;
    return fen[second_space - 1];
}

std::optional<std::vector<std::string>> rank_commands(std::string_view fen, std::string_view keyword) {
    const auto side = side_word(fen);
    if (!side) return std::nullopt;
    const std::string placement = std::string(fen.substr(0, fen.find(' '))) + "/";
    std::vector<std::string> commands;
    std::size_t at = 0;
    for (int rank = 8; rank >= 1; --rank) {
        // A rank is ended only by a "/" after at least one character: its first one is always taken.
        if (at >= placement.size()) return std::nullopt;
        int file = 1;
        std::string list;
        do place(placement[at++], file, rank, list);
        while (at < placement.size() && placement[at] != '/');
        if (at >= placement.size()) return std::nullopt;
        ++at;
        if (!list.empty()) commands.push_back(std::string(keyword) + *side + list);
    }
    return commands;
}

void setup_position(SerialLine& line, std::string_view fen, std::string_view keyword) {
    const auto commands = rank_commands(fen, keyword);
    if (!commands) {
        write_console_line("fen error");
        return;
    }
    send_and_await(line, "SETUP");
    send_and_await(line, "FUNCTION NEW");
    for (const std::string& command : *commands) {
        drain_input(line);
        send_and_await(line, command);
    }
    send_and_await(line, "BOARD OFF");
    send_and_await(line, "NORMAL");
}

}  // namespace osa
