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

// The text after the first "=" of the line as it stands in the file, inner spaces and all.
std::string path_value(std::string_view raw_line) { return trim_spaces(raw_line.substr(raw_line.find('=') + 1)); }

}  // namespace

void apply_settings_line(Settings& settings, const OwnKeys& own_keys, std::string_view raw_line) {
    const std::string line = remove_spaces(raw_line);
    std::string value;
    if (take_value(line, "com=", value)) settings.port_name = value;
    // An extension that older builds ignore like any unknown key.
    if (take_value(line, "trace=", value)) settings.trace_path = path_value(raw_line);
    if (take_value(line, "baud=", value)) settings.baud_text = value;
    if (take_value(line, "busy=", value)) settings.busy = busy_mode(value);
    // Also an extension; any value but "on" (in any case) keeps today's end at a lost line.
    if (take_value(line, "reconnect=", value)) settings.reconnect = lower_ascii(value) == "on";
    for (const std::string_view key : own_keys)
        if (take_value(line, std::string(key) + "=", value)) settings.own_values.insert_or_assign(std::string(key), value);
}

BusyMode busy_mode(std::string_view value) {
    return lower_ascii(value) == "answer" ? BusyMode::answer : BusyMode::wait;
}

void read_settings_file(Settings& settings, const OwnKeys& own_keys, const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        apply_settings_line(settings, own_keys, line);
    }
}

std::optional<std::string> settings_file_path(const std::string& program_folder) {
    if (std::ifstream("osa.ini", std::ios::binary)) return "osa.ini";
    if (program_folder.empty()) return std::nullopt;
    std::string beside_program = program_folder + "/osa.ini";
    if (std::ifstream(beside_program, std::ios::binary)) return beside_program;
    return std::nullopt;
}

std::string own_value(const Settings& settings, std::string_view key) {
    const auto found = settings.own_values.find(key);
    return found == settings.own_values.end() ? std::string() : found->second;
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

// The examples' notes stand in one column whatever the length of the name.
std::vector<std::string> usage_screen(const ProgramProfile& profile) {
    const std::string& name = profile.name;
    return {"",
            profile.title,
            "Written by Jorvik Tamsel, Version " + profile.usage_version,
            "",
            "Usage: " + name + " [/?] Or [/h]",
            "       " + name + " [COMx:] [baud]",
            "Call without parameters sets COM1: with 1200 baud",
            "Board shall be set to corresponding baud rate before!",
            "",
            "e.g.   " + name + "                (COM1: with 1200 baud)",
            "       " + name + " COM2:          (COM2: with 1200 baud)",
            "       " + name + " COM3: 9600     (COM3: with 9600 baud)"};
}

}  // namespace osa
