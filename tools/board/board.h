// The emulated board's command language: one command line in, the reply bytes out.
//
// Principles of operation. The programs write a command and then read the reply byte by byte
// up to the end-of-reply character ETB (code 23); they never keep the prompt ">". So every reply
// here is complete in itself and ends exactly with ETB: a byte after it would be read as the
// start of the next exchange. Two commands get no reply at all, because the programs never read
// one: "ENGLISH" (sent first, before "OPEN") and "CLOSE" (the program closes the line at once).
//
// The board computer searches on a thread of its own (BackgroundSearch). "PLAY", or a "MOVE" in
// normal play mode, starts a search for the side to move; when it has chosen, its move is held
// until a "MOVE" naming it arrives, which makes it without starting a new search. Until then
// "SENDINFO" keeps returning the final search report, which ends with ".".
//
// In analysis mode ("ANALYSIS") the board plays the human: after a delay a legal move for the
// side to move is made and reported unasked. poll() hands out such delayed output when it is due;
// next_event_in() tells the serving loop how long it may sleep. Any command that arrives before
// the human has moved cancels that move: the programs never talk while waiting for one, so a
// command then means a new program or a new state of the game.
//
// With the human played by a person on the board's web page, the board waits after "ANALYSIS"
// as a real board does, however long that takes: person_moves() or person_takes_back() make
// the report when the person acts.
//
// Interface summary: handle(line) for each command line (without its CR LF); poll() and
// next_event_in() for the human's moves; person_moves() and person_takes_back() for a person's;
// position(), last_entered_move() and computer_variation() for tests, traces and the web page.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "chess.h"
#include "notation.h"
#include "search.h"

namespace osa::board {

inline constexpr char end_of_reply = '\x17';
inline constexpr std::string_view identification = "OSA emulated board v1";

enum class HumanKind { random, engine, person };

struct BoardOptions {
    int think_ms = 1000;
    int level = 64;  // the board computer's maximum search depth
    HumanKind human = HumanKind::random;
    int human_delay_ms = 500;
    int takeback_every = 0;  // every n-th human move is preceded by a take-back report; 0 never
    std::uint32_t seed = 1;
    bool repeatable = false;  // searches counted in nodes rather than timed, so that a seeded game repeats
    MoveStyle report_style;  // how the search reports write their moves
};

// Milliseconds since some fixed start; the serving loop passes a steady clock, tests a fake one.
using Clock = std::function<std::int64_t()>;

// Pure formatting, exposed for tests.
std::string reply(std::string_view text);  // text, CR LF, prompt, ETB
std::string prompt_only();                 // prompt, ETB
// The human's move report, framed by the human's side: Black's reports end with a line end
// before ETB and White's begin with one, so that both ways of reading a report find its end.
std::string frame_move_report(chess::Colour human_side, std::string_view report);
std::string search_report(const chess::Position& root, const SearchProgress& progress, MoveStyle style);
std::string board_listing(const chess::Position& pos, bool sensors_on);

class Board {
public:
    Board(BoardOptions options, Clock clock);

    std::string handle(std::string_view command);
    std::string poll();
    std::optional<std::int64_t> next_event_in() const;  // ms; nothing when no event is pending

    const chess::Position& position() const { return game_; }
    int level() const { return level_; }
    bool computer_thinking() const { return thinking_; }
    // The move last entered with "MOVE", while it is the last move made on the board.
    std::optional<chess::Move> last_entered_move() const { return entered_; }
    // What the board computer (or the engine playing the human) currently means to play.
    std::vector<chess::Move> computer_variation() const;

    // True while a person is to make the human's move.
    bool waits_for_person() const { return options_.human == HumanKind::person && human_.has_value(); }
    // The report of the person's move; empty when the board is not waiting or the move is illegal.
    std::string person_moves(const chess::Move& move);
    bool takeback_allowed() const { return waits_for_person() && !human_->takeback_first; }
    // The take-back report, once per move the board waits for; empty otherwise.
    std::string person_takes_back();

    // Blocks until the board computer's current search has chosen; for tests.
    void wait_for_computer() { search_.wait(); }

private:
    enum class Mode { normal, analysis, setup };

    struct HumanTurn {
        std::int64_t due_ms;
        bool takeback_first;
    };

    std::string on_open();
    std::string on_close();
    std::string on_newgame();
    std::string on_listing();
    std::string on_setup();
    std::string on_function_new();
    std::string on_place(std::string_view arguments);
    std::string on_board_sensors(bool on);
    std::string on_normal();
    std::string on_sendinfo();
    std::string on_setlevel(std::string_view argument);
    std::string on_play();
    std::string on_takeback();
    std::string on_move(std::string_view text);
    std::string on_analysis();

    SearchLimits limits(int think_ms) const;
    void start_computer();
    void stop_computer();
    bool computer_has_chosen() const;
    std::string human_moves();
    std::optional<chess::Move> human_choice();
    std::string report_human_move(chess::Colour side, const std::optional<chess::Move>& move);
    chess::Colour human_side() const { return game_.side_to_move(); }

    BoardOptions options_;
    Clock clock_;
    chess::Position game_;
    Mode mode_ = Mode::normal;
    bool sensors_on_ = true;
    int level_;
    BackgroundSearch search_;
    bool thinking_ = false;  // a computer search runs or its chosen move waits to be made
    chess::Position search_root_;
    std::optional<HumanTurn> human_;
    std::optional<chess::Move> entered_;
    int human_moves_made_ = 0;
    std::mt19937 random_;
    chess::Placement setup_placement_{};
    chess::Colour setup_side_ = chess::white;
};

}  // namespace osa::board
