#include "win32_serial.h"

namespace osa::win32 {
namespace {

constexpr DWORD default_queue_size = 16384;

BYTE parity_code(Parity parity) {
    switch (parity) {
    case Parity::even: return EVENPARITY;
    case Parity::odd: return ODDPARITY;
    case Parity::mark: return MARKPARITY;
    case Parity::space: return SPACEPARITY;
    case Parity::none: break;
    }
    return NOPARITY;
}

BYTE stop_bits_code(const std::string& stop_bits) {
    if (stop_bits == "1.5") return ONE5STOPBITS;
    if (stop_bits == "2") return TWOSTOPBITS;
    return ONESTOPBIT;
}

// The speed and the frame of each byte; the parity bit is sent but never checked.
void set_framing(DCB& line, const SerialSettings& settings) {
    line.BaudRate = settings.speed;
    line.ByteSize = static_cast<BYTE>(settings.data_bits);
    line.Parity = parity_code(settings.parity);
    line.StopBits = stop_bits_code(settings.stop_bits);
    line.fParity = FALSE;
}

// DTR is raised by the program itself once the port is set up; RTS follows the settings.
void set_modem_lines(DCB& line, const SerialSettings& settings) {
    line.fDtrControl = DTR_CONTROL_DISABLE;
    line.fRtsControl = settings.rts_off ? RTS_CONTROL_DISABLE : RTS_CONTROL_ENABLE;
}

// Neither the modem lines nor XON/XOFF hold back a byte in either direction.
void leave_flow_uncontrolled(DCB& line) {
    line.fOutxCtsFlow = FALSE;
    line.fOutxDsrFlow = FALSE;
    line.fDsrSensitivity = FALSE;
    line.fOutX = FALSE;
    line.fInX = FALSE;
}

// Binary mode, no NUL byte dropped, and no line error that stops the transfers.
void pass_every_byte(DCB& line) {
    line.fBinary = TRUE;
    line.fNull = FALSE;
    line.fAbortOnError = FALSE;
}

}  // namespace

std::string device_name_for_port(unsigned long port) {
    if (port == 0) port = 1;
    const std::string name = "COM" + std::to_string(port);
    return port <= 9 ? name : "\\\\.\\" + name;
}

DWORD queue_size(DWORD current, DWORD maximum) {
    if (current != 0) return current;
    if (maximum != 0) return maximum;
    return default_queue_size;
}

bool reads_return_at_once(const COMMTIMEOUTS& timeouts) {
    return timeouts.ReadIntervalTimeout == MAXDWORD && timeouts.ReadTotalTimeoutMultiplier == 0 &&
           timeouts.ReadTotalTimeoutConstant == 0;
}

// An interval time-out alone starts only after the first byte, so it cannot end a read empty.
bool reads_can_time_out(const COMMTIMEOUTS& timeouts) {
    return timeouts.ReadIntervalTimeout == MAXDWORD || timeouts.ReadTotalTimeoutMultiplier != 0 ||
           timeouts.ReadTotalTimeoutConstant != 0;
}

COMMTIMEOUTS timeouts_for_line(const COMMTIMEOUTS& port_timeouts) {
    if (!reads_return_at_once(port_timeouts)) return port_timeouts;
    COMMTIMEOUTS blocking = port_timeouts;
    blocking.ReadIntervalTimeout = 0;
    blocking.ReadTotalTimeoutMultiplier = 0;
    blocking.ReadTotalTimeoutConstant = 0;
    return blocking;
}

DCB line_state_for(const DCB& port_state, const SerialSettings& settings) {
    DCB line = port_state;
    line.DCBlength = sizeof(DCB);
    set_framing(line, settings);
    set_modem_lines(line, settings);
    leave_flow_uncontrolled(line);
    pass_every_byte(line);
    return line;
}

ReadOutcome read_outcome(bool succeeded, DWORD bytes_read, bool reads_can_time_out) {
    if (!succeeded) return ReadOutcome::line_lost;
    if (bytes_read > 0) return ReadOutcome::bytes;
    return reads_can_time_out ? ReadOutcome::nothing_yet : ReadOutcome::line_lost;
}

}  // namespace osa::win32
