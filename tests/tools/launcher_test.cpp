// The launcher on real programs: what goes through the pipes and the environment, and each way of
// ending as a shell reports it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>

#include "launcher.h"

namespace {

using namespace osa::board;

std::string rest_of(int fd) {
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

TEST(Launcher, StartsAProgramAndGivesItsEndAsAShellWould) {
    const struct {
        std::vector<std::string> command;
        std::map<std::string, std::string> environment;
        std::string input;
        int kill_after_ms;
        std::string output;
        int status;
    } rows[] = {
        {{"sh", "-c", "read line; echo \"got $line\"; exit 3"}, {}, "move\n", 5000, "got move\n", 3},
        {{"sh", "-c", "echo \"$OSA_LAUNCHED\""}, {{"OSA_LAUNCHED", "yes"}}, "", 5000, "yes\n", 0},
        {{"/nonexistent/program"}, {}, "", 5000, "", 127},
        {{"sh", "-c", "kill -TERM $$"}, {}, "", 5000, "", 128 + SIGTERM},
        {{"sleep", "30"}, {}, "", 100, "", 128 + SIGKILL},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.command.front() + " " + row.command.back());
        Child child({.command = row.command, .environment = row.environment, .pipes = true});
        EXPECT_TRUE(write_all(child.input().get(), row.input));
        child.input() = Descriptor();
        EXPECT_EQ(child.wait_or_kill(row.kill_after_ms), row.status);
        EXPECT_EQ(rest_of(child.output().get()), row.output);
    }
}

}  // namespace
