// The pure decisions of the Windows serial line: device names, queue sizes, time-outs, the line
// state and what one read's result means.
#include "serial_settings.h"
#include "win32_serial.h"

#include <gtest/gtest.h>

namespace osa::win32 {
namespace {

TEST(Win32DeviceName, PortsAboveNineNeedTheDeviceNamespace) {
    const struct {
        unsigned long port;
        const char* name;
    } cases[] = {{0, "COM1"}, {1, "COM1"}, {9, "COM9"}, {10, "\\\\.\\COM10"}, {12, "\\\\.\\COM12"}, {255, "\\\\.\\COM255"}};
    for (const auto& c : cases) EXPECT_EQ(device_name_for_port(c.port), c.name) << c.port;
}

TEST(Win32DeviceName, FromTheProgramsOpenString) {
    EXPECT_EQ(device_name_for_port(parse_serial_open_string("com3:9600")->port), "COM3");
    EXPECT_EQ(device_name_for_port(parse_serial_open_string("COM:1200")->port), "COM1");
    EXPECT_EQ(device_name_for_port(parse_serial_open_string("COM12:1200")->port), "\\\\.\\COM12");
}

TEST(Win32QueueSize, CurrentThenMaximumThenDefault) {
    const struct {
        DWORD current, maximum, expected;
    } cases[] = {{0, 0, 16384}, {0, 4096, 4096}, {2048, 4096, 2048}, {1024, 0, 1024}};
    for (const auto& c : cases) EXPECT_EQ(queue_size(c.current, c.maximum), c.expected) << c.current << " " << c.maximum;
}

COMMTIMEOUTS timeouts(DWORD interval, DWORD multiplier, DWORD constant, DWORD write_multiplier = 7,
                      DWORD write_constant = 500) {
    return COMMTIMEOUTS{interval, multiplier, constant, write_multiplier, write_constant};
}

bool same(const COMMTIMEOUTS& a, const COMMTIMEOUTS& b) {
    return a.ReadIntervalTimeout == b.ReadIntervalTimeout && a.ReadTotalTimeoutMultiplier == b.ReadTotalTimeoutMultiplier &&
           a.ReadTotalTimeoutConstant == b.ReadTotalTimeoutConstant &&
           a.WriteTotalTimeoutMultiplier == b.WriteTotalTimeoutMultiplier &&
           a.WriteTotalTimeoutConstant == b.WriteTotalTimeoutConstant;
}

TEST(Win32Timeouts, APortKeepsItsOwnUnlessItsReadsReturnAtOnce) {
    const struct {
        COMMTIMEOUTS port;
        COMMTIMEOUTS line;
        bool can_time_out;
    } cases[] = {
        {timeouts(0, 0, 0), timeouts(0, 0, 0), false},                    // blocking, as Windows opens most ports
        {timeouts(50, 0, 0), timeouts(50, 0, 0), false},                  // an interval timer starts after a byte
        {timeouts(0, 0, 500), timeouts(0, 0, 500), true},                 // waits 500 ms, then reads again
        {timeouts(0, 10, 0), timeouts(0, 10, 0), true},                   // waits 10 ms a byte
        {timeouts(MAXDWORD, MAXDWORD, 100), timeouts(MAXDWORD, MAXDWORD, 100), true},  // waits for a first byte
        {timeouts(MAXDWORD, 0, 0), timeouts(0, 0, 0), false},             // would spin: blocking read instead
        {timeouts(MAXDWORD, 0, 0, 0, 0), timeouts(0, 0, 0, 0, 0), false}, // write time-outs kept as they were
    };
    for (const auto& c : cases) {
        const COMMTIMEOUTS line = timeouts_for_line(c.port);
        EXPECT_TRUE(same(line, c.line)) << c.port.ReadIntervalTimeout << " " << c.port.ReadTotalTimeoutMultiplier << " "
                                        << c.port.ReadTotalTimeoutConstant;
        EXPECT_EQ(reads_can_time_out(line), c.can_time_out) << line.ReadTotalTimeoutConstant;
        EXPECT_FALSE(reads_return_at_once(line));
    }
}

// A port whose line state is the opposite of the board's in every field that the open sets.
DCB tangled_port_state() {
    DCB state{};
    state.DCBlength = 0;
    state.BaudRate = 9600;
    state.fBinary = FALSE;
    state.fParity = TRUE;
    state.fOutxCtsFlow = TRUE;
    state.fOutxDsrFlow = TRUE;
    state.fDtrControl = DTR_CONTROL_HANDSHAKE;
    state.fDsrSensitivity = TRUE;
    state.fTXContinueOnXoff = TRUE;
    state.fOutX = TRUE;
    state.fInX = TRUE;
    state.fErrorChar = TRUE;
    state.fNull = TRUE;
    state.fRtsControl = RTS_CONTROL_HANDSHAKE;
    state.fAbortOnError = TRUE;
    state.XonLim = 2048;
    state.XoffLim = 512;
    state.ByteSize = 7;
    state.Parity = EVENPARITY;
    state.StopBits = TWOSTOPBITS;
    state.XonChar = 0x11;
    state.XoffChar = 0x13;
    state.ErrorChar = '?';
    state.EofChar = 0x1a;
    state.EvtChar = '#';
    return state;
}

TEST(Win32LineState, TheBoardsLineFromTheProgramsOpenString) {
    const DCB line = line_state_for(tangled_port_state(), *parse_serial_open_string("COM1:1200,N,8,1,CS0,DS0,CD0,RS,BIN"));
    EXPECT_EQ(line.DCBlength, sizeof(DCB));
    EXPECT_EQ(line.BaudRate, 1200U);
    EXPECT_EQ(line.fBinary, 1U);
    EXPECT_EQ(line.fParity, 0U);
    EXPECT_EQ(line.fOutxCtsFlow, 0U);
    EXPECT_EQ(line.fOutxDsrFlow, 0U);
    EXPECT_EQ(line.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
    EXPECT_EQ(line.fDsrSensitivity, 0U);
    EXPECT_EQ(line.fOutX, 0U);
    EXPECT_EQ(line.fInX, 0U);
    EXPECT_EQ(line.fNull, 0U);
    EXPECT_EQ(line.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
    EXPECT_EQ(line.fAbortOnError, 0U);
    EXPECT_EQ(line.ByteSize, 8);
    EXPECT_EQ(line.Parity, NOPARITY);
    EXPECT_EQ(line.StopBits, ONESTOPBIT);
}

TEST(Win32LineState, EveryOtherFieldStaysAsThePortHadIt) {
    const DCB port = tangled_port_state();
    const DCB line = line_state_for(port, *parse_serial_open_string("COM1:1200,N,8,1,CS0,DS0,CD0,RS,BIN"));
    EXPECT_EQ(line.fTXContinueOnXoff, port.fTXContinueOnXoff);
    EXPECT_EQ(line.fErrorChar, port.fErrorChar);
    EXPECT_EQ(line.XonLim, port.XonLim);
    EXPECT_EQ(line.XoffLim, port.XoffLim);
    EXPECT_EQ(line.XonChar, port.XonChar);
    EXPECT_EQ(line.XoffChar, port.XoffChar);
    EXPECT_EQ(line.ErrorChar, port.ErrorChar);
    EXPECT_EQ(line.EofChar, port.EofChar);
    EXPECT_EQ(line.EvtChar, port.EvtChar);
}

TEST(Win32LineState, FramingAndRtsFollowTheOpenString) {
    const struct {
        const char* open_string;
        BYTE byte_size, parity, stop_bits;
        DWORD rts;
    } cases[] = {
        {"COM1:9600,E,7,2,RS", 7, EVENPARITY, TWOSTOPBITS, RTS_CONTROL_DISABLE},
        {"COM1:9600,O,8,1.5", 8, ODDPARITY, ONE5STOPBITS, RTS_CONTROL_ENABLE},
        {"COM1:9600,M,5,1", 5, MARKPARITY, ONESTOPBIT, RTS_CONTROL_ENABLE},
        {"COM1:9600,S,6", 6, SPACEPARITY, ONESTOPBIT, RTS_CONTROL_ENABLE},
    };
    for (const auto& c : cases) {
        const DCB line = line_state_for(tangled_port_state(), *parse_serial_open_string(c.open_string));
        EXPECT_EQ(line.BaudRate, 9600U) << c.open_string;
        EXPECT_EQ(line.ByteSize, c.byte_size) << c.open_string;
        EXPECT_EQ(line.Parity, c.parity) << c.open_string;
        EXPECT_EQ(line.StopBits, c.stop_bits) << c.open_string;
        EXPECT_EQ(line.fRtsControl, c.rts) << c.open_string;
        EXPECT_EQ(line.fParity, 0U) << "parity errors never stop the line: " << c.open_string;
    }
}

TEST(Win32ReadOutcome, OnlyAFailedReadOrAnImpossibleEmptyOneLosesTheLine) {
    const struct {
        bool succeeded;
        DWORD bytes_read;
        bool can_time_out;
        ReadOutcome expected;
    } cases[] = {
        {true, 1, false, ReadOutcome::bytes},
        {true, 5, true, ReadOutcome::bytes},
        {true, 0, true, ReadOutcome::nothing_yet},   // the port's own time-out expired
        {true, 0, false, ReadOutcome::line_lost},    // a blocking read that ends empty: the device is gone
        {false, 0, true, ReadOutcome::line_lost},    // a USB adapter pulled out
        {false, 0, false, ReadOutcome::line_lost},
        {false, 3, false, ReadOutcome::line_lost},
    };
    for (const auto& c : cases)
        EXPECT_EQ(read_outcome(c.succeeded, c.bytes_read, c.can_time_out), c.expected)
            << c.succeeded << " " << c.bytes_read << " " << c.can_time_out;
}

}  // namespace
}  // namespace osa::win32
