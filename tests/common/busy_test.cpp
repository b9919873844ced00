// What becomes of a line that the GUI sends while the board is busy.
#include "console.h"
#include "uci_commands.h"

#include <gtest/gtest.h>

namespace osa {
namespace {

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

}  // namespace
}  // namespace osa
