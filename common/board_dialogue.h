// The dialogue with the board: one command line out, then the reply read byte by byte up to
// its terminator. The board ends every reply with ETB (code 23); the prompt ">" is never kept.
// Exchanges never overlap, and no read has a time-out.
#pragma once

#include "board_protocol.h"
#include "serial_line.h"

#include <functional>
#include <string>
#include <string_view>

namespace osa {

enum class LineBreaks { drop, keep };

// The command and CR LF.
void send_command(SerialLine& line, std::string_view command);

// Reads and discards up to and including the terminator.
void await_prompt(SerialLine& line, char terminator = end_of_reply);

// A command whose reply is not looked at: sent, then its prompt awaited.
void send_and_await(SerialLine& line, std::string_view command);

// The printable bytes (codes 32 to 255 except ">") up to the terminator, and with
// LineBreaks::keep also CR and LF.
std::string collect_reply(SerialLine& line, char terminator = end_of_reply, LineBreaks breaks = LineBreaks::drop);

// Discards whatever the board has sent unasked; never waits.
void drain_input(SerialLine& line);

// The board's greeting: "ENGLISH", a pause, "OPEN", and its reply as read_reply takes it from the
// line. The programs wait for the reply as long as it takes; osa-doctor waits a bounded time.
using ReplyReader = std::function<std::string(SerialLine& line)>;
std::string exchange_greeting(SerialLine& line, const ReplyReader& read_reply);

// The greeting, and the board's identification as an "info string " line: the first line that
// the GUI receives from either program.
void greet_board(SerialLine& line);

// The board gets its "CLOSE" and the line is closed; the program then ends with status 0.
void closing_step(SerialLine& line);

}  // namespace osa
