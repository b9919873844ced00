// Playing back the board's side of a recorded run, without any clock or descriptor of its own:
// the serving loop hands in the program's bytes and the time, and takes out what to send.
//
// The recording is cut into stretches, each opened by one to-board entry (the first by the start
// of the run). A stretch opens when the program has sent all bytes of its to-board entry, the
// same bytes as recorded; its from-board entries then go out, each after its recorded delay from
// the one before (or at once, untimed), and then its from-gui lines. The GUI lines wait for the
// board's bytes of their stretch, even for those recorded after them: the program reads the
// line only when it chooses, so bytes that it read late (discarding what waited after a GUI
// line) had been sent before that line came.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "run_trace.h"
#include "serve.h"
#include "trace.h"

namespace osa::board {

// Where a byte stream parts from the one expected, line by line (a line ends with LF).
struct LineDifference {
    int number = 1;        // the line of the expected stream, from 1
    std::string recorded;  // that line with its LF; empty past the expected stream's end
    std::string received;  // what came in its place so far
};

class StreamCheck {
public:
    explicit StreamCheck(std::string expected) : expected_(std::move(expected)) {}

    void feed(std::string_view bytes);
    bool differs() const { return differs_; }
    // The received line of the difference has come up to its LF.
    bool difference_whole() const { return differs_ && !received_line_.empty() && received_line_.back() == '\n'; }
    bool complete() const { return !differs_ && matched_ == expected_.size(); }
    std::size_t matched() const { return matched_; }
    int lines() const;  // lines of the expected stream
    // The difference, or before one the line still expected and what came of it.
    LineDifference difference() const;

private:
    std::string expected_;
    std::size_t matched_ = 0;
    std::size_t line_start_ = 0;
    int line_number_ = 1;
    bool differs_ = false;
    std::string received_line_;
};

struct ReplayOptions {
    bool timed = true;
    bool check_gui = false;  // the program's standard output is compared with the to-gui entries
};

class Replay {
public:
    // How long a differing command may take to arrive whole before it is reported as it stands.
    static constexpr std::int64_t rest_of_line_ms = 500;

    Replay(const std::vector<TraceEntry>& run, ReplayOptions options);

    void receive(std::string_view bytes, std::int64_t now_ms);  // from the program
    std::string board_output(std::int64_t now_ms);              // for the program, due now
    std::string take_gui_input();                               // GUI lines reached
    bool gui_input_finished() const;                            // every GUI line has been taken
    void gui_output(std::string_view bytes, std::int64_t now_ms);  // the program's standard output
    std::optional<std::int64_t> next_event_in(std::int64_t now_ms) const;

    // A difference to report, whole or after its time.
    bool over(std::int64_t now_ms) const;
    // The whole recording went through: every command came and every recorded byte went out.
    bool complete() const;

    // What went wrong, for standard error: the first command (or UCI output line) that differs
    // from the recording, or else the first that the program never sent; empty when nothing did.
    std::string report() const;

    const StreamCheck& commands() const { return commands_; }
    const StreamCheck& uci_output() const { return uci_output_; }
    bool checks_gui() const { return options_.check_gui; }

private:
    struct Step {
        std::size_t stretch;
        bool board;  // from-board bytes, or else a from-gui line
        std::int64_t ms;
        std::string bytes;
    };
    struct Stretch {
        std::size_t commands_end;  // bytes of the command stream sent once it opens
        std::int64_t ms;
    };

    bool step_ready(const Step& step, std::int64_t now_ms) const;
    std::int64_t due_ms(const Step& step) const;
    void open_reached_stretches(std::int64_t now_ms);

    ReplayOptions options_;
    StreamCheck commands_;
    StreamCheck uci_output_;
    std::vector<Stretch> stretches_;
    std::deque<Step> steps_;
    std::size_t opened_ = 1;  // stretches opened; the first opens at the start
    std::int64_t anchor_now_ = 0;
    std::int64_t anchor_ms_ = 0;  // the recorded time that happened at anchor_now_
    std::optional<std::int64_t> differs_since_;
    std::string gui_input_;
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


}  // namespace osa::board
