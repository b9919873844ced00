#include "serial_settings.h"

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
}

TEST(SerialOpenString, BinaryAndTextModeWordsAreAccepted) {
    for (const char* text : {"COM1:1200,N,8,1,BIN", "COM1:1200,N,8,1,asc", "COM1:1200,N,8,1,CS0,DS0,CD0,RS,BIN"})
        EXPECT_TRUE(parse_serial_open_string(text).has_value()) << text;
    EXPECT_FALSE(parse_serial_open_string("COM1:1200,N,8,1,BINARY").has_value());
}

}  // namespace
}  // namespace osa
