// The doctor's system side on Windows: the ports in the registry's SERIALCOMM map, and the port
// opened the way the programs open it, with a read time-out so that the wait stays bounded.
// Windows opens a COM port for one program only: another program holding it makes CreateFile
// fail with ERROR_ACCESS_DENIED, and Windows does not say which program that is.

#include "probe.h"

#include "win32_handle.h"
#include "win32_serial.h"

#include <chrono>
#include <map>
#include <utility>

#include <windows.h>

namespace osa::doctor {
namespace {

using Clock = std::chrono::steady_clock;

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

std::string system_message(DWORD error) {
    char text[512];
    DWORD size = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                sizeof text, nullptr);
    while (size > 0 && (text[size - 1] == '\r' || text[size - 1] == '\n' || text[size - 1] == '.')) --size;
    return "Windows error " + std::to_string(error) + (size > 0 ? ": " + std::string(text, size) : "");
}

PortCheck failed(Outcome outcome, DWORD error) {
    PortCheck check;
    check.outcome = outcome;
    check.system_error = system_message(error);
    return check;
}

PortCheck failed_open(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return failed(Outcome::missing, error);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return failed(Outcome::busy, error);
    default: return failed(Outcome::open_failed, error);
    }
}

// Reads return after at most a slice of the wait, so that the deadline is checked between them.
bool set_line(HANDLE port, const SerialSettings& settings, PortCheck& check) {
    DCB state{};
    state.DCBlength = sizeof(DCB);
    if (!GetCommState(port, &state)) {
        check = failed(Outcome::not_serial, GetLastError());
        return false;
    }
    DCB line = win32::line_state_for(state, settings);
    if (!SetCommState(port, &line)) {
        check = failed(Outcome::settings_refused, GetLastError());
        return false;
    }
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = 100;
    timeouts.WriteTotalTimeoutConstant = 2000;
    if (!SetCommTimeouts(port, &timeouts)) {
        check = failed(Outcome::settings_refused, GetLastError());
        return false;
    }
    // Fails on a port without modem lines (error 50 under Wine on a pseudo-terminal): ignored.
    (void)EscapeCommFunction(port, SETDTR);
    return true;
}

void send(HANDLE port, std::string_view bytes) {
    DWORD put = 0;
    (void)WriteFile(port, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
}

std::string receive_reply(HANDLE port, unsigned wait_ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(wait_ms);
    std::string received;
    while (reply_end(received) == std::string::npos && Clock::now() < deadline) {
        char buffer[256];
        DWORD got = 0;
        if (!ReadFile(port, buffer, sizeof buffer, &got, nullptr)) break;
        received.append(buffer, got);
    }
    return received;
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

PortCheck check_port(const PortTarget& target, const SerialSettings& settings, unsigned wait_ms) {
    const std::string name = target.named_as_com ? win32::device_name_for_port(target.com) : target.device;
    const OwnedHandle port(CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!port.valid()) return failed_open(GetLastError());
    PortCheck check;
    if (!set_line(port.get(), settings, check)) return check;
    send(port.get(), "ENGLISH\r\n");
    Sleep(250);
    send(port.get(), "OPEN\r\n");
    check.received = receive_reply(port.get(), wait_ms);
    send(port.get(), "CLOSE\r\n");
    check.close_sent = true;
    if (reply_end(check.received) != std::string::npos) check.outcome = Outcome::answered;
    else check.outcome = check.received.empty() ? Outcome::silent : Outcome::incomplete;
    return check;
}

}  // namespace osa::doctor
