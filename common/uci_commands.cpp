#include "uci_commands.h"

#include "board_dialogue.h"
#include "console.h"
#include "platform.h"
#include "text.h"

#include <optional>
#include <utility>

namespace osa {

namespace {

void serve_gui_while_busy(ConsoleInput& console) {
    for (ConsoleLine& input : console.lines_now()) {
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
        line.read_console_while_waiting([&console] { serve_gui_while_busy(console); });
    }
    ~ConsoleServedWhileBusy() { line.read_console_while_waiting(nullptr); }
    ConsoleServedWhileBusy(const ConsoleServedWhileBusy&) = delete;
    ConsoleServedWhileBusy& operator=(const ConsoleServedWhileBusy&) = delete;
};

// While the board is away the GUI is served as with BusyMode::answer, whatever the mode.
void bring_back_serving(SerialLine& line, ConsoleInput& console, bool served, const BoardRestore& restore,
                        std::string_view position_line, std::string_view reason) {
    std::optional<ConsoleServedWhileBusy> meanwhile;
    if (!served) meanwhile.emplace(line, console);
    bring_back_board(line, restore, position_line, reason);
}

// The command, repeated from its start as often as the line is lost in it and brought back. The
// drain comes first inside, since a line lost while the program was idle fails there.
void handle_restoring(SerialLine& line, ConsoleInput& console, bool served, const CommandHandler& handle,
                      const BoardRestore& restore, const std::string& command, std::string_view position_line) {
    restore.keep_state();
    for (;;) {
        try {
            drain_input(line);
            return handle(command);
        } catch (const SerialLineLost& lost) {
            bring_back_serving(line, console, served, restore, position_line, lost.what());
            restore.rewind_state();
        }
    }
}

}  // namespace

// An unfinished last line is no command yet: the end of input that cut it off ends the wait.
WhileBusy while_busy(const ConsoleLine& input) {
    if (input.status == ReadStatus::end_of_input) return WhileBusy::end_now;
    const std::string command = trim_spaces(input.text);
    if (command == "isready") return WhileBusy::answer_ready;
    return command == "quit" ? WhileBusy::end_now : WhileBusy::keep;
}

void run_command_loop(SerialLine& line, BusyMode busy, const CommandHandler& handle, const BoardRestore& restore) {
    ConsoleInput console;
    std::optional<ConsoleServedWhileBusy> served;
    if (busy == BusyMode::answer) served.emplace(line, console);
    // The GUI's whole last "position " line, kept only for a board that comes back; it is kept
    // before it is handled, so that a board lost in its setup gets the new game's position.
    std::string position_line;
    for (;;) {
        const ConsoleLine input = console.read_line();
        const std::string command = trim_spaces(input.text);
        if (!restore.enabled()) {
            drain_input(line);
            handle(command);
        } else {
            if (starts_with(command, "position ")) position_line = command;
            handle_restoring(line, console, served.has_value(), handle, restore, command, position_line);
        }
        if (asks_to_quit(input, command)) return closing_step(line);
    }
}

void answer_uci(SerialLine& line, const std::vector<std::string>& identification) {
    for (const std::string& text : identification) write_console_line(text);
    write_console_line("option name OwnBook type check default true");
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
