// osa-match stopped by Ctrl-C or SIGTERM in the middle of a game: the moves played so far are
// saved as an unfinished game.
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sstream>
#include <string>

#include "harness.h"

namespace {

using namespace osatest;

std::string file_text(const std::string& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The text with each run of line ends and spaces made one space.
std::string one_line(const std::string& text) {
    std::istringstream words(text);
    std::string line;
    for (std::string word; words >> word;) line += (line.empty() ? "" : " ") + word;
    return line;
}

TEST(MatchStop, ASignalSavesTheMovesSoFarAsAnUnfinishedGame) {
    const std::string engine = std::string(FAKE_UCI_ENGINE) + " first";
    // This Black answers each "go" after 200 ms: the signal comes after a few moves. The silent one
    // never answers: the signal comes while the driver waits for Black's first move.
    const std::string slow_engine =
        "sh -c 'while read -r line; do case $line in go*) sleep 0.2;; esac; echo \"$line\"; done | " + engine + "'";
    const struct {
        int signal;
        const char* name;
        std::string black;
    } cases[] = {{SIGINT, "SIGINT", slow_engine}, {SIGTERM, "SIGTERM", std::string(FAKE_UCI_ENGINE) + " silent"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WorkDir dir;
        const std::string pgn = dir.path() + "/game.pgn";
        RunningProgram match(OSA_MATCH, {"--white", engine, "--black", c.black, "--pgn", pgn}, {}, dir.path());
        std::string output = match.rest_of_output(1s);
        ASSERT_EQ(output.rfind("1. Nc3", 0), 0u) << output;
        ::kill(match.pid(), c.signal);
        output += match.rest_of_output(5s);
        EXPECT_EQ(match.wait_exit(5s), 128 + c.signal) << output;
        const std::string reason = std::string("stopped by ") + c.name;
        EXPECT_NE(output.find("Result: * (" + reason + ")"), std::string::npos) << output;

        // The moves printed before the board are the moves saved, then the reason and the result.
        const std::string text = file_text(pgn);
        EXPECT_NE(text.find("[Result \"*\"]\n"), std::string::npos) << text;
        const auto movetext = text.find("\n\n");
        ASSERT_NE(movetext, std::string::npos) << text;
        const std::string printed = output.substr(0, output.find("\n8 "));
        EXPECT_EQ(one_line(text.substr(movetext)), one_line(printed + " {" + reason + "} *")) << text;
    }
}

}  // namespace
