#include "board.h"
#include "case_names.h"
#include "move_report.h"
#include "board_notation.h"
#include "search_report.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using namespace osa::board;
using namespace osa::chess;

constexpr char etb = '\x17';

// Reads the way the programs read the board: up to and including the terminator, keeping the
// bytes from 32 up other than ">", and CR and LF only when asked to.
std::string collect(std::string_view stream, std::size_t& at, char terminator, bool keep_breaks = false) {
    std::string text;
    while (at < stream.size()) {
        const char c = stream[at++];
        if (c == terminator) return text;
        const auto code = static_cast<unsigned char>(c);
        if ((code >= 32 && c != '>') || (keep_breaks && (c == '\r' || c == '\n'))) text += c;
    }
    return text + "<unterminated>";
}

void skip_through(std::string_view stream, std::size_t& at, char terminator) {
    while (at < stream.size() && stream[at++] != terminator) {
    }
}

// The human's move as the player program reads it: up to LF when the human plays Black, up to
// ETB when White; a report with "Takeback" is followed by one more.
std::string read_human_report(std::string_view stream, bool human_black, std::size_t& at) {
    const char terminator = human_black ? '\n' : etb;
    std::string text = collect(stream, at, terminator);
    if (text.find("Takeback") == std::string::npos) return text;
    skip_through(stream, at, human_black ? etb : '\n');
    return collect(stream, at, terminator);
}

// The emulator's reports are read with the programs' own functions, so that a report the
// programs would misread fails here.
osa::SearchReport engine_reads(const std::string& text) {
    const auto report = osa::read_search_report(text);
    EXPECT_TRUE(report.has_value()) << "no search report: " << text;
    return report.value_or(osa::SearchReport{});
}

std::string player_reads(const std::string& report, bool human_black) {
    return osa::uci_move_from_report(report, human_black).value_or("<no move>");
}

class BoardTest : public testing::Test {
protected:
    BoardTest() : board_(options(), [this] { return now_; }) {}

    static BoardOptions options() {
        BoardOptions o;
        o.think_ms = 10'000;
        o.level = 2;
        o.human_delay_ms = 100;
        o.seed = 7;
        return o;
    }

    // Sends a command that must be acknowledged by the prompt alone.
    void acknowledged(const char* command) { EXPECT_EQ(board_.handle(command), ">\x17") << command; }

    std::string text_of(const char* command) {
        const std::string bytes = board_.handle(command);
        std::size_t at = 0;
        const std::string text = collect(bytes, at, etb);
        EXPECT_EQ(at, bytes.size()) << "bytes after ETB in the reply to " << command;
        return text;
    }

    std::string final_report() {
        board_.wait_for_computer();
        return text_of("SENDINFO");
    }

    std::string human_move_bytes() {
        now_ += 100;
        return board_.poll();
    }

    void set_up(std::initializer_list<const char*> commands) {
        for (const char* command : commands) acknowledged(command);
    }

    std::int64_t now_ = 0;
    Board board_;
};

struct ReplyCase {
    const char* command;
    const char* reply;
};

class Replies : public BoardTest, public testing::WithParamInterface<ReplyCase> {};

TEST_P(Replies, AreExactAndEndWithETB) {
    EXPECT_EQ(board_.handle(GetParam().command), GetParam().reply);
    EXPECT_EQ(board_.position().fen(), Position().fen()) << "a fresh board's position must not change";
}

INSTANTIATE_TEST_SUITE_P(
    FreshBoard, Replies,
    testing::Values(
        ReplyCase{"ENGLISH", ""}, ReplyCase{"CLOSE", ""}, ReplyCase{"OPEN", "OSA emulated board v1\r\n>\x17"},
        ReplyCase{"NEWGAME", "New Game\r\n>\x17"}, ReplyCase{"SENDINFO OFF", ">\x17"},
        ReplyCase{"SENDINFO ON", ">\x17"}, ReplyCase{"BOARD ON", ">\x17"}, ReplyCase{"BOARD OFF", ">\x17"},
        ReplyCase{"NORMAL", ">\x17"}, ReplyCase{"SENDINFO", "No search\r\n>\x17"},
        ReplyCase{"SETLEVEL 05", "Level 5\r\n>\x17"}, ReplyCase{"setlevel 12", "Level 12\r\n>\x17"},
        ReplyCase{"SETLEVEL x1", "Bad level\r\n>\x17"}, ReplyCase{"setlevel", "Level 2\r\n>\x17"},
        ReplyCase{"setlevel 100", "Bad level\r\n>\x17"}, ReplyCase{"FUNCTION NEW", "Not in setup\r\n>\x17"},
        ReplyCase{"POSI WHITE WKe1", "Not in setup\r\n>\x17"}, ReplyCase{"MOVE e2-e5", "Illegal move\r\n>\x17"},
        ReplyCase{"MOVE e2e4", "Illegal move\r\n>\x17"}, ReplyCase{"MOVE O-O", "Illegal move\r\n>\x17"},
        ReplyCase{"TAKEBACK", "Nothing to take back\r\n>\x17"}, ReplyCase{"move e2-e4", "Unknown command\r\n>\x17"},
        ReplyCase{"HELLO", "Unknown command\r\n>\x17"}),
    [](const auto& info) { return osatest::case_name(info.param.command); });

