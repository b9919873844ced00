#include "web_requests.h"

#include <nlohmann/json.hpp>

#include "text.h"

namespace osa::board {

using namespace osa::chess;

namespace {

// "127.0.0.1" or "localhost", with no port or exactly this one.
bool names_this_server(std::string_view authority, int port) {
    const std::string text = lower_ascii(authority);
    for (const std::string name : {"127.0.0.1", "localhost"}) {
        if (text == name || text == name + ":" + std::to_string(port)) return true;
    }
    return false;
}

std::optional<PieceType> promotion_piece(char letter) {
    switch (letter) {
        case 'q': return queen;
        case 'r': return rook;
        case 'b': return bishop;
        case 'n': return knight;
        default: return std::nullopt;
    }
}

}  // namespace

bool host_allowed(std::string_view host, int port) { return names_this_server(host, port); }

bool origin_allowed(std::string_view origin, int port) {
    constexpr std::string_view scheme = "http://";
    if (origin.empty()) return true;
    return origin.substr(0, scheme.size()) == scheme && names_this_server(origin.substr(scheme.size()), port);
}

std::variant<MoveRequest, PageAnswer> parse_move_request(std::string_view body) {
    const std::string text = lower_ascii(trimmed(body));
    const PageAnswer malformed{400, "a move is two squares and an optional promotion piece, such as e2e4 or e7e8q"};
    if (text.size() != 4 && text.size() != 5) return malformed;
    const auto from = parse_square(std::string_view(text).substr(0, 2));
    const auto to = parse_square(std::string_view(text).substr(2, 2));
    if (!from || !to) return malformed;
    MoveRequest request{*from, *to, none};
    if (text.size() == 4) return request;
    const auto piece = promotion_piece(text[4]);
    if (!piece) return malformed;
    request.promotion = *piece;
    return request;
}

std::variant<Move, PageAnswer> move_from_squares(const Position& pos, const MoveRequest& request) {
    const Move move{static_cast<std::uint8_t>(request.from), static_cast<std::uint8_t>(request.to), request.promotion};
    if (pos.is_legal(move)) return move;
    if (request.promotion == none && pos.is_legal({move.from, move.to, queen}))
        return PageAnswer{400, "a pawn that reaches the last rank needs its new piece, such as e7e8q"};
    return PageAnswer{422, "not a legal move here: " + uci_text(move)};
}

// The keys in the order the page has always received them; a byte that is not UTF-8 becomes U+FFFD
// rather than an exception.
std::string state_json(const PageState& state) {
    const nlohmann::ordered_json json{
        {"fen", state.fen},
        {"lastMove", state.last_move},
        {"interactive", state.interactive},
        {"waiting", state.waiting},
        {"takebackAllowed", state.takeback_allowed},
        {"legal", state.legal},
        {"variation", state.variation},
        {"log", state.log},
        {"closed", state.closed},
    };
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string log_line(char direction, std::string_view bytes) {
    std::string line(1, direction);
    line += ' ';
    for (char c : bytes) {
        if (c == '\r') line += "<CR>";
        else if (c == '\n') line += "<LF>";
        else if (c == '\x17') line += "<ETB>";
        else if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e) line += "<?>";
        else line += c;
    }
    return line;
}

}  // namespace osa::board
