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
// A board answers any command within a fraction of a second even at 1200 baud.
constexpr std::chrono::milliseconds silence_limit{2000};

// The pause between two tries to open the port; the line's pause serves the GUI meanwhile.
void wait_before_next_try(SerialLine& line) { line.pause(retry_interval_ms); }

// The line's reads wait for ever, except while a board that has come back is restored: one that
// falls silent then (a device that opens but is no board, a board that dies again) counts as lost.
class SilenceLimit {
public:
    explicit SilenceLimit(SerialLine& line) : line_(line) { line_.limit_silence(silence_limit); }
    ~SilenceLimit() { line_.limit_silence(std::nullopt); }
    SilenceLimit(const SilenceLimit&) = delete;
    SilenceLimit& operator=(const SilenceLimit&) = delete;

private:
    SerialLine& line_;
};

void restore_board(SerialLine& line, const BoardRestore& restore, std::string_view position_line) {
    const SilenceLimit limit(line);
    greet_board(line);
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
