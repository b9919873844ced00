// The board's page over HTTP on 127.0.0.1, each request on a socket of its own as a browser
// sends it, and the serving loop's side of a person's moves: what the page is answered, and when.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "board_service.h"
#include "pty.h"
#include "web_service.h"

namespace {

using namespace osa::board;
using namespace std::chrono_literals;

std::string request(int port, std::string_view method_and_path, std::string_view body = {}) {
    return std::string(method_and_path) + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + std::string(body);
}

// One connection to the page's server, and what came back on it.
class Connection {
public:
    Connection(int port, std::string_view text) : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(socket_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            !write_all(socket_.get(), std::string(text)))
            throw std::runtime_error("cannot reach the page's server");
    }

    // What has come until the text appears, the server closes the connection, or the time is up.
    const std::string& read_until(std::string_view text, std::chrono::milliseconds within) {
        const auto deadline = std::chrono::steady_clock::now() + within;
        while (received_.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd p{socket_.get(), POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            char buffer[4096];
            const ssize_t n = ::read(socket_.get(), buffer, sizeof buffer);
            if (n <= 0) break;
            received_.append(buffer, static_cast<std::size_t>(n));
        }
        return received_;
    }

    // The response's status; 0 when none came in time.
    int status(std::chrono::milliseconds within = 20s) {
        const std::string& text = read_until("\r\n", within);
        return text.size() >= 12 ? std::stoi(text.substr(9, 3)) : 0;
    }

private:
    Descriptor socket_;
    std::string received_;
};

std::future<int> answer_to(int port, std::string method_and_path, std::string body = {}) {
    return std::async(std::launch::async, [=] { return Connection(port, request(port, method_and_path, body)).status(); });
}

TEST(WebPage, AnActionTheBoardDoesNotTakeInTimeIsWithdrawnAndNeverMade) {
    WebPage page(true, 0);
    std::vector<std::future<int>> answers;
    for (const auto& [path, body] : {std::pair{"POST /move", "e2e4"}, {"POST /takeback", ""}})
        answers.push_back(answer_to(page.port(), path, body));
    for (auto& answer : answers) EXPECT_EQ(answer.get(), 503);
    EXPECT_TRUE(page.take_actions().empty()) << "a refused action was left for the board to make";
}

// Each open page holds a thread of the server with its event stream; past a limit of pages a
// further one is refused, so that moves and files still find a thread, and a page that closes
// makes room for another.
TEST(WebPage, OpenPagesLeaveTheServerFreeForMoves) {
    WebPage page(false, 0);
    std::vector<std::unique_ptr<Connection>> streams;
    int open = 0;
    int refused = 0;
    for (int i = 0; i < 20; ++i) {
        streams.push_back(std::make_unique<Connection>(page.port(), request(page.port(), "GET /events")));
        const int status = streams.back()->status(2s);
        open += status == 200;
        refused += status == 503;
    }
    EXPECT_EQ(open, 16);
    EXPECT_EQ(refused, 4);
    EXPECT_EQ(answer_to(page.port(), "POST /move", "e2e4").get(), 403) << "the read-only page's refusal";
    EXPECT_EQ(answer_to(page.port(), "GET /").get(), 200);
    streams.front().reset();
    int reopened = 0;
    for (auto waited = 0ms; reopened != 200 && waited < 10s; waited += 250ms) {
        std::this_thread::sleep_for(250ms);
        reopened = Connection(page.port(), request(page.port(), "GET /events")).status(2s);
    }
    EXPECT_EQ(reopened, 200) << "a page that went away still counts";
}

// The data of the last event on a stream.
std::string last_state(const std::string& stream) {
    const auto start = stream.rfind("data: ");
    if (start == std::string::npos) return {};
    return stream.substr(start + 6, stream.find("\n\n", start) - start - 6);
}

TEST(WebPage, TheLastStateReachesTheOpenPagesBeforeTheServerStops) {
    auto page = std::make_unique<WebPage>(false, 0);
    Connection stream(page->port(), request(page->port(), "GET /events"));
    page->publish(R"({"n":1})");
    stream.read_until(R"({"n":1})", 5s);
    page->publish(R"({"n":2})");
    page.reset();
    EXPECT_EQ(last_state(stream.read_until("never sent", 5s)), R"({"n":2})");
}

// A person's board with its page, driven as the serving loop drives them, on a clock that
// stands still.
struct PersonAtThePage {
    static BoardOptions person() {
        BoardOptions options;
        options.human = HumanKind::person;
        return options;
    }
    // The board's output for the commands, all of it gone out on the line.
    std::string exchange(std::string_view commands) {
        service->receive(commands, 0);
        const std::string bytes = service->due_output(0);
        service->sent(bytes.size());
        return bytes;
    }
    bool has_action() const {
        pollfd p{page.wake_fd(), POLLIN, 0};
        return ::poll(&p, 1, 5000) > 0;
    }

