#include "startup.h"

#include "console.h"
#include "run_trace.h"

#include <cstdlib>

namespace osa {
namespace {

std::string name_and_version(Program program) {
    return std::string(program == Program::player ? "Quillrand" : "Dorvane") + " " + OSA_VERSION;
}

}  // namespace

Settings start_up(Program program, int argc, const char* const* argv, SerialLine& line) {
    // Before anything is written: a GUI that has gone away must not end the process.
    open_console_input();
    Settings settings;
    read_settings_file(settings, program);
    open_run_trace(trace_file(settings, std::getenv("OSA_TRACE")), name_and_version(program));
    const auto arguments = argument_list(argc, argv);
    if (asks_for_usage(arguments)) {
        for (const std::string& text : usage_screen(program)) write_console_line(text);
        std::exit(0);
    }
    apply_arguments(settings, arguments);
    if (line.open(serial_open_string(settings)) != open_ok) {
        write_console_line("Cannot initialise comport");
        std::exit(0);
    }
    return settings;
}

int run_program(Program program, int argc, const char* const* argv, Session session) {
    SerialLine line;
    const Settings settings = start_up(program, argc, argv, line);
    try {
        session(line, settings);
    } catch (const SerialLineLost& lost) {
        write_console_line(std::string("info string ") + lost.what());
        return 1;
    }
    return 0;
}

}  // namespace osa