TEST_F(BoardTest, LevelCommandsSetTheSearchDepth) {
    board_.handle("SETLEVEL 03");
    EXPECT_EQ(board_.level(), 3);
    board_.handle("setlevel 9");
    EXPECT_EQ(board_.level(), 9);
    board_.handle("SETLEVEL 00");
    EXPECT_EQ(board_.level(), 9);
}

TEST_F(BoardTest, ListingHasOneLinePerRankBetweenCaptions) {
    const std::string bytes = board_.handle("POSITION");
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), ">\x17");
    std::size_t at = 0;
    const std::string listing = collect(bytes, at, etb, true);
    EXPECT_EQ(listing.substr(0, 19), "  a b c d e f g h\r\n");
    EXPECT_NE(listing.find("8 r n b q k b n r 8\r\n"), std::string::npos);
    EXPECT_NE(listing.find("1 R N B Q K B N R 1\r\n"), std::string::npos);
    EXPECT_EQ(listing.substr(listing.size() - 23), "White to move, board on");
}

struct SetupCase {
    const char* name;
    std::vector<const char*> placements;
    const char* fen;
};

class Setups : public BoardTest, public testing::WithParamInterface<SetupCase> {};

TEST_P(Setups, PlacedPositionBecomesTheGame) {
    board_.handle("MOVE e2-e4");  // the setup replaces whatever was played; Black is to move
    set_up({"SETUP", "FUNCTION NEW"});
    for (const char* placement : GetParam().placements) acknowledged(placement);
    set_up({"BOARD OFF", "NORMAL"});
    EXPECT_EQ(board_.position().fen(), GetParam().fen);
    EXPECT_FALSE(board_.computer_thinking());
}

INSTANTIATE_TEST_SUITE_P(
    Positions, Setups,
    testing::Values(SetupCase{"start_with_posi",
                              {"POSI WHITE BRa8,BNb8,BBc8,BQd8,BKe8,BBf8,BNg8,BRh8",
                               "POSI WHITE BPa7,BPb7,BPc7,BPd7,BPe7,BPf7,BPg7,BPh7",
                               "POSI WHITE WPa2,WPb2,WPc2,WPd2,WPe2,WPf2,WPg2,WPh2",
                               "POSI WHITE WRa1,WNb1,WBc1,WQd1,WKe1,WBf1,WNg1,WRh1"},
                              "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"},
                    SetupCase{"black_to_move_with_position",
                              {"POSITION BLACK BKe8", "POSITION BLACK WPe2", "POSITION BLACK WKe1"},
                              "4k3/8/8/8/8/8/4P3/4K3 b - - 0 1"},
                    SetupCase{"castling_only_where_rooks_stand_at_home",
                              {"POSI WHITE BRa8,BKe8", "POSI WHITE WKe1,WRg1"},
                              "r3k3/8/8/8/8/8/8/4K1R1 w q - 0 1"},
                    SetupCase{
                        "without_side_word_the_side_stays", {"POSI WKa1", "POSI BKh8"}, "7k/8/8/8/8/8/8/K7 b - - 0 1"}),
    [](const auto& info) { return info.param.name; });

TEST_F(BoardTest, UnusablePlacementsChangeNothing) {
    set_up({"SETUP", "FUNCTION NEW", "POSI WHITE WKe1"});
    for (const char* bad : {"POSI WHITE WKe1,XQd1", "POSI WHITE WKe9", "POSI BLACK WQd1,", "POSI WHITE WKe1 "})
        EXPECT_EQ(board_.handle(bad), "Bad placement\r\n>\x17") << bad;
    EXPECT_EQ(text_of("NORMAL"), "Illegal position");  // no black king
    EXPECT_EQ(board_.position().fen(), Position().fen());
}