    Board board{person(), [] { return std::int64_t(0); }};
    Trace trace;
    BoardService line{board, trace};
    WebPage page{true, 0};
    std::optional<PageService> service{std::in_place, board, trace, page, line};
};

// A person's action is answered once the last byte of the board's report has gone out on the
// line, and refused when the line goes first; its report follows the replies already due, which
// the program reads first.
TEST(PersonAtThePage, TheAnswerComesOnceTheBoardsReportHasGoneOut) {
    const struct {
        std::string_view request;
        std::string_view body;
        std::string_view same_turn;  // commands that came with the action
        bool line_goes;
        bool before_last_byte;  // answered before the last byte of the output went out
        int status;
        std::string output;
    } cases[] = {
        {"POST /move", "g1f3", "", false, false, 200, "\r\nNg1-f3\x17"},
        {"POST /takeback", "", "", false, false, 200, "\r\nTakeback\x17"},
        {"POST /move", "g1f3", "", true, false, 503, "\r\nNg1-f3\x17"},
        {"POST /move", "g1f3", "ANALYSIS\r\n", false, false, 200, ">\x17\r\nNg1-f3\x17"},
        {"POST /move", "g1f3", "SENDINFO\r\n", false, true, 409, "No search\r\n>\x17"},
    };
    for (const auto& c : cases) {
        PersonAtThePage at;
        at.exchange("OPEN\r\nANALYSIS\r\n");
        auto answer = answer_to(at.page.port(), std::string(c.request), std::string(c.body));
        ASSERT_TRUE(at.has_action());
        at.service->receive(c.same_turn, 0);
        const std::string output = at.service->due_output(0);
        EXPECT_EQ(output, c.output) << c.request << " " << c.same_turn;
        at.service->sent(output.size() - 1);
        EXPECT_EQ(answer.wait_for(200ms) == std::future_status::ready, c.before_last_byte) << c.request << " " << c.same_turn;
        if (c.line_goes) at.service.reset();
        else at.service->sent(1);
        EXPECT_EQ(answer.get(), c.status) << c.request << " " << c.same_turn;
    }
}

// The program closes the board at the end of a game and then ends, and the emulator with it: the
// pages keep the board as it was left, and say that it was closed, until the board is opened again.
TEST(PersonAtThePage, ThePagesAreToldWhenTheProgramClosesTheBoard) {
    const struct {
        std::string_view commands;
        std::string_view closed;
    } cases[] = {
        {"OPEN\r\n", "false"},
        {"OPEN\r\nCLOSE\r\n", "true"},
        {"OPEN\r\nCLOSE\r\nOPEN\r\n", "false"},
    };
    for (const auto& c : cases) {
        auto at = std::make_unique<PersonAtThePage>();
        Connection stream(at->page.port(), request(at->page.port(), "GET /events"));
        at->exchange("OPEN\r\nNEWGAME\r\nMOVE e2-e4\r\n");
        stream.read_until("data: ", 5s);
        at->service->receive(c.commands, 0);
        at.reset();
        const std::string state = last_state(stream.read_until("never sent", 5s));
        EXPECT_NE(state.find("\"closed\":" + std::string(c.closed)), std::string::npos) << c.commands << state;
        EXPECT_NE(state.find("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b"), std::string::npos) << state;
    }
}

}  // namespace
