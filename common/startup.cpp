#include "startup.h"

#include "console.h"
#include "run_trace.h"

#include <cstdlib>

namespace osa {
namespace {

std::string name_and_version(Program program) {
    return std::string(program == Program::player ? "Quillrand" : "Dorvane") + " " + OSA_VERSION;
}

// "cannot open COM1:1200,N,8,1,CS0,DS0,CD0,RS,BIN: status 2, system code 2, No such file or
// directory": what the owner looks for in the trace when the program could not reach the board.
std::string open_failure(std::string_view open_string, const OpenResult& result) {
    return "cannot open " + std::string(open_string) + ": status " + std::to_string(result.status) +
           ", system code " + std::to_string(result.system_code) + ", " + result.system_text;
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
    const std::string open_string = serial_open_string(settings);
    if (const OpenResult opened = line.open(open_string); !opened.ok()) {
        trace_bytes(TraceTag::serial_line, open_failure(open_string, opened));
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
