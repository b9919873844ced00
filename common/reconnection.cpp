#include "reconnection.h"

#include "board_dialogue.h"
#include "console.h"
#include "fen_setup.h"
#include "position_line.h"
#include "run_trace.h"

#include <chrono>

namespace osa {
namespace {

constexpr unsigned retry_interval_ms = 1000;
// A board answers "OPEN" within a fraction of a second even at 1200 baud.
constexpr unsigned greeting_limit_ms = 2000;

// The pause between two tries to open the port; the line's pause serves the GUI meanwhile.
void wait_before_next_try(SerialLine& line) { line.pause(retry_interval_ms); }

// The line's reads wait for ever: a device that sends nothing within the limit counts as lost.
std::string bounded_greeting_reply(SerialLine& line) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(greeting_limit_ms);
    if (!line.await_bytes(deadline)) throw SerialLineLost("the board did not answer");
    return collect_reply(line);
}

void restore_board(SerialLine& line, const BoardRestore& restore, std::string_view position_line) {
    greet_board(line, bounded_greeting_reply);
    restore.send_modes(line);
    if (position_line.empty()) return;
    // Computed only here: replaying a long game costs nothing while the line holds.
    if (const auto fen = fen_before_last_move(position_line)) setup_position(line, *fen, restore.position_keyword);
}

bool reopened(SerialLine& line, const BoardRestore& restore, std::string_view position_line) {
    if (!line.open(restore.open_string).ok()) return false;
    try {
        restore_board(line, restore, position_line);
        return true;
    } catch (const SerialLineLost& lost) {
        trace_bytes(TraceTag::serial_line, std::string("reopened ") + restore.open_string + ": " + lost.what());
        line.close();
        return false;
    }
}

}  // namespace

BoardRestore board_restore(const Settings& settings, std::string_view position_keyword,
                           std::function<void(SerialLine&)> send_modes) {
    BoardRestore restore;
    if (settings.reconnect) restore.open_string = serial_open_string(settings);
    restore.port_name = settings.port_name;
    restore.send_modes = std::move(send_modes);
    restore.position_keyword = position_keyword;
    return restore;
}

void bring_back_board(SerialLine& line, const BoardRestore& restore, std::string_view position_line,
                      std::string_view reason) {
    write_console_line("info string " + std::string(reason) + "; reopening " + restore.port_name + " once a second");
    line.close();
    do wait_before_next_try(line);
    while (!reopened(line, restore, position_line));
    write_console_line("info string the board on " + restore.port_name + " is back");
}

}  // namespace osa
