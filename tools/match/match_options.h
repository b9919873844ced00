// osa-match's command line: the two engines and the game's limits, or the usage text.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace osa::match {

extern const char* const usage_text;

struct MatchOptions {
    std::array<std::string, 2> commands;  // White's and Black's shell command lines
    long long max_moves = 150;
    long long time_ms = 300'000;
    long long inc_ms = 0;
    long long move_timeout_ms = 120'000;
    long long board_every = 0;
    std::string fen;
    std::string pgn_path;
};

// What the command line asks for: the help text, a game, or nothing but an error message.
struct CommandLine {
    bool help = false;
    MatchOptions options;
    std::string error;
};

CommandLine parse_command_line(const std::vector<std::string>& args);

}  // namespace osa::match
