// A UCI engine run as a child process through a shell command line, for the match driver.
#pragma once

#include <optional>
#include <string>

#include "launcher.h"

namespace osa::match {

class UciEngine {
public:
    // Starts "/bin/sh -c exec command"; throws std::runtime_error when its pipes cannot be made. An
    // engine that cannot run ends at once, as the shell reports it.
    explicit UciEngine(const std::string& command);
    ~UciEngine();
    UciEngine(const UciEngine&) = delete;
    UciEngine& operator=(const UciEngine&) = delete;

    bool send(const std::string& line);
    // The next line (without its line end), or nothing when the time runs out or the engine ends.
    std::optional<std::string> read_line(int timeout_ms);
    // The first line that begins with the prefix; lines before it are skipped.
    std::optional<std::string> wait_for(const std::string& prefix, int timeout_ms);
    // Sends "quit", waits a little, then ends the engine; returns its exit status.
    int quit(int grace_ms);
    // True once the engine has ended: its output has ended (it exited, or closed its standard
    // output), or a write found its input closed.
    bool ended() const { return ended_; }

private:
    board::Child child_;
    std::string buffered_;
    bool ended_ = false;
};

}  // namespace osa::match
