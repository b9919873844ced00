// The serial line on Windows: the statuses of a failed open, where no board is needed; the waits
// and reads as the programs use them, on a port whose board sends back every byte it gets.
#include "platform.h"
#include "serial_line.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include <windows.h>

namespace osa {
namespace {

using namespace std::chrono_literals;

TEST(Win32SerialLine, FailedOpensGiveTheirStatus) {
    const struct {
        const char* open_string;
        int status;
    } cases[] = {
        {"COM29600,N,8,1,CS0,DS0,CD0,RS,BIN", open_bad_settings},    // port name without its ":"
        {"COM1:12OO,N,8,1,CS0,DS0,CD0,RS,BIN", open_bad_settings},   // checked before the device is opened
        {"COM249:1200,N,8,1,CS0,DS0,CD0,RS,BIN", open_no_device},    // no such port
        {"COM8:1200,N,8,1,CS0,DS0,CD0,RS,BIN", open_no_device},      // a plain name, not the namespace
    };
    for (const auto& c : cases) {
        SerialLine line;
        EXPECT_EQ(line.open(c.open_string).status, c.status) << c.open_string;
    }
}

// The reason travels with the status, for the run trace and osa-doctor.
TEST(Win32SerialLine, AMissingPortGivesTheSystemsReason) {
    SerialLine line;
    const OpenResult opened = line.open("COM249:1200,N,8,1,CS0,DS0,CD0,RS,BIN");
    EXPECT_EQ(opened.status, open_no_device);
    EXPECT_EQ(opened.system_code, 2);  // ERROR_FILE_NOT_FOUND
    EXPECT_FALSE(opened.system_text.empty());
}

// run-unit-tests.sh serves echo-board.py on the port that OSA_ECHO_PORT names; it closes its end
// on EOT and serves a fresh one a moment later.
class Win32EchoBoard : public ::testing::Test {
protected:
    void SetUp() override {
        const char* port = std::getenv("OSA_ECHO_PORT");
        if (port == nullptr) GTEST_SKIP() << "no echo board: run-unit-tests.sh serves one";
        open_string_ = std::string(port) + ":9600";
        ASSERT_TRUE(open());
    }

    bool open() {
        for (int tries = 0; tries < 50; ++tries) {
            if (line_.open(open_string_).ok()) return true;
            Sleep(100);
        }
        return false;
    }

    // What the line gives until count bytes have come or the board has been silent for 2 s.
    std::string read_bytes(std::size_t count) {
        std::string got;
        while (got.size() < count && line_.await_bytes(WaitClock::now() + 2s)) got += line_.read(count - got.size());
        return got;
    }

    static std::chrono::milliseconds cpu_time() {
        FILETIME created, ended, kernel, user;
        GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
        const auto ticks = [](const FILETIME& t) { return (ULONGLONG{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
        return std::chrono::milliseconds((ticks(kernel) + ticks(user)) / 10000);
    }

    SerialLine line_;
    std::string open_string_;
};

TEST_F(Win32EchoBoard, AWaitWithADeadlineWakesOnTheBoardsBytesAndTheReadsGetThemInOrder) {
    line_.write("OPEN\r\n");
    const auto start = WaitClock::now();
    ASSERT_TRUE(line_.await_bytes(start + 5s));
    EXPECT_LT(WaitClock::now() - start, 1s);
    EXPECT_EQ(read_bytes(6), "OPEN\r\n");
}

// As the programs drain unasked bytes: what the count says is read, until it says none.
TEST_F(Win32EchoBoard, BytesThatAWaitHasTakenCountAsWaitingAndADrainTakesThemAll) {
    line_.write("abc");
    ASSERT_TRUE(line_.await_bytes(WaitClock::now() + 5s));
    for (int tries = 0; tries < 100 && line_.pending_count() < 3; ++tries) Sleep(10);
    EXPECT_EQ(line_.pending_count(), 3);
    std::string drained;
    for (auto waiting = line_.pending_count(); waiting > 0; waiting = line_.pending_count())
        drained += line_.read(static_cast<std::size_t>(waiting));
    EXPECT_EQ(drained, "abc");
}

// A wait that passed its deadline takes its read back. The read after it gets the board's
// bytes in order, whether they came before it began or come while it waits.
TEST_F(Win32EchoBoard, AReadAfterAWaitThatEndedAtItsDeadlineGetsTheBoardsBytesInOrder) {
    const struct {
        std::string sent;
        DWORD pause_ms;
    } cases[] = {
        {"xy", 100},    // back before the read begins
        {"\x05y", 0},  // back 300 ms later, while the read waits
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(line_.await_bytes(WaitClock::now() + 100ms));
        line_.write(c.sent);
        Sleep(c.pause_ms);
        const std::string first = line_.read(2);
        ASSERT_EQ(first.front(), c.sent.front());
        EXPECT_EQ(first.size() < 2 ? first + line_.read(1) : first, c.sent);
    }
}

TEST_F(Win32EchoBoard, ASilentBoardLetsTheDeadlinePassAsleep) {
    const auto start = WaitClock::now();
    const auto cpu_before = cpu_time();
    EXPECT_FALSE(line_.await_bytes(start + 500ms));
    EXPECT_GE(WaitClock::now() - start, 500ms);
    EXPECT_LT(cpu_time() - cpu_before, 100ms);
}

// Whether the read is the wait or a wait with a deadline came first, a board that goes away ends
// the read with SerialLineLost instead of leaving it waiting or spinning.
TEST_F(Win32EchoBoard, ABoardThatGoesAwayLosesTheLine) {
    for (const bool wait_first : {false, true}) {
        ASSERT_TRUE(open());
        line_.write("\x04");
        if (wait_first) {
            EXPECT_TRUE(line_.await_bytes(WaitClock::now() + 5s)) << "a loss counts as readiness";
        }
        EXPECT_THROW(line_.read(1), SerialLineLost) << (wait_first ? "after a wait" : "the read as the wait");
    }
}

// A line closed after a wait, whether the wait took a byte or left its read outstanding, hands
// nothing of it to the line opened next: that one reads what the board sends from then on.
TEST_F(Win32EchoBoard, ALineOpenedAgainAfterAWaitGetsNothingOfTheOldOne) {
    for (const char* sent : {"a", ""}) {
        line_.write(sent);
        EXPECT_EQ(line_.await_bytes(WaitClock::now() + 300ms), *sent != '\0') << sent;
        line_.close();
        ASSERT_TRUE(open());
        line_.write("b");
        EXPECT_EQ(read_bytes(1), "b") << sent;
    }
}

}  // namespace
}  // namespace osa
