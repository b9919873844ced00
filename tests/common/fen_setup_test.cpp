#include "fen_setup.h"

#include <gtest/gtest.h>

namespace osa {
namespace {

using Commands = std::vector<std::string>;

struct FenCase {
    const char* fen;
    std::optional<Commands> commands;
};

TEST(FenSetup, RankCommandsOfThePlayer) {
    const FenCase cases[] = {
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
         Commands{"POSI WHITE BRa8,BNb8,BBc8,BQd8,BKe8,BBf8,BNg8,BRh8",
                  "POSI WHITE BPa7,BPb7,BPc7,BPd7,BPe7,BPf7,BPg7,BPh7",
                  "POSI WHITE WPa2,WPb2,WPc2,WPd2,WPe2,WPf2,WPg2,WPh2",
                  "POSI WHITE WRa1,WNb1,WBc1,WQd1,WKe1,WBf1,WNg1,WRh1"}},
        {"4k3/8/8/8/8/8/4P3/4K3 b - - 0 1", Commands{"POSI BLACK BKe8", "POSI BLACK WPe2", "POSI BLACK WKe1"}},
        {"8/8/8/8/8/8/8/8 w - - 0 1", Commands{}},
        {"4k3/8/8/8/8/8/8/4K3 w", std::nullopt},
        {"4k3/8/8/8/8/8/8/4K3", std::nullopt},
        {"4k3/8/8/8/8/8/8/4K3 W - - 0 1", std::nullopt},
        {"4k3/8/8/8/8/8/8/4K3 wb - - 0 1", Commands{"POSI BLACK BKe8", "POSI BLACK WKe1"}},
        {"4k3/8/8/8/8/8/8/4K3 bw - - 0 1", Commands{"POSI WHITE BKe8", "POSI WHITE WKe1"}},
        {"4k3/8/8/8/8/8/8/4K3  w - - 0 1", std::nullopt},
        {"4k3/8/8/8/8/8/8/4K3 w KQkq e3 12 40", Commands{"POSI WHITE BKe8", "POSI WHITE WKe1"}},
        // Digits 9 and 0 and unknown letters are skipped without moving the file.
        {"9k0/8/8/8/8/8/8/K1xC1Z2r w - - 0 1", Commands{"POSI WHITE BKa8", "POSI WHITE WKa1,BRf1"}},
        // Fewer than eight ranks: nothing is sent.
        {"4k3/8/8/8/8/8/4K3 w - - 0 1", std::nullopt},
        {"4k3/8/8/8/8/8/8/ w - - 0 1", std::nullopt},
        {"x w - - 0 1", std::nullopt},
        // A rank with more than eight squares runs past the h-file.
        {"8/8/8/8/8/8/8/8PP w - - 0 1", Commands{"POSI WHITE WPi1,WPj1"}},
        // More than eight ranks: the rest is not read.
        {"8/8/8/8/8/8/8/8/K7 w - - 0 1", Commands{}},
    };
    for (const auto& c : cases) EXPECT_EQ(rank_commands(c.fen, "POSI "), c.commands) << c.fen;
}

TEST(FenSetup, TheConverterSaysPosition) {
    EXPECT_EQ(rank_commands("4k3/8/8/8/8/8/8/4K3 w - - 0 1", "POSITION "),
              (Commands{"POSITION WHITE BKe8", "POSITION WHITE WKe1"}));
}

}  // namespace
}  // namespace osa
