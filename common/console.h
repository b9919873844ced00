// The console line channel: UCI lines in on standard input, answers out on standard output.
//
// Lines of any length are read in pieces; LF and CR LF both end a line. Every written text goes
// to the operating system at once, so the GUI sees each answer as soon as its line end is written.
// Writes that fail (the GUI closed its end of the pipe) are ignored. Standard error is never written.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
    // The oldest kept line, else waits for one line. At the end of input it returns what was read
    // of an unfinished last line with status end_of_input, and an empty text with that status on
    // every later call.
    ConsoleLine read_line();

    // One read of standard input (for when it has bytes): the lines it completes, in order, and at
    // the end of input the unfinished last line with status end_of_input.
    std::vector<ConsoleLine> lines_now();

    // The complete lines that earlier reads brought and that were not handed out yet, in order; no
    // read. A GUI's lines often come several in one read, behind the command under way.
    std::vector<ConsoleLine> lines_held();

    // A line read ahead, handed out by read_line before any line read after it.
    void keep(ConsoleLine line) { kept_.push_back(std::move(line)); }

private:
    // A complete line from the bytes read, recorded in the run trace; nothing without a line end.
    std::optional<ConsoleLine> complete_line();
    // The unfinished last line once the input has ended.
    ConsoleLine last_line();

    std::string pending_;  // bytes read that belong to lines not yet returned
    std::size_t searched_ = 0;  // how much of pending_ holds no line end
    std::deque<ConsoleLine> kept_;
    bool ended_ = false;
};

// "quit", or the end of input: a GUI that closes the pipe without "quit" still gets the board
// closed properly.
bool asks_to_quit(const ConsoleLine& input, std::string_view command);

void write_console(std::string_view text);
void write_console_line(std::string_view text);

}  // namespace osa
