// The serving loop: reads the program's bytes from the pty master, hands them to what answers
// on the line (the emulated board, a recording played back, the board behind the web page), and sends its output when it is
// due, through the Wire that holds each byte for its time on a line of the chosen speed. It
// sleeps in poll() between events and never spins.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "descriptor.h"
#include "wire.h"

namespace osa::board {

// Milliseconds since the start, the clock that the board keeps its time on too.
using Clock = std::function<std::int64_t()>;

// Cuts the byte stream into command lines. The programs end each line with CR LF; either byte
// ends a line here, and the empty lines this makes are dropped.
class LineSplitter {
public:
    std::vector<std::string> feed(std::string_view bytes);

private:
    std::string partial_;
};

// What answers the program on the line.
class LineService {
public:
    virtual ~LineService() = default;
    virtual void receive(std::string_view bytes, std::int64_t now_ms) = 0;  // the program's bytes
    virtual std::string due_output(std::int64_t now_ms) = 0;                // bytes for the program
    virtual std::optional<std::int64_t> next_event_in(std::int64_t now_ms) const = 0;
    virtual bool over(std::int64_t) const { return false; }  // serving ends before the program
    // Readable when something besides the line has work for the service (a person on the web
    // page); the loop then asks for due output, and the service empties it.
    virtual int wake_fd() const { return -1; }
    // How many more of the due output's bytes have gone out on the line, in order.
    virtual void sent(std::size_t) {}
    // For a service that also plays the GUI: lines for the program's standard input, and what
    // came on its standard output.
    virtual std::string gui_input() { return {}; }
    virtual bool gui_input_finished() const { return true; }
    virtual void gui_output(std::string_view, std::int64_t) {}
};

struct ServeEnds {
    int stdin_fd = -1;       // when set, serving ends when this reaches end of file
    int child_exit_fd = -1;  // when set, serving ends when this becomes readable
};

// The program's standard input and output, when the emulator plays the GUI. The input is closed
// once the service has no more lines for it; the output is copied to the emulator's own.
struct GuiPipes {
    Descriptor to_program = Descriptor();
    Descriptor from_program = Descriptor();
};

// Serves until one of the ends is reached, the service is over, or the master fails.
void serve(int master_fd, LineService& service, Wire& wire, const Clock& clock, ServeEnds ends, GuiPipes gui = {});

}  // namespace osa::board
