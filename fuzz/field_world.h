// A world for the command loops on a fake clock: a GUI that writes its lines in pieces, a board
// that answers after delays, a serial line that is lost and comes back, an ending signal. The
// platform layer (field_platform.cpp) lets the programs live in it; the invariant fuzzers
// (field_invariants.cpp) build one from the fuzzer's data and judge what happened in it.
#pragma once

#include "chess.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace field {
namespace chess = osa::chess;

inline constexpr char etb = '\x17';

// Bytes that become readable at a time on the fake clock (milliseconds).
struct Timed {
    std::int64_t at = 0;
    std::string bytes;
};

// What the board keeps from its commands: enough to tell whether a board that came back was put
// where it was.
struct BoardModel {
    std::string level;  // the argument of the last level command it took
    chess::Placement placement = chess::Position().placement();
    std::optional<chess::Placement> setup;  // while the position is being set up
    int polls_left = 0;                       // reports before the search's final one
};

struct Loss {
    std::int64_t at = 0;
    std::int64_t down_ms = 0;
    bool keeps_game = false;  // the board comes back with its game, or afresh
};

struct World {
    // The fuzzer's bytes that the board draws its delays from; zeros once used up.
    std::string_view choices;
    std::int64_t now = 0;

    // The GUI: each turn's pieces, relative to the turn's start; a turn begins once the program
    // waits for the GUI with all of the last turn's pieces read. The first begins at once.
    std::vector<std::vector<Timed>> turns;
    std::size_t next_turn = 0;
    std::deque<Timed> scheduled;
    std::optional<std::int64_t> input_ends_at;  // after the last turn
    bool input_ended = false;
    std::string gui_sent;    // every byte read by the program, in order
    std::string gui_output;  // every byte the program wrote
    std::string output_partial;  // of a line not yet ended

    // The line and the board.
    bool converter = false;  // the board answers the converter's search, or the player's moves
    BoardModel board;
    std::deque<Timed> board_output;
    std::vector<Loss> losses;
    std::size_t losses_begun = 0;
    int generation = 0;       // of the last device opened
    int alive_generation = 0;  // of the device that still reaches the board; 0 while it is away
    int handles_open = 0;
    std::vector<std::string> written;  // every command the program wrote, reaching the board or not
    std::optional<std::int64_t> signal_at;
    bool signalled = false;
    long waits = 0;

    // Called when the program waits on the board or pauses (a blocking wait), and when a line of
    // the program's output is complete.
    void (*on_blocking_board_wait)(World&) = nullptr;
    void (*on_output_line)(World&, std::string_view line) = nullptr;
    void (*on_loss)(World&) = nullptr;

    std::uint8_t choose();
    std::int64_t board_delay();
    void begin_turn_if_idle();
    bool gui_due() const;
    std::string take_gui_bytes();
    void begin_due_losses();
    std::optional<std::int64_t> next_loss_at() const;
    bool away() const;
    void board_takes(std::string_view command);
    std::string take_board_bytes(std::size_t count);
    bool board_due() const;
};

World& world();

// A fault in the world's own terms: the fuzzer reports it and stops.
[[noreturn]] void broken(std::string_view invariant);

}  // namespace field
