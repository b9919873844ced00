#include "startup.h"

#include "board_dialogue.h"
#include "console.h"
#include "end_requested.h"
#include "platform.h"
#include "run_trace.h"

#include <cstdlib>
#include <filesystem>
#include <optional>

namespace osa {
namespace {

// "cannot open COM1:1200,N,8,1,CS0,DS0,CD0,RS,BIN: status 2, system code 2, No such file or
// directory": what the owner looks for in the trace when the program could not reach the board.
std::string open_failure(std::string_view open_string, const OpenResult& result) {
    return "cannot open " + std::string(open_string) + ": status " + std::to_string(result.status) +
           ", system code " + std::to_string(result.system_code) + ", " + result.system_text;
}

// "Dorvane 1.3.0, settings /home/ann/chess/osa.ini": the program, then which osa.ini it read, or
// "none", so that the owner sees whether the settings came from the folder they expected.
std::string start_entry(const ProgramProfile& profile, const std::optional<std::string>& settings_path) {
    std::error_code failed;
    const std::string file = settings_path ? std::filesystem::absolute(*settings_path, failed).string() : "none";
    return profile.name + " " + OSA_VERSION + ", settings " + file;
}

}  // namespace

StartUp start_up(const ProgramProfile& profile, int argc, const char* const* argv, SerialLine& line) {
    // Before anything is written: a GUI that has gone away must not end the process.
    open_console_input();
    catch_ending_signals();
    StartUp started;
    const auto settings_path = settings_file_path(program_folder(argc > 0 ? argv[0] : nullptr));
    if (settings_path) read_settings_file(started.settings, profile.own_keys, *settings_path);
    open_run_trace(trace_file(started.settings, std::getenv("OSA_TRACE")), start_entry(profile, settings_path));
    const auto arguments = argument_list(argc, argv);
    if (asks_for_usage(arguments)) {
        for (const std::string& text : usage_screen(profile)) write_console_line(text);
        started.outcome = StartOutcome::usage_shown;
        return started;
    }
    apply_arguments(started.settings, arguments);
    const std::string open_string = serial_open_string(started.settings);
    if (const OpenResult opened = line.open(open_string); !opened.ok()) {
        trace_bytes(TraceTag::serial_line, open_failure(open_string, opened));
        write_console_line("Cannot initialise comport");
        started.outcome = StartOutcome::no_port;
    }
    return started;
}

int run_session(Session session, SerialLine& line, const Settings& settings) {
    try {
        session(line, settings);
    } catch (const EndRequested&) {
        closing_step(line);
    } catch (const SerialLineLost& lost) {
        write_console_line(std::string("info string ") + lost.what());
        return 1;
    }
    return 0;
}

int run_program(const ProgramProfile& profile, int argc, const char* const* argv, Session session) {
    SerialLine line;
    const StartUp started = start_up(profile, argc, argv, line);
    if (started.outcome != StartOutcome::ready) return 0;
    return run_session(session, line, started.settings);
}

}  // namespace osa
