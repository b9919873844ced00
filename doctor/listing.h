// Which serial ports the doctor lists, and in what order, from what the system shows of its
// devices. The system side gathers the facts; the choice and the order are made here.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace osa::doctor {

struct ListedPort {
    std::string path;     // what to open: "/dev/serial/by-id/usb-FTDI_...", "/dev/ttyUSB0", "COM3"
    std::string device;   // the device a stable name points to; empty when path is the device
    std::string details;  // driver, vendor and product where the system tells them
};

struct DeviceFacts {
    std::vector<std::string> dev_names;                  // the entries of /dev
    std::map<std::string, std::string> stable_names;     // /dev/serial/by-id entry -> device path
    std::set<std::string> real_uarts;                    // "ttyS0": a UART answers behind it
    std::map<std::string, std::string> details;          // "ttyUSB0" -> "ftdi_sio, FTDI FT232R"
};

// The stable names first (by name), then ttyUSB, ttyACM and the ttyS with a real UART, each
// group in the order of its number (ttyUSB2 before ttyUSB10).
std::vector<ListedPort> linux_ports(const DeviceFacts& facts);

// The stable name that points to the device, if one does.
std::optional<std::string> stable_name_for(const std::string& device, const std::vector<ListedPort>& ports);

// "ttyUSB0" for "/dev/ttyUSB0".
std::string device_name(const std::string& path);

// The ports that --scan tries: each device once, under its stable name where it has one.
std::vector<std::string> ports_to_scan(const std::vector<ListedPort>& ports);

// Windows: the SERIALCOMM values, "\Device\Serial0" -> "COM1", listed by port number.
std::vector<ListedPort> windows_ports(const std::map<std::string, std::string>& serialcomm);

// The lines that present the ports, or what to check when there are none.
std::vector<std::string> listing_lines(const std::vector<ListedPort>& ports, bool posix);

}  // namespace osa::doctor
