#include "converter_loop.h"

#include "board_dialogue.h"
#include "console.h"
#include "position_line.h"
#include "search_relay.h"
#include "text.h"
#include "uci_commands.h"

namespace osa {
namespace {

constexpr std::string_view position_keyword = "POSITION ";

struct LoopState {
    std::string last_fen;
    SearchState search;
    // The command that set the board's level last: osa.ini's level, or the GUI's own "setlevel"
    // line, which a board that comes back is given again. Empty while neither set one.
    std::string level_command;
};

// osa.ini's level goes to the board only when it is two characters long.
std::string level_command_of(const ConverterSettings& settings) {
    return settings.level_text.size() == 2 ? "SETLEVEL " + settings.level_text : std::string();
}

void send_modes(SerialLine& line, const std::string& level_command) {
    send_and_await(line, "BOARD OFF");
    send_and_await(line, "SENDINFO OFF");
    if (!level_command.empty()) send_and_await(line, level_command);
}

void open_dialogue(SerialLine& line, const std::string& level_command) {
    greet_board(line);
    send_modes(line, level_command);
}

std::vector<std::string> identification(const ConverterSettings& settings) {
    if (settings.engine_name.empty() && settings.module_name.empty())
        return {"id name Dorvane V1.2", "id author Jorvik Tamsel"};
    std::string name = "id name " + settings.engine_name;
    if (!settings.module_name.empty()) name += " with " + settings.module_name;
    return {name};
}

void handle_uci(SerialLine& line, const ConverterSettings& settings) { answer_uci(line, identification(settings)); }

void handle_ucinewgame(SerialLine& line) { start_new_game(line); }

// The GUI's own "setlevel" line goes to the board as it stands.
void handle_setlevel(SerialLine& line, LoopState& state, const std::string& command) {
    state.level_command = command;
    send_command(line, command);
    write_console_line(collect_reply(line));
}

// Only the GUI's newest move is kept; the board knows the game.
void handle_position(SerialLine& line, LoopState& state, const std::string& command) {
    const PositionLine position = take_position(line, command, state.last_fen, position_keyword);
    state.search.last_move = position.last_move;
    state.search.white_to_move = white_to_move_after(command, position);
}

}  // namespace

ProgramProfile converter_profile() {
    return {"Dorvane", {"name", "modul", "level", "pv"}, "Dorvane converter for Scisys/Saitek chess boards", "1.2"};
}

ConverterSettings converter_settings(const Settings& settings) {
    // "pv" is an extension: without "pv=uci" the info lines stay as the board writes them.
    return {own_value(settings, "name"), own_value(settings, "modul"), own_value(settings, "level"),
            lower_ascii(own_value(settings, "pv")) == "uci"};
}

void run_converter(SerialLine& line, const Settings& common_settings) {
    const ConverterSettings settings = converter_settings(common_settings);
    LoopState state;
    state.search.uci_pv = settings.uci_pv;
    state.level_command = level_command_of(settings);
    LoopState kept;
    BoardRestore restore = board_restore(common_settings, position_keyword,
                                         [&](SerialLine& board) { send_modes(board, state.level_command); });
    restore.keep_state = [&] { kept = state; };
    restore.rewind_state = [&] { state = kept; };
    run_command_loop(line, common_settings.busy, [&] { open_dialogue(line, state.level_command); },
                     [&](const std::string& command) {
        if (command == "uci") handle_uci(line, settings);
        if (command == "isready") handle_isready();
        if (command == "ucinewgame") handle_ucinewgame(line);
        if (command == "board") handle_board(line);
        if (starts_with(command, "setlevel")) handle_setlevel(line, state, command);
        if (starts_with(command, "position ")) handle_position(line, state, command);
        if (starts_with(command, "go")) handle_go(line, state.search);
    }, restore);
}

}  // namespace osa
