// The console channel on Windows, with standard input and output bound to anonymous pipes as a
// GUI binds them: CR LF arrives as sent and every line leaves with exactly one CR LF.
#include "console.h"

#include <gtest/gtest.h>

#include <string>

#include <windows.h>

namespace osa {
namespace {

class Win32Console : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CreatePipe(&input_read_, &input_write_, nullptr, 0));
        ASSERT_TRUE(CreatePipe(&output_read_, &output_write_, nullptr, 0));
        SetStdHandle(STD_INPUT_HANDLE, input_read_);
        SetStdHandle(STD_OUTPUT_HANDLE, output_write_);
    }

    void TearDown() override {
        SetStdHandle(STD_INPUT_HANDLE, saved_input_);
        SetStdHandle(STD_OUTPUT_HANDLE, saved_output_);
        for (HANDLE* handle : {&input_read_, &input_write_, &output_read_, &output_write_}) close(*handle);
    }

    static void close(HANDLE& handle) {
        if (handle != nullptr) CloseHandle(handle);
        handle = nullptr;
    }

    void send(const std::string& bytes) {
        DWORD put = 0;
        ASSERT_TRUE(WriteFile(input_write_, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr));
        ASSERT_EQ(put, bytes.size());
    }

    // Everything written to standard output so far: the write end is closed first.
    std::string written() {
        close(output_write_);
        std::string bytes;
        char buffer[256];
        DWORD got = 0;
        while (ReadFile(output_read_, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
        return bytes;
    }

    HANDLE saved_input_ = GetStdHandle(STD_INPUT_HANDLE);
    HANDLE saved_output_ = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE input_read_ = nullptr, input_write_ = nullptr, output_read_ = nullptr, output_write_ = nullptr;
};

TEST_F(Win32Console, LinesLeaveWithExactlyOneCrLf) {
    open_console_input();
    write_console("bestmove ");
    write_console_line("e7e5");
    write_console_line("");
    write_console_line("info string a\nb");
    EXPECT_EQ(written(), "bestmove e7e5\r\n\r\ninfo string a\nb\r\n");
}

TEST_F(Win32Console, CrLfAndLfBothEndALineAndTheLastNeedsNone) {
    open_console_input();
    send("uci\r\n  isready  \n\r\nposition startpos\rmoves\r\nquit");
    close(input_write_);
    ConsoleInput input;
    const struct {
        const char* text;
        ReadStatus status;
    } expected[] = {{"uci", ReadStatus::done},
                    {"  isready  ", ReadStatus::done},
                    {"", ReadStatus::done},
                    {"position startpos\rmoves", ReadStatus::done},
                    {"quit", ReadStatus::end_of_input},
                    {"", ReadStatus::end_of_input}};
    for (const auto& e : expected) {
        const ConsoleLine line = input.read_line();
        EXPECT_EQ(line.text, e.text);
        EXPECT_EQ(line.status, e.status) << e.text;
    }
}

TEST_F(Win32Console, AWriteToAClosedPipeIsDroppedAndNothingOfItIsHeldBack) {
    open_console_input();
    close(output_read_);
    write_console_line("readyok");
    close(output_write_);
    ASSERT_TRUE(CreatePipe(&output_read_, &output_write_, nullptr, 0));
    SetStdHandle(STD_OUTPUT_HANDLE, output_write_);
    write_console_line("uciok");
    EXPECT_EQ(written(), "uciok\r\n");
}

}  // namespace
}  // namespace osa
