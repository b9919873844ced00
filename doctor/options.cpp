#include "options.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <limits>

namespace osa::doctor {
namespace {

std::optional<unsigned long> decimal(const std::string& text, unsigned long limit) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    unsigned long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    if (value > limit) return std::nullopt;
    return value;
}

ParsedArguments refused(std::string why) { return {std::nullopt, std::move(why)}; }

// What the words of the command line say, before the port and the speed are looked at.
struct Words {
    bool help = false;
    bool scan = false;
    std::vector<std::string> positional;  // the port and the speed
    std::string refusal;                  // why the words were refused
};

// Reads the words through CLI11, the wait into the options; the first bad word is the one refused.
Words read_words(const std::vector<std::string>& arguments, Options& options) {
    Words words;
    std::vector<std::string> unread(arguments.rbegin(), arguments.rend());  // CLI11 takes the words from the back
    const auto last_read = [&]() -> const std::string& { return arguments[arguments.size() - unread.size() - 1]; };
    // A value, like a flag, is a word of its own: "--wait=500" is an unknown option.
    const auto read_alone = [&](const std::vector<std::string>& expected) {
        auto read = arguments.end() - std::ssize(unread);
        for (auto word = expected.rbegin(); word != expected.rend(); ++word)
            if (*--read != *word) throw CLI::ValidationError("unknown option " + *read);
    };
    CLI::App app;
    // The usage text is the doctor's own, and "-h" is read from the words left over below, so that
    // "-hx" is an unknown option.
    app.set_help_flag();
    app.allow_extras();  // the port and the speed are left over, in order, with any unknown word
    const auto help = [&](std::int64_t) {
        read_alone({"--help"});
        throw CLI::CallForHelp();
    };
    const auto scan = [&](std::int64_t) {
        read_alone({"--scan"});
        words.scan = true;
    };
    // The wait is checked as it is read, so that the first bad word of the line is the one named.
    const auto wait = [&](const std::string& text) {
        read_alone({"--wait", text});
        const auto ms = decimal(text, longest_wait_ms);
        if (!ms || *ms == 0) throw CLI::ValidationError("--wait takes milliseconds from 1 to 600000, not \"" + text + "\"");
        options.wait_ms = static_cast<unsigned>(*ms);
    };
    app.add_flag_function("--help", help)->disable_flag_override()->trigger_on_parse();
    app.add_flag_function("--scan", scan)->disable_flag_override()->trigger_on_parse();
    app.add_option_function<std::string>("--wait", wait)->trigger_on_parse();
    try {
        app.parse(unread);
    } catch (const CLI::CallForHelp&) {
        words.help = true;
    } catch (const CLI::ValidationError& e) {
        words.refusal = e.what();
    } catch (const CLI::ArgumentMismatch&) {  // the line ends without the wait, or a flag has a value
        words.refusal = last_read() == "--wait" ? "--wait needs a time in milliseconds" : "unknown option " + last_read();
    }
    // The words left over stood before whatever ended the reading.
    for (const std::string& word : app.remaining()) {
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
