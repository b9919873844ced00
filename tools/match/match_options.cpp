#include "match_options.h"

#include <algorithm>
#include <cstdint>

#include "chess.h"
#include "number_text.h"
#include "strict_words.h"

namespace osa::match {

const char* const usage_text =
    "usage: osa-match --white COMMAND --black COMMAND [options]\n"
    "       osa-match --help\n"
    "\n"
    "  --white COMMAND       shell command line of the engine playing White\n"
    "  --black COMMAND       shell command line of the engine playing Black\n"
    "  --max-moves N         stop the game unfinished after N moves of each side (default 150)\n"
    "  --time MS             each side's clock at the start, sent with go (default 300000)\n"
    "  --inc MS              increment per move (default 0)\n"
    "  --move-timeout MS     a side that takes longer for one move forfeits (default 120000)\n"
    "  --fen FEN             start from this position instead of the initial one\n"
    "  --board-every N       draw the board also after moves N, 2N, 3N, ... (default 0: at the end only)\n"
    "  --pgn FILE            save the game as PGN in FILE\n"
    "  -h, --help            print this text and exit\n"
    "\n"
    "The moves are printed in SAN as they are played, one line per move number (\"12. Nf3 Nc6\");\n"
    "then the board, the time each side used, and the result with its reason.\n"
    "\n"
    "Exit status:\n"
    "  0  the game ended by the rules or by the move limit\n"
    "  1  a side forfeited: an illegal move, no move in time, or its engine ended\n"
    "  2  a bad command line, or an engine that could not be started\n"
    "  3  the game was played but the PGN file could not be written\n";

namespace {

using chess::black;
using chess::white;

// The options that take a whole number, with the range each accepts.
struct NumberOption {
    const char* name;
    long long MatchOptions::*field;
    long long low;
    long long high;
};

constexpr std::array<NumberOption, 5> number_options{{
    {"--max-moves", &MatchOptions::max_moves, 0, 1'000'000'000},
    {"--time", &MatchOptions::time_ms, 0, 1'000'000'000},
    {"--inc", &MatchOptions::inc_ms, 0, 1'000'000'000},
    {"--move-timeout", &MatchOptions::move_timeout_ms, 1, 1'000'000'000},
    {"--board-every", &MatchOptions::board_every, 0, 1'000'000'000},
}};

constexpr std::array<const char*, 4> text_options{"--white", "--black", "--fen", "--pgn"};

// Stores one option's value; the error message, or an empty text when the value is good.
std::string apply_option(MatchOptions& options, const std::string& key, const std::string& value) {
    if (key == "--white" || key == "--black") {
        if (value.find_first_not_of(' ') == std::string::npos) return key + " needs a command line";
        options.commands[key == "--white" ? white : black] = value;
        return "";
    }
    if (key == "--fen") {
        options.fen = value;
        return "";
    }
    if (key == "--pgn") {
        options.pgn_path = value;
        return value.empty() ? "--pgn needs a file name" : "";
    }
    const auto option = std::find_if(number_options.begin(), number_options.end(),
                                     [&](const NumberOption& o) { return key == o.name; });
    const auto n = board::parse_number(value, option->low, option->high);
    if (!n)
        return "bad value '" + value + "' for " + key + ": a whole number from " + std::to_string(option->low) +
               " to " + std::to_string(option->high) + " is needed";
    options.*(option->field) = *n;
    return "";
}

std::vector<std::string> value_options() {
    std::vector<std::string> names(text_options.begin(), text_options.end());
    for (const auto& option : number_options) names.emplace_back(option.name);
    return names;
}

}  // namespace

CommandLine parse_command_line(const std::vector<std::string>& args) {
    CommandLine line;
    const auto unknown = [](const std::string& word) { return "unknown option '" + word + "'"; };
    StrictWords words(args, unknown);
    words.help_flag("--help");
    for (const auto& name : value_options())
        words.option(name, [&line, name](const std::string& value) { return apply_option(line.options, name, value); });
    line.error = words.read([](const std::string& name) { return name + " needs a value"; });
    line.help = words.help_asked();
    // The words left over stood before whatever ended the reading.
    if (const auto rest = words.remaining(); !rest.empty()) {
        if (rest.front() == "-h") return {true, {}, ""};
        return {false, {}, unknown(rest.front())};
    }
    if (line.help) return {true, {}, ""};
    if (line.error.empty() && (line.options.commands[white].empty() || line.options.commands[black].empty()))
        line.error = "both --white and --black are needed";
    return line;
}

}  // namespace osa::match
