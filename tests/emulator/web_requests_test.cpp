// The web page's pure pieces, and the board's side of a person's moves.
#include "board.h"
#include "move_report.h"
#include "web_requests.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

using namespace osa::board;
using namespace osa::chess;

TEST(WebRequests, OnlyTheLoopbackNamesReachThePage) {
    const struct {
        std::string_view host;
        bool allowed;
    } cases[] = {
        {"127.0.0.1", true},       {"127.0.0.1:8080", true},      {"localhost:8080", true},
        {"LocalHost", true},       {"127.0.0.1:8081", false},     {"localhost.evil.com", false},
        {"evil.com", false},       {"127.0.0.2:8080", false},     {"", false},
        {"[::1]:8080", false},     {"127.0.0.1:8080x", false},    {"127.0.0.1:", false},
    };
    for (const auto& c : cases) EXPECT_EQ(host_allowed(c.host, 8080), c.allowed) << c.host;
}

TEST(WebRequests, OnlyTheBoardsOwnPageMaySendMoves) {
    const struct {
        std::string_view origin;
        bool allowed;
    } cases[] = {
        {"", true},
        {"http://127.0.0.1:8080", true},
        {"http://localhost:8080", true},
        {"https://127.0.0.1:8080", false},
        {"http://evil.com", false},
        {"null", false},
        {"http://127.0.0.1:9090", false},
    };
    for (const auto& c : cases) EXPECT_EQ(origin_allowed(c.origin, 8080), c.allowed) << c.origin;
}

std::string read_back(std::string_view body) {
    const auto parsed = parse_move_request(body);
    if (const auto* refusal = std::get_if<PageAnswer>(&parsed)) return std::to_string(refusal->status);
    const auto& request = std::get<MoveRequest>(parsed);
    std::string text = square_name(request.from) + square_name(request.to);
    if (request.promotion != none) text += static_cast<char>(piece_letter(request.promotion) + 32);
    return text;
}

TEST(WebRequests, AMoveRequestIsTwoSquaresAndAnOptionalPiece) {
    const struct {
        std::string_view body;
        std::string read;
    } cases[] = {
        {"e2e4", "e2e4"},  {" E7E8Q\n", "e7e8q"}, {"a7b8n", "a7b8n"}, {"", "400"},      {"e2", "400"},
        {"e2e9", "400"},   {"i2e4", "400"},       {"e7e8k", "400"},   {"e2e4q5", "400"}, {"e2-e4", "400"},
    };
    for (const auto& c : cases) EXPECT_EQ(read_back(c.body), c.read) << c.body;
}

TEST(WebRequests, TheSquaresNameALegalMoveOrAreRefused) {
    const auto pos = Position::from_fen("r3k2r/1P6/8/8/8/8/8/R3K2R w KQkq - 0 1").value();
    const struct {
        std::string_view body;
        std::string outcome;
    } cases[] = {
        {"e1g1", "e1g1"}, {"e1c1", "e1c1"}, {"b7a8r", "b7a8r"}, {"b7b8n", "b7b8n"},
        {"b7b8", "400"},  {"e1e3", "422"},  {"a1a8q", "422"},   {"e8d8", "422"},
    };
    for (const auto& c : cases) {
        const auto move = move_from_squares(pos, std::get<MoveRequest>(parse_move_request(c.body)));
        const auto* refusal = std::get_if<PageAnswer>(&move);
        EXPECT_EQ(refusal ? std::to_string(refusal->status) : uci_text(std::get<Move>(move)), c.outcome) << c.body;
    }
}

TEST(WebRequests, TheLogWritesControlsOutAndTheStateIsValidJsonText) {
    EXPECT_EQ(log_line('<', "OK\r\n>\x17\x01\xff"), "< OK<CR><LF>><ETB><?><?>");
    PageState state;
    state.fen = "4k3/8/8/8/8/8/8/4K3 w - - 0 1";
    state.last_move = "e7e8";
    state.waiting = true;
    state.legal = {"e1d1", "e1f1"};
    state.log = {"> say \"hi\" \\", "< OK<CR><LF>"};
    // Every key that the page reads, with its value.
    const nlohmann::json page_reads{{"fen", state.fen},    {"lastMove", "e7e8"},     {"interactive", false},
                                    {"waiting", true},     {"takebackAllowed", false}, {"legal", {"e1d1", "e1f1"}},
                                    {"variation", ""},     {"log", state.log},       {"closed", false}};
    EXPECT_EQ(nlohmann::json::parse(state_json(state)), page_reads) << state_json(state);
}

class PersonTest : public testing::Test {
protected:
    PersonTest() : board_(options(), [] { return std::int64_t(0); }) { board_.handle("OPEN"); }
    static BoardOptions options() {
        BoardOptions o;
        o.human = HumanKind::person;
        return o;
    }
    Board board_;
};

TEST_F(PersonTest, TheBoardWaitsForThePersonAndTakesOneMove) {
    EXPECT_EQ(board_.person_moves({12, 28, none}), "") << "not waiting before ANALYSIS";
    board_.handle("ANALYSIS");
    EXPECT_EQ(board_.next_event_in(), std::nullopt) << "a real board waits as long as the person takes";
    EXPECT_EQ(board_.poll(), "");
    EXPECT_EQ(board_.person_moves({12, 36, none}), "") << "e2-e5 is not legal";
    EXPECT_EQ(board_.person_moves({6, 21, none}), "\r\nNg1-f3\x17");
    EXPECT_EQ(board_.person_moves({12, 28, none}), "") << "a move counts once";
    EXPECT_EQ(board_.position().fen(), "rnbqkbnr/pppppppp/8/8/8/5N2/PPPPPPPP/RNBQKB1R b KQkq - 1 1");
}

TEST_F(PersonTest, TheTakeBackIsReportedOncePerMoveAndTheProgramReadsTheMoveAfterIt) {
    board_.handle("MOVE e2-e4");
    board_.handle("ANALYSIS");
    const std::string takeback = board_.person_takes_back();
    EXPECT_EQ(board_.person_takes_back(), "");
    const std::string stream = takeback + board_.person_moves({52, 36, none});
    EXPECT_EQ(stream, "Takeback\r\n\x17" "e7-e5\r\n\x17");
    const auto first_line = stream.find('\n');
    const auto move_start = stream.find('\x17') + 1;
    EXPECT_NE(stream.substr(0, first_line).find("Takeback"), std::string::npos);
    EXPECT_EQ(osa::uci_move_from_report(stream.substr(move_start, stream.find('\n', move_start) - move_start), true),
              "e7e5");
}

TEST_F(PersonTest, ACommandWhileTheBoardWaitsEndsTheWait) {
    board_.handle("ANALYSIS");
    EXPECT_TRUE(board_.waits_for_person());
    board_.handle("SENDINFO");
    EXPECT_FALSE(board_.waits_for_person());
    EXPECT_EQ(board_.person_takes_back(), "");
}

}  // namespace
