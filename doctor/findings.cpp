#include "findings.h"

#include "text.h"

namespace osa::doctor {
namespace {

constexpr char end_of_reply = 23;

const char* parity_words(Parity parity) {
    switch (parity) {
    case Parity::even: return "even parity";
    case Parity::odd: return "odd parity";
    case Parity::mark: return "mark parity";
    case Parity::space: return "space parity";
    case Parity::none: break;
    }
    return "no parity";
}

std::string other_speed(const std::string& baud) { return baud == "9600" ? "1200" : "9600"; }

std::string device_argument(const PortTarget& target) {
    return target.named_as_com ? "COM" + std::to_string(target.com) + ":" : target.device;
}

// The two services that take USB serial adapters for themselves on many Linux systems.
void add_service_hint(std::vector<std::string>& lines) {
    lines.push_back("Two system services are known to grab USB serial adapters:");
    lines.push_back("  ModemManager: sudo systemctl disable --now ModemManager (or keep it away from the adapter with");
    lines.push_back("    a udev rule setting ENV{ID_MM_DEVICE_IGNORE}=\"1\");");
    lines.push_back("  brltty (for Braille displays): sudo apt-get remove brltty, if you use no Braille display.");
}

void add_speed_hint(std::vector<std::string>& lines, const PortTarget& target, const std::string& baud) {
    lines.push_back("The board may be set to the other speed: try osa-doctor " + device_argument(target) + " " +
                    other_speed(baud) + ", or osa-doctor --scan " + device_argument(target) + " to try both.");
}

void add_missing(std::vector<std::string>& lines, const PortTarget& target, bool posix) {
    lines.push_back("The device " + target.device + " does not exist.");
    if (posix && target.named_as_com && target.variable.empty())
        lines.push_back("COM" + std::to_string(target.com) + ": means " + target.device + " unless OSA_COM" +
                        std::to_string(target.com) + " names another device, e.g. OSA_COM" +
                        std::to_string(target.com) + "=/dev/ttyUSB0 for a USB adapter.");
    lines.push_back("Check the cable and that the adapter is plugged in. osa-doctor without arguments lists the");
    lines.push_back(posix ? "ports it finds; right after plugging the adapter in, \"sudo dmesg | tail\" shows what the system made of it."
                          : "ports it finds; Device Manager (Ports (COM & LPT)) shows the COM number Windows gave the adapter.");
}

void add_permission(std::vector<std::string>& lines, const PortTarget& target, const PortCheck& check) {
    lines.push_back("Permission denied: you may not open " + target.device + ".");
    if (check.owner_group.empty()) return;
    if (check.owner_group == "root") {
        lines.push_back("It belongs to group root: only root may use it. A udev rule with GROUP=\"dialout\", MODE=\"0660\"");
        lines.push_back("gives it to the group dialout; then add yourself to that group: sudo usermod -aG dialout $USER");
        lines.push_back("and log out and in again.");
        return;
    }
    if (check.in_owner_group) {
        lines.push_back("It belongs to group " + check.owner_group + ", and you are in that group, but the device does not let");
        lines.push_back("its group read and write it: a udev rule with GROUP=\"" + check.owner_group +
                        "\", MODE=\"0660\" fixes that.");
        return;
    }
    lines.push_back("It belongs to group " + check.owner_group + ", and you are not in that group. Add yourself:");
    lines.push_back("  sudo usermod -aG " + check.owner_group + " $USER");
    lines.push_back("then log out and in again (the new group counts only from the next login).");
}

void add_busy(std::vector<std::string>& lines, const PortTarget& target, const PortCheck& check, bool posix) {
    if (!check.lockers.empty()) {
        lines.push_back("The device " + target.device + " is locked by " + holder_list(check.lockers) + ".");
        if (!check.holders.empty()) lines.push_back("It is also open in " + holder_list(check.holders) + ".");
    } else if (check.holders.empty()) {
        lines.push_back("The device " + target.device + " is in use by another program" +
                        (posix ? " (the system does not say which; sudo fuser -v " + target.device + " does)." : "."));
    } else {
        lines.push_back("The device " + target.device + " is in use by " + holder_list(check.holders) + ".");
    }
    lines.push_back("Close that program first: another engine, a GUI that still runs one, a terminal program.");
    if (posix) add_service_hint(lines);
}

void add_failure(std::vector<std::string>& lines, const PortTarget& target, const SerialSettings& settings,
                 const PortCheck& check, bool posix) {
    const std::string because = check.system_error.empty() ? "" : " (" + check.system_error + ")";
    switch (check.outcome) {
    case Outcome::missing: add_missing(lines, target, posix); break;
    case Outcome::permission_denied: add_permission(lines, target, check); break;
    case Outcome::busy: add_busy(lines, target, check, posix); break;
    case Outcome::not_serial:
        lines.push_back(target.device + " opened, but it is no serial line" + because + ": choose another port.");
        break;
    case Outcome::settings_refused:
        lines.push_back("The line settings (" + line_description(settings) + ") were refused" + because + ".");
        lines.push_back("The device or its driver cannot do them; the board talks at 1200 or 9600 baud.");
        break;
    case Outcome::open_failed:
        lines.push_back("Cannot open " + target.device + because + ".");
        break;
    default: break;
    }
}

void add_exchange(std::vector<std::string>& lines, const PortTarget& target, const SerialSettings& settings,
                  unsigned wait_ms, const PortCheck& check) {
    const std::string baud = std::to_string(settings.speed);
    lines.push_back("Sent ENGLISH, waited 250 ms, sent OPEN; waiting up to " + std::to_string(wait_ms) +
                    " ms for the reply up to the end-of-reply character (code 23).");
    if (check.received.empty())
        lines.push_back("Received nothing.");
    else
        lines.push_back("Received " + std::to_string(check.received.size()) + " bytes: " + escape_bytes(check.received));
    if (check.close_sent) lines.push_back("Sent CLOSE.");
    if (check.outcome == Outcome::answered) {
        const std::string identification = identification_of(check.received);
        lines.push_back(identification.empty() ? "The board answered, without an identification."
                                               : "The board answered: " + identification);
        return;
    }
    if (check.outcome == Outcome::incomplete) {
        lines.push_back("Bytes came back, but no end of reply within " + std::to_string(wait_ms) +
                        " ms: a board set to another speed sends such garbled bytes.");
    } else {
        lines.push_back("No answer within " + std::to_string(wait_ms) + " ms.");
        lines.push_back("Check that the board is switched on and connected to this port, and that its serial");
        lines.push_back("interface is on.");
    }
    add_speed_hint(lines, target, baud);
}

}  // namespace

std::size_t reply_end(std::string_view bytes) {
    const auto etb = bytes.find(end_of_reply);
    return etb == std::string_view::npos ? std::string_view::npos : etb + 1;
}

std::string identification_of(std::string_view reply) {
    std::string text;
    for (char c : reply.substr(0, reply_end(reply))) {
        if (static_cast<unsigned char>(c) >= 32 && c != '>') text.push_back(c);
    }
    return trim_spaces(text);
}

std::string line_description(const SerialSettings& settings) {
    std::string text = std::to_string(settings.speed) + " baud, " + std::to_string(settings.data_bits) +
                       " data bits, " + parity_words(settings.parity) + ", " + settings.stop_bits + " stop bit" +
                       (settings.stop_bits == "1" ? "" : "s");
    return text + (settings.rts_off ? ", RTS off" : "") + ", no flow control";
}

std::string holder_list(const std::vector<Holder>& holders) {
    std::string text;
    for (const Holder& holder : holders) {
        if (!text.empty()) text += ", ";
        text += "process " + std::to_string(holder.pid) + " (" + (holder.name.empty() ? "name unknown" : holder.name) + ")";
    }
    return text;
}

std::vector<std::string> check_lines(const PortTarget& target, const SerialSettings& settings, unsigned wait_ms,
                                     const PortCheck& check, bool posix) {
    std::vector<std::string> lines;
    const bool opened = check.outcome == Outcome::answered || check.outcome == Outcome::incomplete ||
                        check.outcome == Outcome::silent;
    if (!opened) {
        add_failure(lines, target, settings, check, posix);
        return lines;
    }
    lines.push_back("Opened.");
    if (!check.holders.empty())
        lines.push_back("Also open in " + holder_list(check.holders) + ": it may take the board's bytes.");
    lines.push_back("Line set to " + line_description(settings) + ".");
    add_exchange(lines, target, settings, wait_ms, check);
    return lines;
}

std::string scan_summary(const PortCheck& check) {
    switch (check.outcome) {
    case Outcome::answered: return "answered: " + identification_of(check.received);
    case Outcome::incomplete: return "garbled bytes, no end of reply: " + escape_bytes(check.received);
    case Outcome::silent: return "no answer";
    case Outcome::missing: return "no such device";
    case Outcome::permission_denied: return "permission denied" + (check.owner_group.empty() ? "" : " (group " + check.owner_group + ")");
    case Outcome::busy:
        if (!check.lockers.empty()) return "locked by " + holder_list(check.lockers);
        return "in use" + (check.holders.empty() ? "" : " by " + holder_list(check.holders));
    case Outcome::not_serial: return "no serial line";
    case Outcome::settings_refused: return "line settings refused";
    case Outcome::open_failed: break;
    }
    return "cannot open: " + check.system_error;
}

}  // namespace osa::doctor
