#include "startup.h"

#include "console.h"

#include <cstdlib>

namespace osa {

Settings start_up(Program program, int argc, const char* const* argv, SerialLine& line) {
    // Before anything is written: a GUI that has gone away must not end the process.
    open_console_input();
    Settings settings;
    read_settings_file(settings, program);
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

}  // namespace osa
