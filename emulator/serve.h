// The serving loop: reads the program's bytes from the pty master, hands them to what answers
// on the line (the emulated board, or a recording played back), and sends its output when it is
// due, through the Wire that holds each byte for its time on a line of the chosen speed. It
// sleeps in poll() between events and never spins.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "board.h"
#include "pty.h"
#include "replay.h"
#include "trace.h"
#include "wire.h"

namespace osa::board {

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

// The emulated board; every command line and reply is traced, the reply when it is queued.
class BoardService : public LineService {
public:
    BoardService(Board& board, Trace& trace) : board_(board), trace_(trace) {}
    void receive(std::string_view bytes, std::int64_t now_ms) override;
    std::string due_output(std::int64_t now_ms) override;
    std::optional<std::int64_t> next_event_in(std::int64_t) const override { return board_.next_event_in(); }

private:
    std::string traced(std::string bytes, std::int64_t now_ms);

    Board& board_;
    Trace& trace_;
    LineSplitter lines_;
    std::string answers_;
};

// A recording played back; every command line and reply is traced, the reply when it is queued.
class ReplayService : public LineService {
public:
    ReplayService(Replay& replay, Trace& trace) : replay_(replay), trace_(trace) {}
    void receive(std::string_view bytes, std::int64_t now_ms) override;
    std::string due_output(std::int64_t now_ms) override;
    std::optional<std::int64_t> next_event_in(std::int64_t now_ms) const override {
        return replay_.next_event_in(now_ms);
    }
    bool over(std::int64_t now_ms) const override { return replay_.over(now_ms); }
    std::string gui_input() override { return replay_.take_gui_input(); }
    bool gui_input_finished() const override { return replay_.gui_input_finished(); }
    void gui_output(std::string_view bytes, std::int64_t now_ms) override { replay_.gui_output(bytes, now_ms); }

private:
    Replay& replay_;
    Trace& trace_;
    LineSplitter lines_;
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
