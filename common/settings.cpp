#include "settings.h"

#include "text.h"

#include <fstream>

namespace osa {
namespace {

// A value that the key names, when the lower-cased start of the line equals the key.
bool take_value(std::string_view line, std::string_view key, std::string& value) {
    if (lower_ascii(line.substr(0, key.size())) != key) return false;
    value = std::string(line.substr(key.size()));
    return true;
}

int digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

// Unsigned wrap-around keeps the low 8 bits right whatever the length of the number.
std::uint64_t read_number(std::string_view digits, unsigned base) {
    std::uint64_t number = 0;
    for (char c : digits) {
        const int value = digit_value(c);
        if (value >= static_cast<int>(base)) break;
        number = number * base + static_cast<unsigned>(value);
    }
    return number;
}

// The text after the first "=" of the line as it stands in the file, inner spaces and all.
std::string path_value(std::string_view raw_line) { return trim_spaces(raw_line.substr(raw_line.find('=') + 1)); }

}  // namespace

std::uint8_t flip_number(std::string_view value) {
    if (value.size() >= 2 && value[0] == '&') {
        const char prefix = upper_ascii(value.substr(1, 1))[0];
        const unsigned base = prefix == 'H' ? 16 : prefix == 'O' ? 8 : prefix == 'B' ? 2 : 0;
        if (base == 0) return 0;
        return static_cast<std::uint8_t>(read_number(value.substr(2), base));
    }
    bool negative = false;
    if (!value.empty() && (value[0] == '-' || value[0] == '+')) {
        negative = value[0] == '-';
        value.remove_prefix(1);
    }
    const std::uint64_t number = read_number(value, 10);
    return static_cast<std::uint8_t>(negative ? 0 - number : number);
}

void apply_settings_line(Settings& settings, Program program, std::string_view raw_line) {
    const std::string line = remove_spaces(raw_line);
    std::string value;
    if (take_value(line, "com=", value)) settings.port_name = value;
    // An extension that older builds ignore like any unknown key.
    if (take_value(line, "trace=", value)) settings.trace_path = path_value(raw_line);
    if (take_value(line, "baud=", value)) settings.baud_text = value;
    if (program == Program::player) {
        if (take_value(line, "flip=", value)) settings.flip = flip_number(value);
        return;
    }
    if (take_value(line, "name=", value)) settings.engine_name = value;
    if (take_value(line, "modul=", value)) settings.module_name = value;
    if (take_value(line, "level=", value)) settings.level_text = value;
    // An extension: older builds ignore the key, and without it the info lines stay as the board writes them.
    if (take_value(line, "pv=", value)) settings.uci_pv = lower_ascii(value) == "uci";
}

void read_settings_file(Settings& settings, Program program, const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        apply_settings_line(settings, program, line);
    }
}

std::string trace_file(const Settings& settings, const char* osa_trace) {
    if (settings.trace_path) return *settings.trace_path;
    return osa_trace != nullptr ? osa_trace : "";
}

std::vector<std::string> argument_list(int argc, const char* const* argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc && argv[i] != nullptr && argv[i][0] != '\0'; ++i) arguments.emplace_back(argv[i]);
    return arguments;
}

bool asks_for_usage(const std::vector<std::string>& arguments) {
    if (arguments.empty()) return false;
    const std::string first = upper_ascii(arguments[0]);
    return first == "/?" || first == "/H";
}

void apply_arguments(Settings& settings, const std::vector<std::string>& arguments) {
    if (!arguments.empty()) settings.port_name = upper_ascii(arguments[0]);
    if (arguments.size() >= 2) settings.baud_text = arguments[1];
}

std::string serial_open_string(const Settings& settings) {
    return settings.port_name + settings.baud_text + ",N,8,1,CS0,DS0,CD0,RS,BIN";
}

std::vector<std::string> usage_screen(Program program) {
    if (program == Program::player)
        return {"",
                "Play with Scisys/Saitek-Quillrands under Arena",
                "Written by Jorvik Tamsel, Version 1.1",
                "",
                "Usage: Quillrand [/?] Or [/h]",
                "       Quillrand [COMx:] [baud]",
                "Call without parameters sets COM1: with 1200 baud",
                "Board shall be set to corresponding baud rate before!",
                "",
                "e.g.   Quillrand                (COM1: with 1200 baud)",
                "       Quillrand COM2:          (COM2: with 1200 baud)",
                "       Quillrand COM3: 9600     (COM3: with 9600 baud)"};
    return {"",
            "Dorvane converter for Scisys/Saitek chess boards",
            "Written by Jorvik Tamsel, Version 1.2",
            "",
            "Usage: Dorvane [/?] Or [/h]",
            "       Dorvane [COMx:] [baud]",
            "Call without parameters sets COM1: with 1200 baud",
            "Board shall be set to corresponding baud rate before!",
            "",
            "e.g.   Dorvane                (COM1: with 1200 baud)",
            "       Dorvane COM2:          (COM2: with 1200 baud)",
            "       Dorvane COM3: 9600     (COM3: with 9600 baud)"};
}

}  // namespace osa
