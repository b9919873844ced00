// The doctor's system side on Windows: the ports in the registry's SERIALCOMM map, and what a
// failed open means. The port itself is opened by the programs' own serial line, for one program
// only: another program holding it makes the open fail with ERROR_ACCESS_DENIED, and Windows does
// not say which program that is.

#include "probe.h"

#include "platform.h"

#include <map>

#include <windows.h>

namespace osa::doctor {
namespace {

std::map<std::string, std::string> serialcomm_values() {
    std::map<std::string, std::string> values;
    HKEY key{};
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD index = 0;; ++index) {
        char name[256];
        BYTE data[256];
        DWORD name_size = sizeof name;
        DWORD data_size = sizeof data - 1;
        DWORD type = 0;
        if (RegEnumValueA(key, index, name, &name_size, nullptr, &type, data, &data_size) != ERROR_SUCCESS) break;
        if (type != REG_SZ) continue;
        data[data_size] = 0;
        values[std::string(name, name_size)] = reinterpret_cast<const char*>(data);
    }
    RegCloseKey(key);
    return values;
}

Outcome outcome_of_error(int error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return Outcome::missing;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return Outcome::busy;
    default: return Outcome::open_failed;
    }
}

}  // namespace

bool posix_system() { return false; }

std::vector<ListedPort> find_ports() { return windows_ports(serialcomm_values()); }

PortTarget resolve_port(const std::string& argument, const std::vector<ListedPort>&) {
    PortTarget target;
    const auto com = com_number(argument);
    target.com = com.value_or(1);
    target.named_as_com = com.has_value();
    target.device = com ? "COM" + std::to_string(*com) : argument;
    return target;
}

std::string device_to_open(const PortTarget& target) {
    return target.named_as_com ? device_for_port(target.com) : target.device;
}

std::string system_words(const OpenResult& opened) {
    return "Windows error " + std::to_string(opened.system_code) +
           (opened.system_text.empty() ? "" : ": " + opened.system_text);
}

PortCheck device_refused(const PortTarget&, const OpenResult& opened) {
    PortCheck check;
    check.outcome = outcome_of_error(opened.system_code);
    check.system_error = system_words(opened);
    return check;
}

std::vector<Holder> other_users(const PortTarget&) { return {}; }

}  // namespace osa::doctor
