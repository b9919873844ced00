#include "web_requests.h"

#include <algorithm>
#include <cctype>

namespace osa::board {

using namespace osa::chess;

namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// "127.0.0.1" or "localhost", with no port or exactly this one.
bool names_this_server(std::string_view authority, int port) {
    const std::string text = lower(authority);
    for (const std::string name : {"127.0.0.1", "localhost"}) {
        if (text == name || text == name + ":" + std::to_string(port)) return true;
    }
    return false;
}

std::string_view trimmed(std::string_view text) {
    const auto is_space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && is_space(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_space(text.back())) text.remove_suffix(1);
    return text;
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

std::string json_string(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) continue;  // log lines have their controls written out
        out += c;
    }
    return out + '"';
}

std::string json_strings(const std::vector<std::string>& texts) {
    std::string out = "[";
    for (const auto& text : texts) {
        if (out.size() > 1) out += ',';
        out += json_string(text);
    }
    return out + ']';
}

std::string json_bool(bool value) { return value ? "true" : "false"; }

}  // namespace

bool host_allowed(std::string_view host, int port) { return names_this_server(host, port); }

bool origin_allowed(std::string_view origin, int port) {
    constexpr std::string_view scheme = "http://";
    if (origin.empty()) return true;
    return origin.substr(0, scheme.size()) == scheme && names_this_server(origin.substr(scheme.size()), port);
}

std::variant<MoveRequest, PageAnswer> parse_move_request(std::string_view body) {
    const std::string text = lower(trimmed(body));
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

std::string state_json(const PageState& state) {
    return "{\"fen\":" + json_string(state.fen) + ",\"lastMove\":" + json_string(state.last_move) +
           ",\"interactive\":" + json_bool(state.interactive) + ",\"waiting\":" + json_bool(state.waiting) +
           ",\"takebackAllowed\":" + json_bool(state.takeback_allowed) + ",\"legal\":" + json_strings(state.legal) +
           ",\"variation\":" + json_string(state.variation) + ",\"log\":" + json_strings(state.log) +
           ",\"closed\":" + json_bool(state.closed) + "}";
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
