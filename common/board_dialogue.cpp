#include "board_dialogue.h"

#include "console.h"
#include "run_trace.h"
#include "text.h"

namespace osa {
namespace {

// Every read of the board goes through here, so that the run trace sees each byte. A read that
// will wait may wait for ever, so the trace first gets the lines the board has sent.
std::string read_board(SerialLine& line, std::size_t count) {
    if (tracing() && line.pending_count() == 0) trace_board_quiet();
    std::string bytes = line.read(count);
    trace_bytes(TraceTag::from_board, bytes);
    return bytes;
}

}  // namespace

void send_command(SerialLine& line, std::string_view command) { line.write_line(command); }

void await_prompt(SerialLine& line, char terminator) {
    while (read_board(line, 1)[0] != terminator) {
    }
}

void send_and_await(SerialLine& line, std::string_view command) {
    send_command(line, command);
    await_prompt(line);
}

std::string collect_reply(SerialLine& line, char terminator, LineBreaks breaks) {
    std::string reply;
    for (;;) {
        const char c = read_board(line, 1)[0];
        const auto code = static_cast<unsigned char>(c);
        const bool printable = code >= 32 && c != '>';
        const bool kept_break = breaks == LineBreaks::keep && (c == '\r' || c == '\n');
        if (printable || kept_break) reply.push_back(c);
        if (c == terminator) return reply;
    }
}

void drain_input(SerialLine& line) {
    for (std::int64_t waiting = line.pending_count(); waiting > 0; waiting = line.pending_count())
        read_board(line, static_cast<std::size_t>(waiting));
}

std::string exchange_greeting(SerialLine& line, const ReplyReader& read_reply) {
    send_command(line, "ENGLISH");
    // The board needs a moment after the language switch; its answer to it stays waiting and is
    // read together with the answer to "OPEN", up to the first end-of-reply character.
    line.pause(250);
    send_command(line, "OPEN");
    return read_reply(line);
}

void greet_board(SerialLine& line) {
    const std::string reply = exchange_greeting(line, [](SerialLine& board) { return collect_reply(board); });
    write_console_line("info string " + trim_spaces(reply));
}

void closing_step(SerialLine& line) {
    send_command(line, "CLOSE");
    line.close();
}

}  // namespace osa