TEST_F(BoardTest, EngineRoadMoveSearchFinalReportAndConfirmation) {
    acknowledged("BOARD OFF");
    EXPECT_EQ(text_of("MOVE e2-e4"), "OK");
    EXPECT_TRUE(board_.computer_thinking());
    const std::string report = final_report();
    const osa::SearchReport fields = engine_reads(report);
    EXPECT_EQ(fields.depth, "2");
    EXPECT_TRUE(osa::ends_search(fields)) << report;
    EXPECT_EQ(text_of("SENDINFO"), report) << "the final report repeats until its move is made";

    const std::string move = fields.board_move;
    EXPECT_EQ(text_of(("MOVE " + move).c_str()), "OK");
    EXPECT_EQ(board_.position().plies_played(), 2u);
    EXPECT_EQ(board_.position().side_to_move(), white);
    EXPECT_FALSE(board_.computer_thinking()) << "making the chosen move must not start a new search";
    EXPECT_EQ(text_of("SENDINFO"), "No search");
}

TEST_F(BoardTest, PlayLetsTheComputerMoveForTheSideToMove) {
    EXPECT_EQ(text_of("PLAY"), "OK");
    const std::string move = engine_reads(final_report()).board_move;
    EXPECT_TRUE(parse_board_move(Position(), move).has_value()) << "White's move from the start position: " << move;
    EXPECT_TRUE(parse_uci(Position(), osa::uci_from_board_word(move, true).value_or("0000")).has_value()) << "bestmove for " << move;
    board_.handle(("MOVE " + move).c_str());
    EXPECT_EQ(board_.position().side_to_move(), black);
}

TEST_F(BoardTest, IllegalMoveKeepsTheChosenMoveWaiting) {
    board_.handle("PLAY");
    const std::string report = final_report();
    EXPECT_EQ(text_of("MOVE a2-a5"), "Illegal move");
    EXPECT_EQ(text_of("SENDINFO"), report);
}

TEST_F(BoardTest, OtherMoveThanTheChosenOneIsPlayedAndAnswered) {
    board_.handle("PLAY");
    const std::string chosen = engine_reads(final_report()).board_move;
    const char* other = chosen == "h2-h3" ? "MOVE a2-a3" : "MOVE h2-h3";
    EXPECT_EQ(text_of(other), "OK");
    EXPECT_EQ(board_.position().plies_played(), 1u);
    EXPECT_TRUE(board_.computer_thinking()) << "the board computer now answers for Black";
    const std::string reply = engine_reads(final_report()).board_move;
    EXPECT_TRUE(parse_board_move(board_.position(), reply).has_value()) << "Black's answer: " << reply;
}

TEST_F(BoardTest, TakebackCancelsASearchBeforeItTakesBackAMove) {
    board_.handle("MOVE e2-e4");
    EXPECT_EQ(text_of("TAKEBACK"), "OK");
    EXPECT_FALSE(board_.computer_thinking());
    EXPECT_EQ(board_.position().plies_played(), 1u);
    EXPECT_EQ(text_of("TAKEBACK"), "Takeback");
    EXPECT_EQ(board_.position().fen(), Position().fen());
}

TEST_F(BoardTest, NoLegalMoveGivesTheNullMoveReport) {
    set_up({"SETUP", "FUNCTION NEW", "POSI WHITE BKh8", "POSI WHITE WKh6,WQg7"});
    EXPECT_EQ(text_of("NORMAL"), "Illegal position") << "Black in check with White to move";
    set_up({"SETUP", "FUNCTION NEW", "POSI BLACK BKh8", "POSI BLACK WKh6,WQg7", "NORMAL"});
    board_.handle("PLAY");
    const osa::SearchReport fields = engine_reads(final_report());
    EXPECT_EQ(fields.pv, "00-00");
    EXPECT_EQ(fields.score, std::to_string(-mate_score));
    EXPECT_TRUE(osa::ends_search(fields));
    EXPECT_EQ(fields.board_move, "00-00");
    EXPECT_EQ(osa::uci_from_board_word(fields.board_move, false).value_or("0000"), "0000") << "the UCI null move";
    EXPECT_EQ(text_of("MOVE 00-00"), "OK");
    EXPECT_EQ(text_of("SENDINFO"), "No search");
    EXPECT_EQ(board_.position().plies_played(), 0u);
}

// The player program's hand-overs: whatever the board computer started must be gone when the
// human is asked, and only the GUI's move may have been made.
struct HandOverCase {
    const char* name;
    std::vector<const char*> commands;
    bool wait_for_play;
};

class HandOvers : public BoardTest, public testing::WithParamInterface<HandOverCase> {};

