// The POSIX side of the serial line: which device a port names, the terminal description, and a
// read of a line that is not open.
#include "serial_line.h"
#include "serial_settings.h"
#include "serial_termios.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace osa {
namespace {

TEST(PortMapping, EnvironmentFirstThenTheSerialDevices) {
    const EnvironmentLookup lookup = [](const std::string& name) -> std::optional<std::string> {
        if (name == "OSA_COM3") return "/dev/ttyUSB0";
        return std::nullopt;
    };
    EXPECT_EQ(device_path_for_port(3, lookup), "/dev/ttyUSB0");
    EXPECT_EQ(device_path_for_port(1, lookup), "/dev/ttyS0");
    EXPECT_EQ(device_path_for_port(12, lookup), "/dev/ttyS11");
}

TEST(Termios, RawLineWithoutFlowControl) {
    termios line{};
    line.c_iflag = ICRNL | IXON | IXOFF | ISTRIP | INPCK;
    line.c_oflag = OPOST | ONLCR;
    line.c_lflag = ECHO | ICANON | ISIG | IEXTEN;
    line.c_cflag = CRTSCTS | PARENB | CSTOPB | CS7;
    line.c_cc[VTIME] = 5;
    ASSERT_TRUE(configure_termios(line, *parse_serial_open_string("COM1:1200,N,8,1,CS0,DS0,CD0,RS,BIN")));
    EXPECT_EQ(line.c_iflag & (ICRNL | IXON | IXOFF | ISTRIP | INPCK), 0U);
    EXPECT_EQ(line.c_oflag & OPOST, 0U);
    EXPECT_EQ(line.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0U);
    EXPECT_EQ(line.c_cflag & (CRTSCTS | PARENB | CSTOPB), 0U);
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(line.c_cflag & (CREAD | CLOCAL), static_cast<tcflag_t>(CREAD | CLOCAL));
    EXPECT_EQ(line.c_cc[VMIN], 1);
    EXPECT_EQ(line.c_cc[VTIME], 0);
    EXPECT_EQ(cfgetispeed(&line), static_cast<speed_t>(B1200));
    EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B1200));
}

TEST(Termios, SpeedsWithoutAPosixConstantAreRefused) {
    termios line{};
    EXPECT_FALSE(configure_termios(line, *parse_serial_open_string("COM1:1234")));
    EXPECT_FALSE(configure_termios(line, *parse_serial_open_string("COM1:-1")));
    EXPECT_TRUE(configure_termios(line, *parse_serial_open_string("COM1:")));
    EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B300));
}

// A wait that polls no descriptor would last for ever; the alarm ends the test as failed instead.
TEST(SerialLine, AReadOfAClosedLineFailsAtOnce) {
    SerialLine line;
    alarm(5);
    EXPECT_THROW(line.read(1), SerialLineLost);
    alarm(0);
}

}  // namespace
}  // namespace osa
