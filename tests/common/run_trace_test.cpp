#include "run_trace.h"

#include <gtest/gtest.h>

namespace osa {
namespace {

TEST(RunTraceLine, TimeTagAndEscapedBytesOnOneLine) {
    const std::pair<TraceEntry, const char*> cases[] = {
        {{0, TraceTag::start, "Dorvane 1.3.0"}, "       0 start Dorvane 1.3.0\n"},
        {{2, TraceTag::from_gui, "uci\n"}, "       2 from-gui uci\\n\n"},
        {{3, TraceTag::to_gui, "readyok\r\n"}, "       3 to-gui readyok\\r\\n\n"},
        {{255, TraceTag::to_board, "OPEN\r\n"}, "     255 to-board OPEN\\r\\n\n"},
        {{12345678, TraceTag::from_board, ">\x17\\\xE9"}, "12345678 from-board >\\x17\\\\\\xE9\n"},
        {{123456789, TraceTag::to_gui, ""}, "123456789 to-gui \n"},  // wider than the column
    };
    for (const auto& [entry, line] : cases) EXPECT_EQ(trace_line(entry), line);
}

struct Read {
    std::int64_t ms;
    const char* bytes;
    bool then_quiet = false;  // nothing more is waiting after this read
};

struct JoinCase {
    const char* what;
    std::vector<Read> reads;
    std::vector<std::pair<std::int64_t, std::string>> entries;  // with what finish() gives last
};

std::vector<std::pair<std::int64_t, std::string>> joined(const std::vector<Read>& reads) {
    BoardBytesJoiner joiner;
    std::vector<std::pair<std::int64_t, std::string>> entries;
    for (const Read& read : reads) {
        for (const TraceEntry& entry : joiner.add(read.ms, read.bytes)) {
            EXPECT_EQ(entry.tag, TraceTag::from_board);
            entries.emplace_back(entry.ms, entry.bytes);
        }
        if (!read.then_quiet) continue;
        if (const auto line = joiner.finish_line()) entries.emplace_back(line->ms, line->bytes);
    }
    if (const auto rest = joiner.finish()) entries.emplace_back(rest->ms, rest->bytes);
    EXPECT_FALSE(joiner.finish()) << "finish leaves nothing behind";
    return entries;
}

TEST(BoardBytesJoiner, ReadsJoinUpToEachEndOfReplyAtTheTimeOfTheFirstByte) {
    const JoinCase cases[] = {
        {"single bytes", {{5, "O"}, {6, "K"}, {7, ">"}, {9, "\x17"}}, {{5, "OK>\x17"}}},
        {"two replies in one read", {{4, "a\x17" "b\x17"}}, {{4, "a\x17"}, {4, "b\x17"}}},
        {"the rest of a read begins the next entry", {{4, "a\x17" "b"}, {8, "c\x17"}}, {{4, "a\x17"}, {4, "bc\x17"}}},
        {"a reply ended by LF stays open", {{1, "e7-e5\r\n"}, {3, "\x17"}}, {{1, "e7-e5\r\n\x17"}}},
        {"bytes without an end-of-reply", {{2, "junk"}}, {{2, "junk"}}},
        {"a line end with nothing more waiting ends the entry",
         {{1, "OSA v1\r\n", true}, {9, "\x17"}}, {{1, "OSA v1\r\n"}, {9, "\x17"}}},
        {"a quiet pause within a line keeps it open", {{1, "OSA", true}, {3, " v1\r\n\x17"}}, {{1, "OSA v1\r\n\x17"}}},
        {"a line end with more waiting keeps it open", {{1, "e7-e5\r\n"}, {2, "\x17", true}}, {{1, "e7-e5\r\n\x17"}}},
        {"nothing read", {}, {}},
    };
    for (const JoinCase& c : cases) EXPECT_EQ(joined(c.reads), c.entries) << c.what;
}

}  // namespace
}  // namespace osa
