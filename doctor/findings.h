// What a check of one port found, in plain words with what to do about it, and the reading of
// the board's reply from the bytes received.
#pragma once

#include "port_names.h"
#include "serial_settings.h"

#include <string>
#include <string_view>
#include <vector>

namespace osa::doctor {

enum class Outcome {
    answered,           // a reply up to the end-of-reply character
    incomplete,         // bytes came, but no end of reply: mostly another speed
    silent,             // nothing came within the wait
    missing,            // no such device
    permission_denied,  // the user may not open it
    busy,               // another process holds it
    not_serial,         // it opened, but it is no serial line
    settings_refused,   // the line settings were refused
    open_failed,        // any other failure to open
};

struct Holder {
    long pid = 0;
    std::string name;  // the process's command name
};

struct PortCheck {
    Outcome outcome = Outcome::open_failed;
    std::string system_error;      // the system's own words for the failed step
    std::string owner_group;       // the group that owns the device
    bool in_owner_group = false;   // the user is in that group
    std::vector<Holder> lockers;   // processes holding the programs' exclusive lock on it
    std::vector<Holder> holders;   // other processes that have the device open
    std::string received;          // every byte read from the board
    bool close_sent = false;
};

// The position just after the first end-of-reply character, or npos.
std::size_t reply_end(std::string_view bytes);

// The board's identification in a reply, as the programs show it: the printable bytes except the
// prompt ">", spaces trimmed.
std::string identification_of(std::string_view reply);

// "1200 baud, 8 data bits, no parity, 1 stop bit, RTS off".
std::string line_description(const SerialSettings& settings);

// "process 812 (ModemManager)", joined with commas.
std::string holder_list(const std::vector<Holder>& holders);

// Every line the check prints after the port line: the steps, the bytes, the identification or
// what went wrong and what to do. The lines to use are printed apart, only after an answer.
std::vector<std::string> check_lines(const PortTarget& target, const SerialSettings& settings, unsigned wait_ms,
                                     const PortCheck& check, bool posix);

// One short line for a try of --scan: "answered: OSA board v2.0", "no answer", "busy".
std::string scan_summary(const PortCheck& check);

}  // namespace osa::doctor
