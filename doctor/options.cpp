#include "options.h"

#include "strict_words.h"
#include "text.h"

#include <cstdint>
#include <limits>

namespace osa::doctor {
namespace {

// A whole number of at most nine digits, so that a long run of leading zeros stays refused.
std::optional<std::uint64_t> decimal(const std::string& text, std::uint64_t limit) {
    if (text.size() > 9) return std::nullopt;
    return decimal_number(text, limit);
}

ParsedArguments refused(std::string why) { return {std::nullopt, std::move(why)}; }

// What the words of the command line say, before the port and the speed are looked at.
struct Words {
    bool help = false;
    bool scan = false;
    std::vector<std::string> positional;  // the port and the speed
    std::string refusal;                  // why the words were refused
};

// Reads the words, the wait into the options; the first bad word is the one refused.
Words read_words(const std::vector<std::string>& arguments, Options& options) {
    Words words;
    StrictWords line(arguments, [](const std::string& word) { return "unknown option " + word; });
    line.help_flag("--help");
    line.flag("--scan", [&] { words.scan = true; });
    line.option("--wait", [&](const std::string& text) -> std::string {
        const auto ms = decimal(text, longest_wait_ms);
        if (!ms || *ms == 0) return "--wait takes milliseconds from 1 to 600000, not \"" + text + "\"";
        options.wait_ms = static_cast<unsigned>(*ms);
        return {};
    });
    words.refusal = line.read([](const std::string&) { return "--wait needs a time in milliseconds"; });
    words.help = line.help_asked();
    // The words left over stood before whatever ended the reading.
    for (const std::string& word : line.remaining()) {
        if (word == "-h") return {true, false, {}, ""};
        if (word.size() > 1 && word[0] == '-') return {false, false, {}, "unknown option " + word};
        words.positional.push_back(word);
    }
    return words;
}

}  // namespace

ParsedArguments parse_arguments(const std::vector<std::string>& arguments) {
    Options options;
    const Words words = read_words(arguments, options);
    if (words.help) {
        options.mode = Mode::help;
        return {options, {}};
    }
    if (!words.refusal.empty()) return refused(words.refusal);
    const std::vector<std::string>& positional = words.positional;
    const bool scan = words.scan;
    if (positional.size() > 2) return refused("too many arguments: one port and one speed at most");
    if (positional.size() == 2) {
        if (scan) return refused("--scan tries both speeds itself: leave out the speed");
        const auto speed = decimal(positional[1], std::numeric_limits<unsigned>::max());
        if (!speed || *speed == 0) return refused("the speed is a number of baud such as 1200 or 9600, not \"" + positional[1] + "\"");
        options.baud = positional[1];
    }
    if (!positional.empty()) {
        if (positional[0].empty()) return refused("the port name is empty");
        options.port = positional[0];
    }
    options.mode = scan ? Mode::scan : positional.empty() ? Mode::list : Mode::check;
    return {options, {}};
}

unsigned reply_wait_ms(const Options& options) {
    if (options.wait_ms) return *options.wait_ms;
    return options.mode == Mode::scan ? scan_wait_ms : check_wait_ms;
}

std::vector<std::string> usage_text() {
    return {
        "osa-doctor: finds the serial port of an OSA chess board and checks that the board answers",
        "",
        "Usage: osa-doctor                      lists the serial ports found",
        "       osa-doctor PORT [BAUD]          checks the board on one port (BAUD 1200 by default)",
        "       osa-doctor --scan [PORT]        tries 1200 and 9600 baud on every listed port (or on PORT)",
        "       osa-doctor --help               this text",
        "",
        "PORT is a device path (/dev/ttyUSB0, /dev/serial/by-id/...) or a port name COMn: (or COMn)",
        "as Quillrand and Dorvane take it. --wait MS sets how long to wait for the board's reply",
        "(3000 ms for a check, 1500 ms per try for --scan).",
        "Exit status: 0 a board answered, 1 no board answered, 2 bad arguments.",
    };
}

}  // namespace osa::doctor
