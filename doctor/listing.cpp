#include "listing.h"

#include "port_names.h"

#include <algorithm>
#include <tuple>

namespace osa::doctor {
namespace {

// The number after the prefix when the rest of the name is all digits.
std::optional<unsigned long> numbered(const std::string& name, const std::string& prefix) {
    if (!name.starts_with(prefix)) return std::nullopt;
    return port_digits(std::string_view(name).substr(prefix.size()));
}

std::string details_of(const DeviceFacts& facts, const std::string& name) {
    const auto found = facts.details.find(name);
    return found != facts.details.end() ? found->second : "";
}

void add_numbered(std::vector<ListedPort>& ports, const DeviceFacts& facts, const std::string& prefix,
                  bool only_real_uarts) {
    std::vector<std::pair<unsigned long, std::string>> found;
    for (const std::string& name : facts.dev_names) {
        const auto number = numbered(name, prefix);
        if (!number) continue;
        if (only_real_uarts && !facts.real_uarts.contains(name)) continue;
        found.emplace_back(*number, name);
    }
    std::sort(found.begin(), found.end());
    for (const auto& [number, name] : found) ports.push_back({"/dev/" + name, "", details_of(facts, name)});
}

}  // namespace

std::string device_name(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<ListedPort> linux_ports(const DeviceFacts& facts) {
    std::vector<ListedPort> ports;
    for (const auto& [name, device] : facts.stable_names)
        ports.push_back({name, device, details_of(facts, device_name(device))});
    add_numbered(ports, facts, "ttyUSB", false);
    add_numbered(ports, facts, "ttyACM", false);
    add_numbered(ports, facts, "ttyS", true);
    return ports;
}

std::optional<std::string> stable_name_for(const std::string& device, const std::vector<ListedPort>& ports) {
    for (const ListedPort& port : ports)
        if (!port.device.empty() && (port.device == device || port.path == device)) return port.path;
    return std::nullopt;
}

std::vector<std::string> ports_to_scan(const std::vector<ListedPort>& ports) {
    std::set<std::string> named;
    for (const ListedPort& port : ports)
        if (!port.device.empty()) named.insert(port.device);
    std::vector<std::string> paths;
    for (const ListedPort& port : ports)
        if (!named.contains(port.path)) paths.push_back(port.path);
    return paths;
}

std::vector<ListedPort> windows_ports(const std::map<std::string, std::string>& serialcomm) {
    std::vector<std::tuple<unsigned long, std::string, std::string>> found;
    for (const auto& [device, port] : serialcomm) {
        const auto number = com_number(port);
        found.emplace_back(number.value_or(0), port, device);
    }
    std::sort(found.begin(), found.end());
    std::vector<ListedPort> ports;
    for (const auto& [number, port, device] : found) ports.push_back({port, "", device});
    return ports;
}

std::vector<std::string> listing_lines(const std::vector<ListedPort>& ports, bool posix) {
    if (ports.empty()) {
        std::vector<std::string> lines{"No serial port found."};
        if (posix) {
            lines.push_back("Check the cable and that the USB adapter is plugged in; right after plugging it in,");
            lines.push_back("\"sudo dmesg | tail\" shows whether the system found it and which driver took it.");
        } else {
            lines.push_back("Check the cable and that the USB adapter is plugged in; Device Manager (Ports (COM & LPT))");
            lines.push_back("shows whether Windows found it. Many adapters need their maker's driver (FTDI, Prolific, CH340).");
        }
        return lines;
    }
    std::vector<std::string> lines{"Serial ports found:"};
    for (const ListedPort& port : ports) {
        std::string line = "  " + port.path;
        if (!port.device.empty()) line += " -> " + port.device;
        if (!port.details.empty()) line += "  (" + port.details + ")";
        lines.push_back(line);
    }
    lines.push_back(posix ? "Check one with: osa-doctor PORT [BAUD]   (or try them all: osa-doctor --scan)"
                          : "Check one with: osa-doctor COMn: [BAUD]   (or try them all: osa-doctor --scan)");
    return lines;
}

}  // namespace osa::doctor
