#include "player_loop.h"

#include "board_dialogue.h"
#include "move_exchange.h"
#include "position_line.h"
#include "text.h"
#include "uci_commands.h"

namespace osa {
namespace {

constexpr std::string_view position_keyword = "POSI ";

int digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

// Unsigned wrap-around keeps the low 8 bits right whatever the length of the number.
std::uint64_t read_number(std::string_view digits, unsigned base) {
    std::uint64_t number = 0;
    for (char c : digits) {
        const int value = digit_value(c);
        if (value >= static_cast<int>(base)) break;
        number = number * base + static_cast<unsigned>(value);
    }
    return number;
}

void send_modes(SerialLine& line) {
    send_and_await(line, "SENDINFO OFF");
    send_and_await(line, "BOARD ON");
}

void open_dialogue(SerialLine& line) {
    greet_board(line);
    send_modes(line);
}

// A human who played Black in the last game may play White in this one: the side is decided
// again by the first "go".
void begin_game(PlayerState& state) {
    state.new_game = true;
    state.black_side = false;
}

void handle_uci(SerialLine& line, PlayerState& state) {
    answer_uci(line, {"id name Quillrand V1.1", "id author Jorvik Tamsel"});
    begin_game(state);
}

void handle_ucinewgame(SerialLine& line, PlayerState& state) {
    start_new_game(line);
    begin_game(state);
}

void handle_flip(PlayerState& state) { state.flip = 1; }

void handle_position(SerialLine& line, PlayerState& state, std::string_view command) {
    state.last_move = take_position(line, command, state.last_fen, position_keyword).last_move;
}

}  // namespace

ProgramProfile player_profile() {
    return {"Quillrand", {"flip"}, "Play with Scisys/Saitek-Quillrands under Arena", "1.1"};
}

std::uint8_t flip_number(std::string_view value) {
    if (value.size() >= 2 && value[0] == '&') {
        const char prefix = upper_ascii(value.substr(1, 1))[0];
        const unsigned base = prefix == 'H' ? 16 : prefix == 'O' ? 8 : prefix == 'B' ? 2 : 0;
        if (base == 0) return 0;
        return static_cast<std::uint8_t>(read_number(value.substr(2), base));
    }
    bool negative = false;
    if (!value.empty() && (value[0] == '-' || value[0] == '+')) {
        negative = value[0] == '-';
        value.remove_prefix(1);
    }
    const std::uint64_t number = read_number(value, 10);
    return static_cast<std::uint8_t>(negative ? 0 - number : number);
}

std::uint8_t flip_setting(const Settings& settings) { return flip_number(own_value(settings, "flip")); }

void run_player(SerialLine& line, const Settings& settings) {
    PlayerState state;
    state.flip = flip_setting(settings);
    PlayerState kept;
    BoardRestore restore = board_restore(settings, position_keyword, send_modes);
    restore.keep_state = [&] { kept = state; };
    restore.rewind_state = [&] { state = kept; };
    run_command_loop(line, settings.busy, [&] { open_dialogue(line); }, [&](const std::string& command) {
        if (command == "uci") handle_uci(line, state);
        if (command == "isready") handle_isready();
        if (command == "ucinewgame") handle_ucinewgame(line, state);
        if (command == "board") handle_board(line);
        if (command == "flip") handle_flip(state);
        if (starts_with(command, "position ")) handle_position(line, state, command);
        if (starts_with(command, "go")) handle_go(line, state);
    }, restore);
}

}  // namespace osa
