#include "uci_commands.h"

#include "board_dialogue.h"
#include "console.h"
#include "text.h"

namespace osa {

void answer_uci(SerialLine& line, const std::vector<std::string>& identification) {
    for (const std::string& text : identification) write_console_line(text);
    write_console_line("option name OwnBook type check default true");
    send_command(line, "NEWGAME");
    std::string reply;
    collect_reply(line, reply);
    if (contains(reply, "New Game")) write_console_line("uciok");
}

void start_new_game(SerialLine& line) {
    send_command(line, "NEWGAME");
    await_prompt(line);
}

void show_board(SerialLine& line) {
    send_command(line, "POSITION");
    std::string listing;
    collect_reply(line, listing, end_of_reply, LineBreaks::keep);
    write_console_line(listing);
}

}  // namespace osa
