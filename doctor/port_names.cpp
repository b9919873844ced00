#include "port_names.h"

#include "text.h"

namespace osa::doctor {
namespace {

bool is_usb_adapter(std::string_view device) {
    return starts_with(device, "/dev/ttyUSB") || starts_with(device, "/dev/ttyACM");
}

std::string port_name(unsigned long com) { return "COM" + std::to_string(com) + ":"; }

std::string variable_for(unsigned long com) { return "OSA_COM" + std::to_string(com); }

}  // namespace

std::optional<unsigned long> port_digits(std::string_view digits) {
    if (digits.size() > 6) return std::nullopt;
    return decimal_number(digits, 999999);
}

std::optional<unsigned long> com_number(std::string_view name) {
    const std::string upper = upper_ascii(name);
    std::string_view rest(upper);
    if (!starts_with(rest, "COM")) return std::nullopt;
    rest.remove_prefix(3);
    if (!rest.empty() && rest.back() == ':') rest.remove_suffix(1);
    const auto number = port_digits(rest);
    if (!number) return std::nullopt;
    return *number == 0 ? 1 : *number;
}

std::optional<unsigned long> default_port_of(std::string_view device) {
    constexpr std::string_view prefix = "/dev/ttyS";
    if (!starts_with(device, prefix)) return std::nullopt;
    const auto number = port_digits(device.substr(prefix.size()));
    if (!number) return std::nullopt;
    return *number + 1;
}

std::string target_line(const PortTarget& target, bool posix) {
    std::string line = "Port " + target.device;
    if (!posix || !target.named_as_com) return line;
    if (!target.variable.empty()) return line + " (" + port_name(target.com) + " maps to it through " + target.variable + ")";
    return line + " (" + port_name(target.com) + " maps to it while " + variable_for(target.com) + " is not set)";
}

std::vector<std::string> lines_to_use(const PortTarget& target, const std::string& baud, bool posix) {
    std::vector<std::string> lines{posix ? "osa.ini (in the folder the GUI starts the program in):"
                                         : "osa.ini (next to Quillrand.exe and Dorvane.exe, in the folder the GUI starts them in):",
                                   "  com=" + port_name(target.com), "  baud=" + baud};
    if (!posix) return lines;
    const bool default_device = default_port_of(target.device) == target.com;
    if (default_device && target.stable_name.empty()) {
        lines.push_back(port_name(target.com) + " opens " + target.device + " by itself: no " + variable_for(target.com) +
                        " setting is needed.");
        return lines;
    }
    const std::string path = target.stable_name.empty() ? target.device : target.stable_name;
    lines.push_back("and in the environment of the GUI (or a wrapper script):");
    lines.push_back("  " + variable_for(target.com) + "=" + path);
    if (target.stable_name.empty() && is_usb_adapter(target.device))
        lines.push_back("(" + target.device + " has no stable name in /dev/serial/by-id; the name may change when "
                        "adapters are plugged in another order: a udev rule gives it a fixed one)");
    return lines;
}

}  // namespace osa::doctor
