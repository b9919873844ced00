// The console line channel: UCI lines in on standard input, answers out on standard output.
//
// Lines of any length are read in pieces; LF and CR LF both end a line. Every written text goes
// to the operating system at once, so the GUI sees each answer as soon as its line end is written.
// Writes that fail (the GUI closed its end of the pipe) are ignored. Standard error is never written.
#pragma once

#include <string>
#include <string_view>

namespace osa {

enum class ReadStatus { done, end_of_input };

struct ConsoleLine {
    std::string text;
    ReadStatus status = ReadStatus::done;
};

// Prepares standard input and output; a write to a closed pipe must not end the process.
void open_console_input();

// Reads standard input line by line; owned by the command loop.
class ConsoleInput {
public:
    // Waits for one line. At the end of input it returns what was read of an unfinished last line
    // with status end_of_input, and an empty text with that status on every later call.
    ConsoleLine read_line();

private:
    std::string pending_;  // bytes read that belong to lines not yet returned
    bool ended_ = false;
};

// "quit", or the end of input: a GUI that closes the pipe without "quit" still gets the board
// closed properly.
bool asks_to_quit(const ConsoleLine& input, std::string_view command);

void write_console(std::string_view text);
void write_console_line(std::string_view text);

}  // namespace osa
