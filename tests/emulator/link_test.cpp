#include <gtest/gtest.h>
#include <sys/wait.h>

#include "launcher.h"
#include "options.h"
#include "pty.h"
#include "serve.h"
#include "text.h"
#include "trace.h"

namespace {

using namespace osa::board;

TEST(LineSplitter, CutsAtCrLfAndKeepsPartialLines) {
    LineSplitter lines;
    EXPECT_EQ(lines.feed("OPEN\r\nNEW"), (std::vector<std::string>{"OPEN"}));
    EXPECT_EQ(lines.feed("GAME\r"), (std::vector<std::string>{"NEWGAME"}));
    EXPECT_EQ(lines.feed("\nMOVE e2-e4\r\n\r\nPLAY\n"), (std::vector<std::string>{"MOVE e2-e4", "PLAY"}));
    EXPECT_TRUE(lines.feed("SEND").empty());
}

TEST(Escaping, ShowsControlBytesAndFraming) {
    EXPECT_EQ(osa::escape_bytes("OK\r\n>\x17"), "OK\\r\\n>\\x17");
    EXPECT_EQ(osa::escape_bytes("a\\b\x7f\xe9"), "a\\\\b\\x7F\\xE9");
    EXPECT_EQ(osa::escape_bytes(""), "");
}

TEST(RawSettings, TurnOffEchoTranslationAndLineEditing) {
    termios noisy{};
    noisy.c_iflag = ICRNL | IXON | INLCR;
    noisy.c_oflag = OPOST | ONLCR;
    noisy.c_lflag = ECHO | ICANON | ISIG;
    noisy.c_cflag = PARENB | CS7;
    const termios raw = raw_settings(noisy);
    EXPECT_EQ(raw.c_iflag & (ICRNL | IXON | INLCR), 0u);
    EXPECT_EQ(raw.c_oflag & OPOST, 0u);
    EXPECT_EQ(raw.c_lflag & (ECHO | ICANON | ISIG), 0u);
    EXPECT_EQ(raw.c_cflag & PARENB, 0u);
    EXPECT_EQ(raw.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(raw.c_cc[VMIN], 1);
}

TEST(PortVariable, NamesTheVariableOfEachComPort) {
    EXPECT_EQ(port_variable("COM1:"), "OSA_COM1");
    EXPECT_EQ(port_variable("COM12"), "OSA_COM12");
    for (const char* bad : {"", "COM", "COM:", "LPT1:", "COMx:", "com1:"}) EXPECT_EQ(port_variable(bad), "") << bad;
}

TEST(ShellStatus, IsTheExitCodeOr128PlusTheSignal) {
    EXPECT_EQ(shell_status(3 << 8), 3);
    EXPECT_EQ(shell_status(SIGKILL), 128 + SIGKILL);
}

EmulatorOptions parsed(std::vector<std::string> args) {
    auto result = parse_options(args);
    EXPECT_TRUE(std::holds_alternative<EmulatorOptions>(result)) << std::get<std::string>(result);
    return std::get<EmulatorOptions>(result);
}

TEST(Options, DefaultsServeAloneOnCom1) {
    const auto o = parsed({});
    EXPECT_EQ(o.board.think_ms, 1000);
    EXPECT_EQ(o.board.human, HumanKind::random);
    EXPECT_EQ(o.port, "COM1:");
    EXPECT_EQ(o.board.report_style.capture_sign, 'x');
    EXPECT_FALSE(o.board.report_style.check_signs);
    EXPECT_FALSE(o.seed_given);
    EXPECT_TRUE(o.child_command.empty());
}

TEST(Options, EverySettingIsRead) {
    const auto o =
        parsed({"--think",          "250",    "--level", "7",    "--human",    "engine",  "--human-delay", "40",
                "--takeback-every", "5",      "--seed",  "99",   "--castling", "squares", "--port",        "COM2:",
                "--captures",       "dash",   "--checks", "signs", "--trace",   "/tmp/t",  "--",
                "prog",             "--think", "x"});
    EXPECT_EQ(o.board.think_ms, 250);
    EXPECT_EQ(o.board.level, 7);
    EXPECT_EQ(o.board.human, HumanKind::engine);
    EXPECT_EQ(o.board.human_delay_ms, 40);
    EXPECT_EQ(o.board.takeback_every, 5);
    EXPECT_EQ(o.board.seed, 99u);
    EXPECT_TRUE(o.seed_given);
    EXPECT_EQ(o.board.report_style.castling, CastlingStyle::king_squares);
    EXPECT_EQ(o.board.report_style.capture_sign, '-');
    EXPECT_TRUE(o.board.report_style.check_signs);
    EXPECT_EQ(o.port, "COM2:");
    EXPECT_EQ(o.trace_path, "/tmp/t");
    EXPECT_EQ(o.child_command, (std::vector<std::string>{"prog", "--think", "x"}));
}

TEST(Options, TheWebPageIsServedForAPersonOrToWatch) {
    const auto person = parsed({"--human", "web", "--web-port", "8080"});
    EXPECT_EQ(person.board.human, HumanKind::person);
    EXPECT_EQ(person.web_port, 8080);
    EXPECT_TRUE(serves_page(person));
    EXPECT_TRUE(serves_page(parsed({"--human", "engine", "--view"})));
    EXPECT_FALSE(serves_page(parsed({"--human", "engine"})));
}

TEST(Options, UnplugsAtACommandCountOrATime) {
    struct Case {
        const char* text;
        std::optional<Unplug> unplug;
    };
    const Case cases[] = {
        {"20,1000", Unplug{false, 20, 1000, false}},
        {"9000ms,1500,reset", Unplug{true, 9000, 1500, true}},
        {"0ms,0,keep", Unplug{true, 0, 0, false}},
        {"0,1000", std::nullopt},
        {"20", std::nullopt},
        {"20,1000,off", std::nullopt},
        {"20,1000,keep,x", std::nullopt},
        {"20s,1000", std::nullopt},
        {"20,-1", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto unplug = parse_unplug(c.text);
        ASSERT_EQ(unplug.has_value(), c.unplug.has_value()) << c.text;
        if (!unplug) continue;
        EXPECT_EQ(unplug->by_time, c.unplug->by_time) << c.text;
        EXPECT_EQ(unplug->at, c.unplug->at) << c.text;
        EXPECT_EQ(unplug->down_ms, c.unplug->down_ms) << c.text;
        EXPECT_EQ(unplug->reset, c.unplug->reset) << c.text;
    }
    EXPECT_EQ(parsed({"--unplug", "20,1000", "--unplug", "5000ms,10", "--", "p"}).unplugs.size(), 2u);
}

TEST(Options, UnusableCommandLinesAreRefusedByTheirFirstBadWord) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad{
        {{"--think"}, "--think needs a value"},
        {{"--think", "0"}, "--think needs a number from 1 to 3600000"},
        {{"--think=1000"}, "unknown option --think=1000"},
        {{"--level", "100"}, "--level needs a number from 1 to 99"},
        {{"--human", "robot"}, "--human needs random, engine or web"},
        {{"--port", "LPT1:"}, "--port needs a port name such as COM1:"},
        {{"--castling", "x"}, "--castling needs letters or squares"},
        {{"--captures", "-"}, "--captures needs x or dash"},
        {{"--checks", "yes"}, "--checks needs none or signs"},
        {{"--takeback-every", "-1"}, "--takeback-every needs a number from 0 to 1000000"},
        {{"-hx", "--think", "0"}, "unknown option -hx"},
        {{"--"}, "-- needs a program to run"},
        {{"--seed", "4294967296"}, "--seed needs a number from 0 to 4294967295"},
        {{"--web-port", "8080"}, "--web-port needs --human web or --view"},
        {{"--view", "--web-port", "0"}, "--web-port needs a number from 1 to 65535"},
        {{"--view", "--replay", "t", "--", "p"}, "--view has no effect with --replay: the recording answers"},
        {{"--unplug", "20,1000"}, "--unplug needs a program after --"},
        {{"--unplug", "20,1000", "--replay", "t", "--", "p"}, "--unplug has no effect with --replay"},
        {{"--wire-speed", "0"}, "--wire-speed needs a number from 1 to 10000000"},
        {{"--wire-speed", "fast"}, "--wire-speed needs a number from 1 to 10000000"},
        {{"--replay", "t.txt"}, "--replay needs a program after --"},
        {{"--replay-fast", "--", "p"}, "--replay-fast, --replay-gui and --replay-check-gui need --replay"},
        {{"--replay", "t", "--replay-check-gui", "--", "p"}, "--replay-check-gui needs --replay-gui"},
        {{"--replay", "t", "--think", "5", "--", "p"}, "--think has no effect with --replay: the recording answers"},
        {{"--seed", "5", "--replay", "t", "--", "p"}, "--seed has no effect with --replay: the recording answers"},
    };
    for (const auto& [args, message] : bad) {
        const auto result = parse_options(args);
        ASSERT_TRUE(std::holds_alternative<std::string>(result)) << message;
        EXPECT_EQ(std::get<std::string>(result), message);
    }
}

}  // namespace
