// The board's page over HTTP on 127.0.0.1, each request on a socket of its own as a browser
// sends it, and the serving loop's side of a person's moves: what the page is answered, and when.
#include <poll.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>

#include "board_service.h"
#include "pty.h"
#include "web_service.h"

namespace {

using namespace osa::board;
using namespace std::chrono_literals;

// Far longer than the page's own waits, which are the ones under test.
constexpr auto read_timeout = 20s;

// The status of the answer to "METHOD /path", each request on a connection of its own; 0 when none
// came.
std::future<int> answer_to(int port, std::string method_and_path, std::string body = {}) {
    return std::async(std::launch::async, [=] {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(read_timeout);
        const std::string path = method_and_path.substr(method_and_path.find(' ') + 1);
        const auto result =
            method_and_path.starts_with("POST ") ? client.Post(path.c_str(), body, "") : client.Get(path.c_str());
        return result ? result->status : 0;
    });
}

// One event stream of the page, read on a thread of its own as a browser reads it.
class Stream {
public:
    explicit Stream(int port) : client_("127.0.0.1", port) {
        client_.set_read_timeout(read_timeout);
        const auto take_status = [this](const httplib::Response& response) {
            status_ = response.status;
            return !closing_;
        };
        const auto take_data = [this](const char* data, std::size_t size) {
            const std::lock_guard lock(mutex_);
            received_.append(data, size);
            return !closing_;
        };
        reading_ = std::async(std::launch::async, [=, this] { client_.Get("/events", take_status, take_data); });
    }

    // stop() cuts off a request on its way; one that starts only after it ends at its first event.
    ~Stream() {
        closing_ = true;
        client_.stop();
        reading_.wait();
    }

    // The response's status; 0 when none came in time.
    int status(std::chrono::milliseconds within = 20s) {
        wait(within, [this] { return status_ != 0; });
        return status_;
    }

    // What has come until the text appears, the server ends the stream, or the time is up.
    std::string read_until(std::string_view text, std::chrono::milliseconds within) {
        wait(within, [&] { return received().find(text) != std::string::npos; });
        return received();
    }

private:
    template <typename Done>
    void wait(std::chrono::milliseconds within, Done done) {
        const auto deadline = std::chrono::steady_clock::now() + within;
        while (!done() && std::chrono::steady_clock::now() < deadline &&
               reading_.wait_for(5ms) != std::future_status::ready) {
        }
    }

    std::string received() {
        const std::lock_guard lock(mutex_);
        return received_;
    }

    httplib::Client client_;
    std::atomic<bool> closing_ = false;
    std::atomic<int> status_ = 0;
    std::mutex mutex_;
    std::string received_;
    std::future<void> reading_;
};

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
    std::vector<std::unique_ptr<Stream>> streams;
    int open = 0;
    int refused = 0;
    for (int i = 0; i < 20; ++i) {
        streams.push_back(std::make_unique<Stream>(page.port()));
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
        reopened = Stream(page.port()).status(2s);
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
    Stream stream(page->port());
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
        Stream stream(at->page.port());
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
