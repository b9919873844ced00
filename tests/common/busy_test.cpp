// The busy key and what becomes of a line that the GUI sends while the board is busy.
#include "console.h"
#include "settings.h"
#include "uci_commands.h"

#include <gtest/gtest.h>

namespace osa {
namespace {

TEST(Busy, TheKeyAnswersOnlyWithAnswer) {
    const struct {
        const char* line;
        BusyMode mode;
    } cases[] = {
        {"busy=answer", BusyMode::answer}, {" Busy = ANSWER ", BusyMode::answer}, {"busy=wait", BusyMode::wait},
        {"busy=", BusyMode::wait},         {"busy=answers", BusyMode::wait},      {"busy=yes", BusyMode::wait},
        {"busyanswer", BusyMode::wait},
    };
    for (const auto& c : cases) {
        Settings settings;
        apply_settings_line(settings, {}, c.line);
        EXPECT_EQ(settings.busy, c.mode) << c.line;
    }
    EXPECT_EQ(Settings().busy, BusyMode::wait);
}

TEST(Busy, IsreadyIsAnsweredQuitAndTheEndEndAndTheRestIsKept) {
    const struct {
        ConsoleLine line;
        WhileBusy action;
    } cases[] = {
        {{"isready", ReadStatus::done}, WhileBusy::answer_ready},
        {{"  isready ", ReadStatus::done}, WhileBusy::answer_ready},
        {{"quit", ReadStatus::done}, WhileBusy::end_now},
        {{"", ReadStatus::end_of_input}, WhileBusy::end_now},
        {{"stop", ReadStatus::end_of_input}, WhileBusy::end_now},
        {{"stop", ReadStatus::done}, WhileBusy::keep},
        {{"ISREADY", ReadStatus::done}, WhileBusy::keep},
        {{"quit now", ReadStatus::done}, WhileBusy::keep},
    };
    for (const auto& c : cases) EXPECT_EQ(while_busy(c.line), c.action) << c.line.text;
}

// Kept lines come out first and in order; none of them is read from standard input again.
TEST(Busy, KeptLinesComeFirstInTheirOrder) {
    ConsoleInput console;
    console.keep({"stop", ReadStatus::done});
    console.keep({"position startpos", ReadStatus::done});
    console.keep({"go", ReadStatus::done});
    for (const char* expected : {"stop", "position startpos", "go"}) EXPECT_EQ(console.read_line().text, expected);
}

}  // namespace
}  // namespace osa