TEST_P(HandOvers, LeaveOnlyTheGuisMoveOnTheBoard) {
    board_.handle("NEWGAME");
    for (const char* command : GetParam().commands) {
        const std::string bytes = board_.handle(command);
        ASSERT_FALSE(bytes.empty()) << command;
        EXPECT_EQ(bytes.find(etb), bytes.size() - 1) << command;
        if (GetParam().wait_for_play && std::string_view(command) == "PLAY") board_.wait_for_computer();
    }
    EXPECT_FALSE(board_.computer_thinking());
    EXPECT_EQ(board_.position().plies_played(), 1u);
    EXPECT_EQ(board_.position().at(square_at(4, 3)), make_piece(white, pawn));
    std::size_t at = 0;
    const std::string report = human_move_bytes();
    const std::string move = player_reads(read_human_report(report, true, at), true);
    EXPECT_EQ(board_.position().plies_played(), 2u);
    Position after_gui_move;
    after_gui_move.make(*parse_uci(after_gui_move, "e2e4"));
    EXPECT_TRUE(parse_uci(after_gui_move, move).has_value()) << "the human answers for Black: " << move;
}

INSTANTIATE_TEST_SUITE_P(
    Player, HandOvers,
    testing::Values(
        HandOverCase{"flip", {"PLAY", "BOARD OFF", "TAKEBACK", "MOVE e2-e4", "BOARD ON", "NORMAL", "ANALYSIS"}, false},
        HandOverCase{"flip_after_the_computer_chose",
                     {"PLAY", "BOARD OFF", "TAKEBACK", "MOVE e2-e4", "BOARD ON", "NORMAL", "ANALYSIS"},
                     true},
        HandOverCase{"plain", {"BOARD OFF", "MOVE e2-e4", "BOARD ON", "NORMAL", "ANALYSIS"}, false}),
    [](const auto& info) { return info.param.name; });

TEST_F(BoardTest, MoveInAnalysisModeStartsNoSearch) {
    acknowledged("ANALYSIS");
    human_move_bytes();
    board_.handle("BOARD OFF");
    const Move reply = board_.position().legal_moves().front();
    EXPECT_EQ(text_of(("MOVE " + board_move_text(board_.position(), reply, CastlingStyle::letters)).c_str()), "OK");
    EXPECT_FALSE(board_.computer_thinking());
    EXPECT_EQ(board_.position().plies_played(), 2u);
}

TEST_F(BoardTest, HumanMovesAfterTheDelayOnly) {
    acknowledged("ANALYSIS");
    EXPECT_EQ(board_.next_event_in(), 100);
    now_ += 99;
    EXPECT_EQ(board_.poll(), "");
    EXPECT_EQ(board_.next_event_in(), 1);
    now_ += 1;
    EXPECT_NE(board_.poll(), "");
    EXPECT_EQ(board_.next_event_in(), std::nullopt);
    EXPECT_EQ(board_.poll(), "");
}

TEST_F(BoardTest, CommandBeforeTheHumanMovedCancelsTheMove) {
    acknowledged("ANALYSIS");
    acknowledged("BOARD ON");
    EXPECT_EQ(human_move_bytes(), "");
    EXPECT_EQ(board_.position().plies_played(), 0u);
}

// Every move the board can write, castling and promotions included, reads back as that move in
// both programs: the human's report in the player program, the search report's move in the engine
// program.
TEST(ProgramsRead, EveryMoveAsTheBoardWritesIt) {
    for (const char* fen : {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1",
                            "1n2k3/P7/8/8/8/8/7p/4K1N1 w - - 0 1", "1n2k3/P7/8/8/8/8/7p/4K1N1 b - - 0 1"}) {
        const auto pos = Position::from_fen(fen);
        ASSERT_TRUE(pos.has_value()) << fen;
        const bool white_moves = pos->side_to_move() == white;
        for (const Move& move : pos->legal_moves()) {
            const std::string human = human_move_text(*pos, move);
            EXPECT_EQ(player_reads(human, !white_moves), uci_text(move)) << fen << ": " << human;
            const std::string engine = board_move_text(*pos, move, CastlingStyle::letters);
            EXPECT_EQ(osa::uci_from_board_word(engine, white_moves).value_or("0000"), uci_text(move)) << fen << ": " << engine;
        }
    }
}

TEST(MoveReportFraming, FollowsTheHumansSide) {
    EXPECT_EQ(frame_move_report(black, "e7-e5"), "e7-e5\r\n\x17");
    EXPECT_EQ(frame_move_report(white, "e2-e4"), "\r\ne2-e4\x17");
}

// Plays whole games in analysis mode, the human on both sides, and reads every report as the
// player program would; every few moves the human takes a move back first.
class HumanGames : public testing::TestWithParam<int> {};

