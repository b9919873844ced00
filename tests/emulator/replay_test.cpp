// Reading run traces back, playing back their board side, and the line speed: the pure parts.
#include <gtest/gtest.h>

#include "options.h"
#include "recording.h"
#include "replay.h"
#include "text.h"
#include "wire.h"

namespace {

using namespace osa::board;
using osa::TraceEntry;
using osa::TraceTag;

TEST(UnescapeBytes, IsTheExactInverseOfEscapeBytesOverEveryByte) {
    std::string every_byte;
    for (int code = 0; code < 256; ++code) every_byte += static_cast<char>(code);
    const std::string escaped = osa::escape_bytes(every_byte);
    EXPECT_EQ(osa::unescape_bytes(escaped), every_byte);
    for (int code = 0; code < 256; ++code) {
        const std::string one(1, static_cast<char>(code));
        EXPECT_EQ(osa::unescape_bytes(osa::escape_bytes(one)), one) << code;
    }
}

TEST(UnescapeBytes, RefusesWhatEscapeBytesNeverWrites) {
    EXPECT_EQ(osa::unescape_bytes("OK\\r\\n>\\x17"), std::string("OK\r\n>\x17"));
    EXPECT_EQ(osa::unescape_bytes(""), std::string());
    for (const char* bad : {"\\", "a\\", "\\t", "\\x1", "\\x", "\\x1g", "\\x1b", "\\x41", "\\x0D", "\\x0A", "\\x7e",
                            "raw\ttab", "raw\r", "\xe9"})
        EXPECT_EQ(osa::unescape_bytes(bad), std::nullopt) << osa::escape_bytes(bad);
}

struct TraceLine {
    const char* text;
    std::int64_t ms;
    TraceTag tag;
    const char* bytes;
};

TEST(ParseTrace, ReadsEveryTagTimeAndBytes) {
    const std::vector<TraceLine> good{
        {"       0 start Dorvane 1.3.0", 0, TraceTag::start, "Dorvane 1.3.0"},
        {"       2 from-gui uci\\n", 2, TraceTag::from_gui, "uci\n"},
        {"     302 to-gui info string a\\\\b\\r\\n", 302, TraceTag::to_gui, "info string a\\b\r\n"},
        {"123456789 to-board OPEN\\r\\n", 123456789, TraceTag::to_board, "OPEN\r\n"},
        {"301 from-board  x>\\x17", 301, TraceTag::from_board, " x>\x17"},
        {"       5 to-gui ", 5, TraceTag::to_gui, ""},
        {"       5 to-gui", 5, TraceTag::to_gui, ""},
    };
    for (const auto& line : good) {
        const auto parsed = parse_trace(std::string(line.text) + "\n");
        ASSERT_TRUE(std::holds_alternative<std::vector<TraceEntry>>(parsed)) << std::get<std::string>(parsed);
        const auto& entries = std::get<std::vector<TraceEntry>>(parsed);
        ASSERT_EQ(entries.size(), 1u) << line.text;
        EXPECT_EQ(entries[0].ms, line.ms) << line.text;
        EXPECT_EQ(entries[0].tag, line.tag) << line.text;
        EXPECT_EQ(entries[0].bytes, line.bytes) << line.text;
    }
}

TEST(ParseTrace, NamesTheLineOfTheFirstFault) {
    const std::vector<std::pair<std::string, std::string>> bad{
        {"   1 to-board OPEN\\r\\n\n\n", "line 2: an empty line"},
        {"   1 to-board OPEN\\r\\n\n       2\n", "line 2: no tag after the time"},
        {"  x1 to-board OPEN\n", "line 1: the time is not a number of milliseconds"},
        {"  -1 to-board OPEN\n", "line 1: the time is not a number of milliseconds"},
        {"   1 to-board OPEN\\q\n", "line 1: the bytes are not escaped as a trace writes them"},
        {"   1 to-board OPEN\r\n", "line 1: the bytes are not escaped as a trace writes them"},
        {"   1  to-board OPEN\n", "line 1: no tag after the time"},
    };
    for (const auto& [text, message] : bad) {
        const auto parsed = parse_trace(text);
        ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << osa::escape_bytes(text);
        EXPECT_EQ(std::get<std::string>(parsed), message);
    }
}

TEST(ParseTrace, SkipsUnknownTagsAndTakesTheLastRun) {
    const auto parsed = parse_trace(
        "0 start Quillrand 1.2\n1 to-board A\n0 start Dorvane 1.3.0\n3 note \\z anything\n4 to-board B\\r\\n");
    const auto& entries = std::get<std::vector<TraceEntry>>(parsed);
    ASSERT_EQ(entries.size(), 4u);
    const auto run = last_run(entries);
    ASSERT_EQ(run.size(), 2u);
    EXPECT_EQ(run[0].bytes, "Dorvane 1.3.0");
    EXPECT_EQ(run[1].bytes, "B\r\n");
    EXPECT_TRUE(last_run({{1, TraceTag::to_board, "A"}}).empty());
}

TEST(StreamCheck, ReportsTheWholeDifferingLineWithItsNumber) {
    StreamCheck check("OPEN\r\nMOVE e2-e4\r\nCLOSE\r\n");
    check.feed("OPEN\r\nMOVE e2-e");
    EXPECT_FALSE(check.differs());
    check.feed("3\r");
    EXPECT_TRUE(check.differs());
    EXPECT_FALSE(check.difference_whole());
    check.feed("\nCLOSE\r\n");
    EXPECT_TRUE(check.difference_whole());
    const auto d = check.difference();
    EXPECT_EQ(d.number, 2);
    EXPECT_EQ(d.recorded, "MOVE e2-e4\r\n");
    EXPECT_EQ(d.received, "MOVE e2-e3\r\n");
}

TEST(StreamCheck, BytesPastTheEndDifferAndAShortStreamIsIncomplete) {
    StreamCheck check("A\r\nB\r\n");
    check.feed("A\r\nB\r\n");
    EXPECT_TRUE(check.complete());
    check.feed("C\n");
    EXPECT_TRUE(check.difference_whole());
    EXPECT_EQ(check.difference().number, 3);
    EXPECT_EQ(check.difference().recorded, "");
    EXPECT_EQ(check.lines(), 2);

    StreamCheck short_one("A\r\nB\r\n");
    short_one.feed("A\r\nB");
    EXPECT_FALSE(short_one.complete());
    EXPECT_FALSE(short_one.differs());
    EXPECT_EQ(short_one.difference().recorded, "B\r\n");
    EXPECT_EQ(short_one.difference().received, "B");
}

std::vector<TraceEntry> recording() {
    return {{0, TraceTag::start, "Dorvane 1.3.0"},       {0, TraceTag::from_gui, "uci\n"},
            {5, TraceTag::to_board, "OPEN\r\n"},         {20, TraceTag::from_board, "Board\r\n>\x17"},
            {21, TraceTag::to_gui, "info string Board\n"}, {30, TraceTag::to_board, "MOVE "},
            {30, TraceTag::to_board, "e2-e4\r\n"},      {40, TraceTag::from_board, "OK\r\n>\x17"},
            {50, TraceTag::from_gui, "go\n"},            {90, TraceTag::from_board, "\x17"},
            {95, TraceTag::to_board, "CLOSE\r\n"}};
}

TEST(Replay, SendsEachRepliesAtItsRecordedDelayOnceItsCommandHasCome) {
    Replay replay(recording(), {});
    EXPECT_EQ(replay.board_output(0), "");
    EXPECT_EQ(replay.take_gui_input(), "uci\n") << "lines before the first command go at once";
    EXPECT_EQ(replay.next_event_in(0), std::nullopt) << "nothing is due before OPEN";
    replay.receive("OPEN\r", 100);
    EXPECT_EQ(replay.next_event_in(100), std::nullopt) << "OPEN is not whole yet";
    replay.receive("\n", 100);
    EXPECT_EQ(replay.next_event_in(100), 15);
    EXPECT_EQ(replay.board_output(114), "");
    EXPECT_EQ(replay.board_output(115), "Board\r\n>\x17");
    replay.receive("MOVE ", 200);
    EXPECT_EQ(replay.next_event_in(200), std::nullopt) << "the stretch of the first piece holds nothing";
    replay.receive("e2-e4\r\n", 201);
    EXPECT_EQ(replay.board_output(210), "");
    EXPECT_EQ(replay.board_output(211), "OK\r\n>\x17");
    EXPECT_EQ(replay.take_gui_input(), "") << "the GUI line waits for the board's bytes of its stretch";
    EXPECT_EQ(replay.next_event_in(211), 50) << "the late ETB's delay from the reply before it";
    EXPECT_EQ(replay.board_output(261), "\x17");
    EXPECT_EQ(replay.take_gui_input(), "go\n");
    EXPECT_TRUE(replay.gui_input_finished());
    EXPECT_FALSE(replay.complete());
    replay.receive("CLOSE\r\n", 300);
    EXPECT_TRUE(replay.complete());
    EXPECT_EQ(replay.report(), "");
}

TEST(Replay, UntimedSendsAtOnceAndACommandLeftBehindHurriesItsStretch) {
    Replay fast(recording(), {false, false});
    fast.receive("OPEN\r\nMOVE e2-e4\r\n", 7);
    EXPECT_EQ(fast.board_output(7), "Board\r\n>\x17OK\r\n>\x17\x17");
    EXPECT_EQ(fast.take_gui_input(), "uci\ngo\n");

    Replay timed(recording(), {});
    timed.receive("OPEN\r\nMOVE e2-e4\r\n", 7);
    EXPECT_EQ(timed.board_output(7), "Board\r\n>\x17") << "OPEN's reply is overtaken by the next command";
    EXPECT_EQ(timed.next_event_in(7), 10);
}

TEST(Replay, ADifferingCommandIsOverWhenWholeOrAfterItsTime) {
    Replay replay(recording(), {});
    replay.receive("OPEN\r\nMOVE e2-e3", 100);
    EXPECT_FALSE(replay.over(100));
    EXPECT_EQ(replay.next_event_in(100), Replay::rest_of_line_ms);
    EXPECT_TRUE(replay.over(100 + Replay::rest_of_line_ms)) << "reported as it stands";
    replay.receive("\r\n", 101);
    EXPECT_TRUE(replay.over(101));
    EXPECT_EQ(replay.report(),
              "command 2 differs from the recording\n  recorded: MOVE e2-e4\\r\\n\n  received: MOVE e2-e3\\r\\n\n");
}

TEST(Replay, ReportsCommandsPastTheEndAndCommandsNeverSent) {
    Replay extra(recording(), {});
    extra.receive("OPEN\r\nMOVE e2-e4\r\nCLOSE\r\nOPEN\r\n", 10);
    EXPECT_TRUE(extra.over(10));
    EXPECT_EQ(extra.report(),
              "command 4 is not in the recording, which ends after command 3\n  received: OPEN\\r\\n\n");

    Replay ended(recording(), {});
    ended.receive("OPEN\r\nMO", 10);
    EXPECT_FALSE(ended.over(10));
    EXPECT_EQ(ended.report(), "the program ended before command 2\n  recorded: MOVE e2-e4\\r\\n\n  received: MO\n");
}

TEST(Replay, ChecksTheUciOutputOnlyWhenAsked) {
    Replay checked(recording(), {true, true});
    checked.gui_output("info string Boat\n", 5);
    EXPECT_TRUE(checked.over(5));
    EXPECT_EQ(checked.report(), "UCI output line 1 differs from the recording\n  recorded: info string Board\\n\n"
                                "  received: info string Boat\\n\n");
    Replay unchecked(recording(), {true, false});
    unchecked.gui_output("anything\n", 5);
    EXPECT_FALSE(unchecked.over(5));

    Replay silent(recording(), {false, true});
    silent.receive("OPEN\r\nMOVE e2-e4\r\nCLOSE\r\n", 5);
    EXPECT_EQ(silent.report(), "the UCI output ended before line 1\n  recorded: info string Board\\n\n");
}

using namespace std::chrono_literals;

TEST(Wire, HoldsEachByteForItsTimeOnTheLine) {
    EXPECT_EQ(Wire::byte_time(1200), 8'333'333ns);
    EXPECT_EQ(Wire::byte_time(9600), 1'041'666ns);
    const Wire::Time start{};
    Wire wire(1200);
    EXPECT_EQ(wire.next_due(), std::nullopt);
    wire.queue("OK\r\n", start);
    EXPECT_EQ(wire.next_due(), start + 8'333'333ns) << "the first byte, too, takes its time";
    EXPECT_EQ(wire.take_due(start + 8ms), "");
    EXPECT_EQ(wire.take_due(start + 9ms), "O");
    EXPECT_EQ(wire.take_due(start + 16ms), "");
    EXPECT_EQ(wire.take_due(start + 17ms), "K");
    EXPECT_EQ(wire.take_due(start + 34ms), "\r\n") << "the line's clock: a late wake-up sends what is due";
    EXPECT_EQ(wire.next_due(), std::nullopt);
    wire.queue(">", start + 1s);
    EXPECT_EQ(wire.take_due(start + 1s), "");
    EXPECT_EQ(wire.next_due(), start + 1s + 8'333'333ns) << "an idle line starts when the byte comes";
}

TEST(Wire, WithoutASpeedSendsEverythingAtOnce) {
    Wire wire;
    wire.queue("OK\r\n>\x17", Wire::Time{});
    EXPECT_EQ(wire.take_due(Wire::Time{}), "OK\r\n>\x17");
    EXPECT_EQ(wire.next_due(), std::nullopt);
}

TEST(ReplayOptions, AreRead) {
    const auto parsed = parse_options({"--replay", "t.txt", "--replay-fast", "--replay-gui", "--replay-check-gui",
                                       "--wire-speed", "1200", "--trace", "e.log", "--", "Dorvane"});
    ASSERT_TRUE(std::holds_alternative<EmulatorOptions>(parsed)) << std::get<std::string>(parsed);
    const auto& o = std::get<EmulatorOptions>(parsed);
    EXPECT_EQ(o.replay_path, "t.txt");
    EXPECT_TRUE(o.replay_fast && o.replay_gui && o.replay_check_gui);
    EXPECT_EQ(o.wire_baud, 1200);
    EXPECT_TRUE(std::holds_alternative<EmulatorOptions>(parse_options({"--wire-speed", "1200", "--think", "5"})));
}

}  // namespace
