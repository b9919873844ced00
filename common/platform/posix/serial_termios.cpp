#include "serial_termios.h"

#include <array>
#include <cstdlib>
#include <utility>

namespace osa {
namespace {

constexpr std::array<std::pair<std::uint32_t, speed_t>, 19> speeds{{
    {50, B50},       {75, B75},       {110, B110},     {134, B134},       {150, B150},
    {200, B200},     {300, B300},     {600, B600},     {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},   {9600, B9600},   {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800},
}};

bool speed_constant(std::uint32_t speed, speed_t& constant) {
    for (const auto& [bits_per_second, value] : speeds)
        if (bits_per_second == speed) {
            constant = value;
            return true;
        }
    return false;
}

tcflag_t data_bits_flag(int data_bits) {
    switch (data_bits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

}  // namespace

std::optional<std::string> process_environment(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

std::string device_path_for_port(unsigned long port, const EnvironmentLookup& lookup) {
    if (auto path = lookup("OSA_COM" + std::to_string(port))) return *path;
    return "/dev/ttyS" + std::to_string(port - 1);
}

bool configure_termios(termios& line, const SerialSettings& settings) {
    speed_t speed{};
    if (!speed_constant(settings.speed, speed)) return false;
    // Mark and space parity and 1.5 stop bits have no POSIX terminal equivalent.
    if (settings.parity == Parity::mark || settings.parity == Parity::space) return false;
    if (settings.stop_bits == "1.5") return false;

    line.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                                           IXANY | INPCK | IGNPAR);
    line.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    line.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    line.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    line.c_cflag |= static_cast<tcflag_t>(CREAD | CLOCAL | data_bits_flag(settings.data_bits));
    if (settings.parity != Parity::none) line.c_cflag |= PARENB;
    if (settings.parity == Parity::odd) line.c_cflag |= PARODD;
    if (settings.stop_bits == "2") line.c_cflag |= CSTOPB;
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    cfsetispeed(&line, speed);
    cfsetospeed(&line, speed);
    return true;
}

}  // namespace osa
