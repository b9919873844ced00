// Dorvane: what it hands the start-up, its opening dialogue, command loop and closing step.
#pragma once

#include "serial_line.h"
#include "settings.h"

#include <string>

namespace osa {

// Its name, its own osa.ini keys "name", "modul", "level" and "pv", and its usage screen.
ProgramProfile converter_profile();

// Its own settings, read from its keys in osa.ini.
struct ConverterSettings {
    std::string engine_name;
    std::string module_name;
    std::string level_text;  // sent to the board only when two characters long
    bool uci_pv = false;     // "pv=uci": the info lines' moves in UCI notation
};
ConverterSettings converter_settings(const Settings& settings);

// Runs until "quit" or the end of standard input and returns after the closing step.
void run_converter(SerialLine& line, const Settings& settings);

}  // namespace osa
