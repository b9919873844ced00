// osa-doctor: lists the serial ports, checks one port step by step with the board's opening
// dialogue, or tries both of the board's speeds on every port, and prints the lines that make
// Quillrand and Dorvane reach the board. Everything goes to standard output except the complaint
// about bad arguments, which goes to standard error.
//
// Exit status: 0 a board answered (the listing: a port was found), 1 none did, 2 bad arguments.

#include "findings.h"
#include "options.h"
#include "probe.h"
#include "settings.h"

#include <iostream>

namespace {

using namespace osa::doctor;

void print(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) std::cout << line << '\n';
    std::cout.flush();
}

// The line settings of the programs' own open string at that speed.
std::optional<osa::SerialSettings> programs_line(const PortTarget& target, const std::string& baud) {
    osa::Settings settings;
    settings.port_name = "COM" + std::to_string(target.com) + ":";
    settings.baud_text = baud;
    return osa::parse_serial_open_string(osa::serial_open_string(settings));
}

int run_listing() {
    const auto ports = find_ports();
    print(listing_lines(ports, posix_system()));
    return ports.empty() ? 1 : 0;
}

int run_check(const Options& options) {
    const PortTarget target = resolve_port(options.port, find_ports());
    print({target_line(target, posix_system())});
    const auto settings = programs_line(target, options.baud);
    if (!settings) {
        print({"The speed " + options.baud + " does not fit the programs' open string."});
        return 1;
    }
    const unsigned wait = reply_wait_ms(options);
    const PortCheck check = check_port(target, *settings, wait);
    print(check_lines(target, *settings, wait, check, posix_system()));
    if (check.outcome != Outcome::answered) return 1;
    print({"", "The lines to use:"});
    print(lines_to_use(target, options.baud, posix_system()));
    return 0;
}

struct Answer {
    PortTarget target;
    std::string baud;
};

int run_scan(const Options& options) {
    const auto ports = find_ports();
    const std::vector<std::string> paths = options.port.empty() ? ports_to_scan(ports) : std::vector{options.port};
    if (paths.empty()) {
        print(listing_lines(ports, posix_system()));
        return 1;
    }
    const unsigned wait = reply_wait_ms(options);
    print({"Trying 1200 and 9600 baud on each port, up to " + std::to_string(wait) + " ms each:"});
    std::vector<Answer> answers;
    for (const std::string& path : paths) {
        const PortTarget target = resolve_port(path, ports);
        // A port stops at its first answer: the board answers at one speed only.
        for (const std::string baud : {"1200", "9600"}) {
            const auto settings = programs_line(target, baud);
            const PortCheck check = check_port(target, *settings, wait);
            print({"  " + target.device + " at " + baud + " baud: " + scan_summary(check)});
            if (check.outcome != Outcome::answered) continue;
            answers.push_back({target, baud});
            break;
        }
    }
    if (answers.empty()) {
        print({"No board answered on any port at either speed. Check that the board is switched on, connected",
               "and its serial interface on; osa-doctor PORT shows what one port does in detail."});
        return 1;
    }
    for (const Answer& answer : answers) {
        print({"", "A board answered on " + answer.target.device + " at " + answer.baud + " baud. The lines to use:"});
        print(lines_to_use(answer.target, answer.baud, posix_system()));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const ParsedArguments parsed = parse_arguments(arguments);
    if (!parsed.options) {
        std::cerr << "osa-doctor: " << parsed.error << '\n' << "Try osa-doctor --help.\n";
        return 2;
    }
    switch (parsed.options->mode) {
    case Mode::help: print(usage_text()); return 0;
    case Mode::list: return run_listing();
    case Mode::scan: return run_scan(*parsed.options);
    case Mode::check: break;
    }
    return run_check(*parsed.options);
}
