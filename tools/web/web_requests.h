// The pure pieces of the board's web page: which requests may reach it, how a move request
// reads, and the state that the page is sent.
//
// The page is served on the loopback address only, and a request counts only when its Host is
// that address or localhost (so a name that some other site resolves to 127.0.0.1 gets nowhere)
// and, when the browser names the page it comes from, that page is this one.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "chess.h"

namespace osa::board {

bool host_allowed(std::string_view host, int port);
// An empty origin (a request that is not from a page) is allowed.
bool origin_allowed(std::string_view origin, int port);

// An answer to the page: its HTTP status and a plain-text reason.
struct PageAnswer {
    int status;
    std::string text;
};

// A move as the page sends it: the two squares clicked or dragged between, and the promotion
// piece chosen on the page ("e2e4", "e7e8q"); surrounding white space is read over.
struct MoveRequest {
    int from = 0;
    int to = 0;
    chess::PieceType promotion = chess::none;
};
std::variant<MoveRequest, PageAnswer> parse_move_request(std::string_view body);

// The legal move that the two squares name in the position.
std::variant<chess::Move, PageAnswer> move_from_squares(const chess::Position& pos, const MoveRequest& request);

// What the page shows; sent whole after every change.
struct PageState {
    std::string fen;
    std::string last_move;           // the GUI's last move entered on the board, UCI; empty if none
    bool interactive = false;        // a person plays the human here
    bool waiting = false;            // the board waits for the person's move
    bool takeback_allowed = false;   // the take-back report is still to be had for this move
    std::vector<std::string> legal;  // the legal moves in UCI while waiting
    std::string variation;           // the board computer's principal variation, board notation
    std::vector<std::string> log;    // the board's latest commands and replies
    bool closed = false;             // the program has closed the board, as at the end of a game
};
std::string state_json(const PageState& state);

// One command or reply for the page's log, control characters written out ("<CR><LF>").
std::string log_line(char direction, std::string_view bytes);

}  // namespace osa::board
