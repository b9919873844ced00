#include "options.h"

#include <algorithm>
#include <functional>
#include <map>

#include "number_text.h"
#include "strict_words.h"

namespace osa::board {

const char* const usage_text =
    "usage: osa-emulator [options] [-- PROGRAM [ARGS...]]\n"
    "\n"
    "Emulates a chess board with an OSA interface on a pseudo-terminal. With a PROGRAM, starts\n"
    "it with OSA_COMn naming the pty, hands it this process's standard input and output, and\n"
    "exits with its exit status. Without one, prints the pty's path and serves until standard\n"
    "input closes.\n"
    "\n"
    "  --think MS          board computer's thinking time per move (default 1000)\n"
    "  --level N           board computer's maximum search depth, 1-99 (default 64)\n"
    "  --human KIND        the player in analysis mode: random, engine, or web: a person\n"
    "                      on the board's web page (default random)\n"
    "  --view              serve the web page read-only: the position and the board\n"
    "                      computer's variation\n"
    "  --web-port N        the web page's port on 127.0.0.1 (default: a free one)\n"
    "  --human-delay MS    time before the player's move is reported (default 500)\n"
    "  --takeback-every N  every N-th player move is preceded by a take-back (default 0: never)\n"
    "  --seed N            repeat the game: seed for the player's random choices, and every\n"
    "                      search counted in nodes (400 per ms of --think or --human-delay)\n"
    "                      rather than timed (default: a seed from the system, timed)\n"
    "  --castling STYLE    castling in search reports: letters (O-O) or squares (e1-g1)\n"
    "  --captures SIGN     captures in search reports: x (e4xd5) or dash (e4-d5) (default x)\n"
    "  --checks KIND       checks in search reports: none or signs (d1-h5+, O-O#) (default none)\n"
    "  --port COMn:        the port name whose variable is set: OSA_COMn (default COM1:)\n"
    "  --trace FILE        write every command and reply, with times, to FILE\n"
    "  --wire-speed BAUD   send no faster than a serial line of BAUD (10 bits a byte)\n"
    "  --unplug WHEN,DOWN_MS[,keep|reset]\n"
    "                      unplug the board after WHEN command lines (or at WHENms since the\n"
    "                      start) for DOWN_MS; it comes back with its game (keep) or a fresh\n"
    "                      one (reset). May be repeated; needs a PROGRAM, which then finds the\n"
    "                      board through a link of the emulator's own that stays in place\n"
    "  --replay TRACE      instead of the board, play back the last run recorded in the\n"
    "                      program's run trace TRACE; needs a PROGRAM and no board option\n"
    "  --replay-fast       replay without the recorded delays\n"
    "  --replay-gui        also play the GUI: write the recorded UCI lines to PROGRAM's\n"
    "                      standard input and copy its standard output to this one's\n"
    "  --replay-check-gui  with --replay-gui, compare PROGRAM's output with the recording\n"
    "  --help              this text\n"
    "\n"
    "A replay ends with status 3 when a command differs from the recording or the program\n"
    "ends before the recording's last command; both are reported on standard error.\n"
    "\n"
    "With --human web or --view the page's address is written to standard error, and also to\n"
    "standard output after the pty's path when there is no PROGRAM.\n";

namespace {

// Applies one option's value; an error message when the value is unusable.
using Setter = std::function<std::string(EmulatorOptions&, const std::string&)>;

Setter integer(long long low, long long high, std::function<void(EmulatorOptions&, long long)> apply) {
    return [=](EmulatorOptions& options, const std::string& value) -> std::string {
        const auto n = parse_number(value, low, high);
        if (!n) return "needs a number from " + std::to_string(low) + " to " + std::to_string(high);
        apply(options, *n);
        return {};
    };
}

const std::map<std::string, Setter>& setters() {
    static const std::map<std::string, Setter> table{
        {"--think", integer(1, 3'600'000, [](auto& o, long long v) { o.board.think_ms = static_cast<int>(v); })},
        {"--level", integer(1, 99, [](auto& o, long long v) { o.board.level = static_cast<int>(v); })},
        {"--human-delay",
         integer(0, 3'600'000, [](auto& o, long long v) { o.board.human_delay_ms = static_cast<int>(v); })},
        {"--takeback-every",
         integer(0, 1'000'000, [](auto& o, long long v) { o.board.takeback_every = static_cast<int>(v); })},
        {"--seed", integer(0, 4'294'967'295LL,
                           [](auto& o, long long v) {
                               o.board.seed = static_cast<std::uint32_t>(v);
                               o.seed_given = true;
                           })},
        {"--human",
         [](EmulatorOptions& o, const std::string& v) -> std::string {
             static const std::map<std::string, HumanKind> kinds{
                 {"random", HumanKind::random}, {"engine", HumanKind::engine}, {"web", HumanKind::person}};
             const auto kind = kinds.find(v);
             if (kind == kinds.end()) return "needs random, engine or web";
             o.board.human = kind->second;
             return {};
         }},
        {"--castling",
         [](EmulatorOptions& o, const std::string& v) -> std::string {
             if (v != "letters" && v != "squares") return "needs letters or squares";
             o.board.report_style.castling = v == "letters" ? CastlingStyle::letters : CastlingStyle::king_squares;
             return {};
         }},
        {"--captures",
         [](EmulatorOptions& o, const std::string& v) -> std::string {
             if (v != "x" && v != "dash") return "needs x or dash";
             o.board.report_style.capture_sign = v == "x" ? 'x' : '-';
             return {};
         }},
        {"--checks",
         [](EmulatorOptions& o, const std::string& v) -> std::string {
             if (v != "none" && v != "signs") return "needs none or signs";
             o.board.report_style.check_signs = v == "signs";
             return {};
         }},
        {"--port",
         [](EmulatorOptions& o, const std::string& v) -> std::string {
             if (port_variable(v).empty()) return "needs a port name such as COM1:";
             o.port = v;
             return {};
         }},
        {"--trace",
         [](EmulatorOptions& o, const std::string& v) -> std::string {
             o.trace_path = v;
             return {};
         }},
        {"--web-port", integer(1, 65535, [](auto& o, long long v) { o.web_port = static_cast<int>(v); })},
        {"--unplug",
         [](EmulatorOptions& o, const std::string& v) -> std::string {
             const auto unplug = parse_unplug(v);
             if (!unplug) return "needs WHEN,DOWN_MS[,keep|reset] such as 60,2000 or 9000ms,1500,reset";
             o.unplugs.push_back(*unplug);
             return {};
         }},
        {"--wire-speed", integer(1, 10'000'000, [](auto& o, long long v) { o.wire_baud = v; })},
        {"--replay",
         [](EmulatorOptions& o, const std::string& v) -> std::string {
             if (v.empty()) return "needs a trace file";
             o.replay_path = v;
             return {};
         }},
    };
    return table;
}

// The options without a value.
const std::map<std::string, bool EmulatorOptions::*>& flags() {
    static const std::map<std::string, bool EmulatorOptions::*> table{
        {"--help", &EmulatorOptions::help},
        {"--view", &EmulatorOptions::view},
        {"--replay-fast", &EmulatorOptions::replay_fast},
        {"--replay-gui", &EmulatorOptions::replay_gui},
        {"--replay-check-gui", &EmulatorOptions::replay_check_gui},
    };
    return table;
}

// The options of the emulated board have nothing to act on in a replay.
bool is_board_option(const std::string& arg) {
    static const std::vector<std::string> board{"--think", "--level",  "--human",    "--human-delay", "--takeback-every",
                                                "--seed",  "--castling", "--captures", "--checks", "--web-port"};
    return std::find(board.begin(), board.end(), arg) != board.end();
}

std::string replay_conflict(const EmulatorOptions& options, const std::string& board_option) {
    const bool replay = !options.replay_path.empty();
    if (!replay && (options.replay_fast || options.replay_gui || options.replay_check_gui))
        return "--replay-fast, --replay-gui and --replay-check-gui need --replay";
    if (!replay) return {};
    if (options.child_command.empty()) return "--replay needs a program after --";
    if (!options.unplugs.empty()) return "--unplug has no effect with --replay";
    if (options.replay_check_gui && !options.replay_gui) return "--replay-check-gui needs --replay-gui";
    if (!board_option.empty()) return board_option + " has no effect with --replay: the recording answers";
    if (options.view) return "--view has no effect with --replay: the recording answers";
    return {};
}

std::string page_conflict(const EmulatorOptions& options) {
    if (options.web_port != 0 && !serves_page(options)) return "--web-port needs --human web or --view";
    return {};
}

// Reads the words of the command line into the options; the error message for the first bad
// word, if any.
std::string read_options(const std::vector<std::string>& args, EmulatorOptions& options, std::string& board_option) {
    StrictWords line(args, [](const std::string& word) { return "unknown option " + word; });
    for (const auto& entry : flags()) {
        const auto flag = entry.second;
        line.flag(entry.first, [&options, flag] { options.*flag = true; });
    }
    for (const auto& entry : setters()) {
        line.option(entry.first, [&, entry](const std::string& value) -> std::string {
            if (is_board_option(entry.first)) board_option = entry.first;
            const std::string error = entry.second(options, value);
            return error.empty() ? error : entry.first + " " + error;
        });
    }
    const std::string refused = line.read([](const std::string& name) { return name + " needs a value"; });
    // The words left over stood before the one refused, if any.
    const auto rest = line.remaining();
    for (auto word = rest.begin(); word != rest.end(); ++word) {
        if (*word == "-h") {
            options.help = true;
        } else if (*word == "--") {
            options.child_command.assign(word + 1, rest.end());
            if (options.child_command.empty()) return "-- needs a program to run";
            break;
        } else {
            return "unknown option " + *word;
        }
    }
    return refused;
}

}  // namespace

std::optional<Unplug> parse_unplug(const std::string& text) {
    std::vector<std::string> fields;
    for (std::size_t start = 0;;) {
        const auto comma = text.find(',', start);
        fields.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (fields.size() < 2 || fields.size() > 3) return std::nullopt;
    Unplug unplug;
    std::string when = fields[0];
    unplug.by_time = when.ends_with("ms");
    if (unplug.by_time) when.resize(when.size() - 2);
    const auto at = parse_number(when, unplug.by_time ? 0 : 1, 86'400'000);
    const auto down = parse_number(fields[1], 0, 3'600'000);
    if (!at || !down) return std::nullopt;
    unplug.at = *at;
    unplug.down_ms = *down;
    if (fields.size() == 3) {
        if (fields[2] != "reset" && fields[2] != "keep") return std::nullopt;
        unplug.reset = fields[2] == "reset";
    }
    return unplug;
}

std::string port_variable(const std::string& port) {
    std::string name = port;
    if (!name.empty() && name.back() == ':') name.pop_back();
    if (name.size() < 4 || name.compare(0, 3, "COM") != 0) return {};
    for (std::size_t i = 3; i < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9') return {};
    return "OSA_" + name;
}

bool serves_page(const EmulatorOptions& options) { return options.view || options.board.human == HumanKind::person; }

std::variant<EmulatorOptions, std::string> parse_options(const std::vector<std::string>& args) {
    EmulatorOptions options;
    std::string board_option;  // the last option of the emulated board given
    if (auto error = read_options(args, options, board_option); !error.empty()) return error;
    if (auto error = replay_conflict(options, board_option); !error.empty()) return error;
    if (!options.unplugs.empty() && options.child_command.empty()) return "--unplug needs a program after --";
    if (auto error = page_conflict(options); !error.empty()) return error;
    return options;
}

}  // namespace osa::board
