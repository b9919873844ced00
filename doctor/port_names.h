// Port names as the two programs take them ("COMn:"), the device a check opens, and the lines
// that make the programs open the same device.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace osa::doctor {

// The number of a port or device written in one to six decimal digits; nothing for any other text.
std::optional<unsigned long> port_digits(std::string_view digits);

// n for "COMn:" or "COMn" in any case (COM0 means port 1, as in the programs); nothing otherwise.
std::optional<unsigned long> com_number(std::string_view name);

// n+1 for "/dev/ttySn": the port that opens the device without an OSA_COMn setting.
std::optional<unsigned long> default_port_of(std::string_view device);

struct PortTarget {
    std::string device;           // what is opened
    unsigned long com = 1;        // the port name for osa.ini: COMn:
    bool named_as_com = false;    // given as COMn: rather than as a device path
    std::string variable;         // "OSA_COM3" when that setting named the device
    std::string stable_name;      // a /dev/serial/by-id name pointing to the device, if any
};

// "Port /dev/ttyUSB0 (COM1: maps to it through OSA_COM1)".
std::string target_line(const PortTarget& target, bool posix);

// The osa.ini lines (and on Linux the OSA_COMn setting) that reach the device at that speed.
std::vector<std::string> lines_to_use(const PortTarget& target, const std::string& baud, bool posix);

}  // namespace osa::doctor