TEST_P(HumanGames, EveryReportReadsAsTheMoveMade) {
    std::int64_t now = 0;
    BoardOptions options;
    options.human_delay_ms = 10;
    options.takeback_every = 3;
    options.seed = static_cast<std::uint32_t>(GetParam());
    Board board(options, [&] { return now; });
    board.handle("NEWGAME");
    int takebacks = 0;
    for (int ply = 0; ply < 300 && board.position().outcome() == Outcome::ongoing; ++ply) {
        const Position before = board.position();
        const bool human_black = before.side_to_move() == black;
        ASSERT_EQ(board.handle("ANALYSIS"), ">\x17");
        now += 10;
        const std::string bytes = board.poll();
        std::size_t at = 0;
        const std::string text = read_human_report(bytes, human_black, at);
        takebacks += bytes.find("Takeback") != std::string::npos;
        // Black's reports leave their ETB behind, which the program drains before its next command.
        EXPECT_EQ(bytes.substr(at), human_black ? std::string(1, etb) : "") << text;
        const auto move = parse_uci(before, player_reads(text, human_black));
        ASSERT_TRUE(move.has_value()) << "report '" << text << "' in " << before.fen();
        Position expected = before;
        expected.make(*move);
        ASSERT_EQ(board.position().fen(), expected.fen()) << text;
    }
    EXPECT_GT(takebacks, 0);
}

INSTANTIATE_TEST_SUITE_P(Seeds, HumanGames, testing::Values(1, 2, 3, 4, 5, 6, 7, 8),
                         [](const auto& info) { return osatest::seed_name(info.param); });

TEST(HumanEngine, PlaysTheSearchedMove) {
    std::int64_t now = 0;
    BoardOptions options;
    options.human = HumanKind::engine;
    options.human_delay_ms = 50;
    options.level = 3;
    Board board(options, [&] { return now; });
    board.handle("SETUP");
    board.handle("FUNCTION NEW");
    board.handle("POSI WHITE BKg8,BPf7,BPg7,BPh7");
    board.handle("POSI WHITE WRa1,WKg1");
    board.handle("NORMAL");
    board.handle("ANALYSIS");
    now += 50;
    std::string bytes;
    for (int tries = 0; tries < 500 && bytes.empty(); ++tries) {
        EXPECT_TRUE(board.next_event_in().has_value());
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        bytes = board.poll();
    }
    EXPECT_EQ(bytes, "\r\nRa1-a8\x17");
    EXPECT_EQ(board.position().outcome(), Outcome::checkmate);
}

struct ReportCase {
    const char* name;
    SearchProgress progress;
    const char* depth;
    const char* score;
    const char* pv;
    bool final;
};

class SearchReports : public testing::TestWithParam<ReportCase> {};

TEST_P(SearchReports, KeepTheirColumns) {
    const Position pos;
    const auto& c = GetParam();
    const std::string text = search_report(pos, c.progress, CastlingStyle::letters);
    const osa::SearchReport fields = engine_reads(text);
    EXPECT_EQ(fields.depth, c.depth);
    EXPECT_EQ(fields.score, c.score);
    EXPECT_EQ(fields.pv, c.pv);
    EXPECT_EQ(fields.final, c.final);
    EXPECT_EQ(text.substr(19, 1), " ");
    EXPECT_EQ(text.substr(26, 2), "  ");
}

Move m(const char* from, const char* to) {
    return {static_cast<std::uint8_t>(*parse_square(from)), static_cast<std::uint8_t>(*parse_square(to)), none};
}

INSTANTIATE_TEST_SUITE_P(
    Progress, SearchReports,
    testing::Values(
        ReportCase{"running", {4, -15, 1234, {m("e2", "e4"), m("e7", "e5")}, false}, "4", "-15", "e2-e4 e7-e5", false},
        ReportCase{"final", {12, 8, 5, {m("d2", "d4"), m("d7", "d5"), m("c2", "c4")}, true}, "12", "8",
                   "d2-d4 d7-d5 c2-c4", true},
        ReportCase{"final_single_move", {1, 50, 21, {m("b1", "c3")}, true}, "1", "50", "b1-c3", true},
        ReportCase{"nothing_yet", {0, 0, 0, {}, false}, "0", "0", "", false},
        ReportCase{"mated", {0, -mate_score, 0, {}, true}, "0", "-30000", "00-00", true},
        ReportCase{"huge_node_count", {9, 29998, 123'456'789'012ULL, {m("g1", "f3")}, false}, "9", "29998", "g1-f3",
                   false}),
    [](const auto& info) { return info.param.name; });

}  // namespace
