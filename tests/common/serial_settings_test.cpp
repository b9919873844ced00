#include "serial_settings.h"
#include "serial_termios.h"

#include <gtest/gtest.h>

namespace osa {
namespace {

struct OpenStringCase {
    const char* text;
    bool parses;
    unsigned long port;
    std::uint32_t speed;
};

TEST(SerialOpenString, DevicePartAndSpeed) {
    const OpenStringCase cases[] = {
        {"COM1:1200,N,8,1,CS0,DS0,CD0,RS,BIN", true, 1, 1200},
        {"com3:9600,N,8,1,CS0,DS0,CD0,RS,BIN", true, 3, 9600},
        {"COM12:1200,N,8,1,CS0,DS0,CD0,RS,BIN", true, 12, 1200},
        {"COM01:1200,N,8,1", true, 1, 1200},
        {"COM:1200,N,8,1", true, 1, 1200},
        {"COM0:1200,N,8,1", true, 1, 1200},
        {"SER:1200,N,8,1", true, 1, 1200},
        {"ser:", true, 1, 300},
        {"LPT7:4800", true, 1, 4800},
        {"COM1:,N,8,1,CS0,DS0,CD0,RS,BIN", true, 1, 300},
        {"COM1: 9600 ,N,8,1,CS0,DS0,CD0,RS,BIN", true, 1, 9600},
        {"COM1:\t9600\t,n,8,1,cs0,ds0,cd0,rs,bin", true, 1, 9600},
        {"COM1:+9600,N,8,1", true, 1, 9600},
        {"COM29600,N,8,1,CS0,DS0,CD0,RS,BIN", false, 0, 0},
        {"COMX:1200,N,8,1", false, 0, 0},
        {"COM1X:1200,N,8,1", false, 0, 0},
        {"COM1:12OO,N,8,1,CS0,DS0,CD0,RS,BIN", false, 0, 0},
        {"COM1:96 00,N,8,1,CS0,DS0,CD0,RS,BIN", false, 0, 0},
        {"COM1:9600,N,8,1,N,8,1,CS0,DS0,CD0,RS,BIN", false, 0, 0},
        {"COM1:4294967296,N,8,1", false, 0, 0},
        {"COM1:1200,X,8,1", false, 0, 0},
        {"COM1:1200,N,9,1", false, 0, 0},
        {"COM1:1200,N,8,3", false, 0, 0},
        {"COM1:1200,N,8,1,CSX", false, 0, 0},
        {"", false, 0, 0},
    };
    for (const auto& c : cases) {
        const auto settings = parse_serial_open_string(c.text);
        ASSERT_EQ(settings.has_value(), c.parses) << c.text;
        if (!settings) continue;
        EXPECT_EQ(settings->port, c.port) << c.text;
        EXPECT_EQ(settings->speed, c.speed) << c.text;
    }
}

TEST(SerialOpenString, TheProgramsOwnOptionWords) {
    const auto settings = parse_serial_open_string("COM1:1200,N,8,1,CS0,DS0,CD0,RS,BIN");
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->parity, Parity::none);
    EXPECT_EQ(settings->data_bits, 8);
    EXPECT_EQ(settings->stop_bits, "1");
    EXPECT_TRUE(settings->rts_off);
    EXPECT_TRUE(settings->binary);
}

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

}  // namespace
}  // namespace osa
