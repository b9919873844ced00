#include "uci_commands.h"

#include "board_dialogue.h"
#include "console.h"
#include "end_requested.h"
#include "text.h"

#include <optional>
#include <utility>

namespace osa {

namespace {

// What a line that the GUI sends while the board is busy asks for.
enum class WhileBusy { answer_ready, end_now, keep };

// An unfinished last line is no command yet: the end of input that cut it off ends the wait.
WhileBusy while_busy(const ConsoleLine& input) {
    if (input.status == ReadStatus::end_of_input) return WhileBusy::end_now;
    const std::string command = trim_spaces(input.text);
    if (command == "isready") return WhileBusy::answer_ready;
    return command == "quit" ? WhileBusy::end_now : WhileBusy::keep;
}

void serve_gui_while_busy(ConsoleInput& console, SerialLine::ConsoleBytes bytes) {
    auto lines = bytes == SerialLine::ConsoleBytes::held ? console.lines_held() : console.lines_now();
    for (ConsoleLine& input : lines) {
        switch (while_busy(input)) {
        case WhileBusy::answer_ready: handle_isready(); break;
        case WhileBusy::end_now: throw EndRequested("the GUI ended the program while the board was busy");
        case WhileBusy::keep: console.keep(std::move(input)); break;
        }
    }
}

// The line must not call a reader whose console has gone.
struct ConsoleServedWhileBusy {
    SerialLine& line;
    ConsoleServedWhileBusy(SerialLine& served, ConsoleInput& console) : line(served) {
        line.read_console_while_waiting(
            [&console](SerialLine::ConsoleBytes bytes) { serve_gui_while_busy(console, bytes); });
    }
    ~ConsoleServedWhileBusy() { line.read_console_while_waiting(nullptr); }
    ConsoleServedWhileBusy(const ConsoleServedWhileBusy&) = delete;
    ConsoleServedWhileBusy& operator=(const ConsoleServedWhileBusy&) = delete;
};

// A "uci" that a lost line cut short and that is done again has given the GUI its identification
// already: the GUI gets those lines once for each "uci" it sent.
bool identification_given = false;

// One line of the GUI at a time; the command under way is repeated from its start as often as the
// line is lost in it and brought back.
class CommandLoop {
public:
    CommandLoop(SerialLine& line, BusyMode busy, const CommandHandler& handle, const BoardRestore& restore)
        : line_(line), handle_(handle), restore_(restore) {
        if (busy == BusyMode::answer) served_.emplace(line, console_);
    }

    void run(const std::function<void()>& open_dialogue) {
        open_dialogue();
        for (;;) {
            const ConsoleLine input = console_.read_line();
            const std::string command = trim_spaces(input.text);
            identification_given = false;
            handle_restoring(command);
            if (asks_to_quit(input, command)) return closing_step(line_);
        }
    }

private:
    // The drain comes first inside, since a line lost while the program was idle fails there.
    void handle_restoring(const std::string& command) {
        if (!restore_.enabled()) {
            drain_input(line_);
            return handle_(command);
        }
        // The GUI's whole last "position " line is kept before it is handled, so that a board lost
        // in its setup gets the new game's position; "uci" and "ucinewgame" start a new game on
        // the board, so one lost after them gets the start position, not the last game's.
        if (starts_with(command, "position ")) position_line_ = command;
        if (command == "uci" || command == "ucinewgame") position_line_ = "position startpos";
        restore_.keep_state();
        for (;;) {
            try {
                drain_input(line_);
                return handle_(command);
            } catch (const SerialLineLost& lost) {
                bring_back(lost.what());
                restore_.rewind_state();
            }
        }
    }

    // While the board is away the GUI is served as with BusyMode::answer, whatever the mode.
    void bring_back(std::string_view reason) {
        std::optional<ConsoleServedWhileBusy> meanwhile;
        if (!served_) meanwhile.emplace(line_, console_);
        bring_back_board(line_, restore_, position_line_, reason);
    }

    SerialLine& line_;
    const CommandHandler& handle_;
    const BoardRestore& restore_;
    ConsoleInput console_;
    std::optional<ConsoleServedWhileBusy> served_;
    std::string position_line_;  // the GUI's last "position " line, for a board that comes back
};

}  // namespace

void run_command_loop(SerialLine& line, BusyMode busy, const std::function<void()>& open_dialogue,
                      const CommandHandler& handle, const BoardRestore& restore) {
    CommandLoop(line, busy, handle, restore).run(open_dialogue);
}

void answer_uci(SerialLine& line, const std::vector<std::string>& identification) {
    if (!std::exchange(identification_given, true)) {
        for (const std::string& text : identification) write_console_line(text);
        write_console_line("option name OwnBook type check default true");
    }
    send_command(line, "NEWGAME");
    if (contains(collect_reply(line), "New Game")) write_console_line("uciok");
}

void start_new_game(SerialLine& line) { send_and_await(line, "NEWGAME"); }

void handle_isready() { write_console_line("readyok"); }

void handle_board(SerialLine& line) {
    send_command(line, "POSITION");
    write_console_line(collect_reply(line, end_of_reply, LineBreaks::keep));
}

}  // namespace osa
