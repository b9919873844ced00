#include "board.h"

#include <algorithm>

#include "number_text.h"

namespace osa::board {

using namespace osa::chess;

namespace {

// While the human engine still thinks after its delay, look again this often.
constexpr std::int64_t human_recheck_ms = 10;
// A repeatable search gets as many nodes for each millisecond of thinking time as the board
// computer searches in one on a usual machine, so that it takes about as long.
constexpr std::uint64_t nodes_per_ms = 400;

bool starts_with(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

std::string_view after(std::string_view text, std::string_view prefix) { return text.substr(prefix.size()); }

std::string_view without_spaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

// One entry of a placement list: colour W/B, piece letter, file, rank ("WRa1").
std::optional<std::pair<int, Piece>> parse_entry(std::string_view entry) {
    static constexpr std::string_view pieces = "PNBRQK";
    if (entry.size() != 4 || (entry[0] != 'W' && entry[0] != 'B')) return std::nullopt;
    const auto type = pieces.find(entry[1]);
    const auto square = parse_square(entry.substr(2));
    if (type == std::string_view::npos || !square) return std::nullopt;
    const Colour colour = entry[0] == 'W' ? white : black;
    return std::pair{*square, make_piece(colour, static_cast<PieceType>(type + 1))};
}

std::string padded(std::string_view text, std::size_t width) {
    return std::string(width > text.size() ? width - text.size() : 0, ' ') + std::string(text);
}

}  // namespace

std::string reply(std::string_view text) { return std::string(text) + "\r\n>" + end_of_reply; }

std::string prompt_only() { return std::string(">") + end_of_reply; }

std::string frame_move_report(Colour human_side, std::string_view report) {
    if (human_side == black) return std::string(report) + "\r\n" + end_of_reply;
    return "\r\n" + std::string(report) + end_of_reply;
}

// Fixed columns, counted from 1: "Sendinfo" in 1-8, the node count in 9-17, the depth in 18-19,
// a space, the score in 21-26, two spaces, and the variation from 29 on. The final report of a
// search ends with "." straight after its last move; a side without a move gets "00-00".
std::string search_report(const Position& root, const SearchProgress& progress, MoveStyle style) {
    const auto nodes = std::min<std::uint64_t>(progress.nodes, 999'999'999);
    std::string pv = variation_text(root, progress.pv, style);
    if (progress.finished && pv.empty()) pv = no_move_text;
    if (progress.finished) pv += '.';
    return "Sendinfo" + padded(std::to_string(nodes), 9) + padded(std::to_string(progress.depth), 2) + ' ' +
           padded(std::to_string(progress.score), 6) + "  " + pv;
}

std::string board_listing(const Position& pos, bool sensors_on) {
    std::string text = "  a b c d e f g h\r\n";
    for (int rank = 7; rank >= 0; --rank) {
        text += static_cast<char>('1' + rank);
        for (int file = 0; file < 8; ++file) {
            const Piece p = pos.at(square_at(file, rank));
            const char letter = p == 0 ? '.' : piece_letter(type_of(p));
            text += ' ';
            text += p != 0 && colour_of(p) == black ? static_cast<char>(letter + 32) : letter;
        }
        text += ' ';
        text += static_cast<char>('1' + rank);
        text += "\r\n";
    }
    text += "  a b c d e f g h\r\n";
    text += pos.side_to_move() == white ? "White to move" : "Black to move";
    text += sensors_on ? ", board on" : ", board off";
    return text;
}

Board::Board(BoardOptions options, Clock clock)
    : options_(options), clock_(std::move(clock)), level_(options.level), random_(options.seed) {}

std::string Board::handle(std::string_view command) {
    human_.reset();
    if (command == "ENGLISH") return {};
    if (command == "OPEN") return on_open();
    if (command == "CLOSE") return on_close();
    if (command == "NEWGAME") return on_newgame();
    if (command == "POSITION") return on_listing();
    if (starts_with(command, "POSITION ")) return on_place(after(command, "POSITION "));
    if (starts_with(command, "POSI ")) return on_place(after(command, "POSI "));
    if (command == "SETUP") return on_setup();
    if (command == "FUNCTION NEW") return on_function_new();
    if (command == "BOARD ON") return on_board_sensors(true);
    if (command == "BOARD OFF") return on_board_sensors(false);
    if (command == "NORMAL") return on_normal();
    if (command == "SENDINFO") return on_sendinfo();
    if (command == "SENDINFO ON" || command == "SENDINFO OFF") return prompt_only();
    if (starts_with(command, "SETLEVEL ")) return on_setlevel(after(command, "SETLEVEL "));
    if (starts_with(command, "setlevel")) return on_setlevel(after(command, "setlevel"));
    if (command == "PLAY") return on_play();
    if (command == "TAKEBACK") return on_takeback();
    if (starts_with(command, "MOVE ")) return on_move(after(command, "MOVE "));
    if (command == "ANALYSIS") return on_analysis();
    return reply("Unknown command");
}

std::string Board::on_open() { return reply(identification); }

std::string Board::on_close() {
    stop_computer();
    return {};
}

std::string Board::on_newgame() {
    stop_computer();
    game_ = Position();
    entered_.reset();
    mode_ = Mode::normal;
    return reply("New Game");
}

// The lines of the listing are separated by CR LF, with none after the last: the reader
// passes the text on as it comes.
std::string Board::on_listing() { return board_listing(game_, sensors_on_) + prompt_only(); }

std::string Board::on_setup() {
    stop_computer();
    mode_ = Mode::setup;
    setup_placement_ = game_.placement();
    setup_side_ = game_.side_to_move();
    return prompt_only();
}

std::string Board::on_function_new() {
    if (mode_ != Mode::setup) return reply("Not in setup");
    setup_placement_ = {};
    return prompt_only();
}

// "WHITE " or "BLACK " (which also sets the side to move), then entries such as "WRa1,BKe8".
// The whole list is checked before anything is placed, so a bad entry changes nothing.
std::string Board::on_place(std::string_view arguments) {
    if (mode_ != Mode::setup) return reply("Not in setup");
    std::optional<Colour> side;
    if (starts_with(arguments, "WHITE ")) side = white;
    if (starts_with(arguments, "BLACK ")) side = black;
    if (side) arguments.remove_prefix(6);
    Placement placed = setup_placement_;
    for (bool more = !arguments.empty(); more;) {
        const auto comma = arguments.find(',');
        const auto entry = parse_entry(arguments.substr(0, comma));
        if (!entry) return reply("Bad placement");
        placed[entry->first] = entry->second;
        more = comma != std::string_view::npos;
        arguments.remove_prefix(more ? comma + 1 : arguments.size());
    }
    setup_placement_ = placed;
    if (side) setup_side_ = *side;
    return prompt_only();
}

std::string Board::on_board_sensors(bool on) {
    sensors_on_ = on;
    return prompt_only();
}

// Leaving setup makes the placed position the game: castling as the kings and rooks on their
// home squares allow, no en-passant square, counters from the start.
std::string Board::on_normal() {
    const bool leaving_setup = mode_ == Mode::setup;
    mode_ = Mode::normal;
    if (!leaving_setup) return prompt_only();
    const std::string fen = placement_field(setup_placement_) + (setup_side_ == white ? " w " : " b ") +
                            castling_field(inferred_castling_rights(setup_placement_)) + " - 0 1";
    auto placed = Position::from_fen(fen);
    if (!placed) return reply("Illegal position");
    game_ = *placed;
    entered_.reset();
    return prompt_only();
}

std::string Board::on_sendinfo() {
    if (!thinking_) return reply("No search");
    return reply(search_report(search_root_, search_.progress(), options_.report_style));
}

// A level from 1 to 99 sets the search depth; no level at all asks for the current one.
std::string Board::on_setlevel(std::string_view argument) {
    argument = without_spaces(argument);
    if (!argument.empty()) {
        const auto level = parse_number(argument, 1, 99);
        if (!level) return reply("Bad level");
        level_ = static_cast<int>(*level);
    }
    return reply("Level " + std::to_string(level_));
}

std::string Board::on_play() {
    if (mode_ == Mode::setup) return reply("Not in play");
    mode_ = Mode::normal;
    if (!thinking_) start_computer();
    return reply("OK");
}

// A take-back while the computer thinks, or before its chosen move is made, only cancels that
// search: the move it would have made is the one taken back.
std::string Board::on_takeback() {
    if (thinking_) {
        stop_computer();
        return reply("OK");
    }
    if (game_.plies_played() == 0) return reply("Nothing to take back");
    game_.unmake();
    entered_.reset();
    return reply("Takeback");
}

std::string Board::on_move(std::string_view text) {
    if (mode_ == Mode::setup) return reply("Not in play");
    if (computer_has_chosen()) {
        const auto chosen = search_.progress().pv;
        const bool no_move = chosen.empty() && text == no_move_text;
        if (no_move || (!chosen.empty() && parse_board_move(game_, text) == chosen.front())) {
            stop_computer();
            if (!no_move) game_.make(chosen.front());
            if (!no_move) entered_ = chosen.front();
            return reply("OK");
        }
    }
    const auto move = parse_board_move(game_, text);
    if (!move) return reply("Illegal move");
    stop_computer();
    game_.make(*move);
    entered_ = move;
    if (mode_ == Mode::normal) start_computer();
    return reply("OK");
}

std::string Board::on_analysis() {
    if (mode_ == Mode::setup) return reply("Not in play");
    stop_computer();
    mode_ = Mode::analysis;
    const bool takeback = options_.human != HumanKind::person && options_.takeback_every > 0 &&
                          (human_moves_made_ + 1) % options_.takeback_every == 0;
    human_ = HumanTurn{clock_() + options_.human_delay_ms, takeback};
    if (options_.human == HumanKind::engine) search_.start(game_, limits(options_.human_delay_ms));
    return prompt_only();
}

SearchLimits Board::limits(int think_ms) const {
    const std::uint64_t nodes = std::max<std::uint64_t>(1, static_cast<std::uint64_t>(think_ms) * nodes_per_ms);
    return {level_, think_ms, options_.repeatable ? nodes : 0};
}

void Board::start_computer() {
    search_root_ = game_;
    search_.start(game_, limits(options_.think_ms));
    thinking_ = true;
}

void Board::stop_computer() {
    search_.cancel();
    thinking_ = false;
}

bool Board::computer_has_chosen() const { return thinking_ && search_.progress().finished; }

std::vector<Move> Board::computer_variation() const {
    if (!thinking_ && !(human_ && options_.human == HumanKind::engine)) return {};
    return search_.progress().pv;
}

// A person without a legal move left has nothing to make: the board reports that at once.
std::optional<std::int64_t> Board::next_event_in() const {
    if (!human_) return std::nullopt;
    if (options_.human == HumanKind::person)
        return game_.legal_moves().empty() ? std::optional<std::int64_t>(0) : std::nullopt;
    const std::int64_t wait = human_->due_ms - clock_();
    if (wait > 0) return wait;
    return options_.human == HumanKind::engine ? human_recheck_ms : 0;
}

std::string Board::poll() {
    if (!human_ || clock_() < human_->due_ms) return {};
    if (options_.human == HumanKind::person && !game_.legal_moves().empty()) return {};
    if (options_.human == HumanKind::engine && !search_.progress().finished) return {};
    return human_moves();
}

std::optional<Move> Board::human_choice() {
    if (options_.human == HumanKind::engine) {
        const auto pv = search_.progress().pv;
        return pv.empty() ? std::nullopt : std::optional<Move>(pv.front());
    }
    const auto moves = game_.legal_moves();
    if (moves.empty()) return std::nullopt;
    std::uniform_int_distribution<std::size_t> pick(0, moves.size() - 1);
    return moves[pick(random_)];
}

// The human's move, made on the board and reported; with no legal move left the report is
// "00-00", so that the reading program still gets an answer.
std::string Board::human_moves() {
    const Colour side = human_side();
    const bool takeback = human_->takeback_first;
    std::string out = takeback ? frame_move_report(side, "Takeback") : std::string();
    return out + report_human_move(side, human_choice());
}

std::string Board::report_human_move(Colour side, const std::optional<Move>& move) {
    human_.reset();
    ++human_moves_made_;
    std::string report = move ? human_move_text(game_, *move) : std::string(no_move_text);
    if (move) game_.make(*move);
    entered_.reset();
    return frame_move_report(side, report);
}

std::string Board::person_moves(const Move& move) {
    if (!waits_for_person() || !game_.is_legal(move)) return {};
    return report_human_move(human_side(), move);
}

// The programs look for one take-back report before each move, so a second one is refused.
std::string Board::person_takes_back() {
    if (!waits_for_person() || human_->takeback_first) return {};
    human_->takeback_first = true;
    return frame_move_report(human_side(), "Takeback");
}

}  // namespace osa::board
