// The doctor's command line: osa-doctor [--wait MS] [--scan] [PORT [BAUD]], or --help.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace osa::doctor {

enum class Mode { list, check, scan, help };

struct Options {
    Mode mode = Mode::list;
    std::string port;              // a device path, or "COMn:" / "COMn"
    std::string baud = "1200";     // decimal digits
    std::optional<unsigned> wait_ms;  // the reply wait; each mode has its own default
};

struct ParsedArguments {
    std::optional<Options> options;
    std::string error;  // why the arguments were refused, when options is empty
};

constexpr unsigned check_wait_ms = 3000;
constexpr unsigned scan_wait_ms = 1500;
// A wait longer than this is surely a typing error; the doctor must always end soon.
constexpr unsigned longest_wait_ms = 600000;

ParsedArguments parse_arguments(const std::vector<std::string>& arguments);

// The wait that applies: the one given, or the mode's default.
unsigned reply_wait_ms(const Options& options);

std::vector<std::string> usage_text();

}  // namespace osa::doctor
