// The emulated board with its web page: the board answers the program through the line service
// that the page wraps (the board's own, or one that also watches for an unplug), the person's
// actions from the page are judged here on the serving loop's thread, and the page is sent the
// board's state when it may have changed.
//
// An action that the board takes is answered only once the last byte of its report has gone
// out on the line: a report still held by a slow line when the line goes (an unplug, the end of
// the run) never reaches the program, and its action is refused then.
#pragma once

#include <cstdint>
#include <deque>
#include <future>

#include "board.h"
#include "serve.h"
#include "trace.h"
#include "web_page.h"

namespace osa::board {

class PageService : public LineService {
public:
    PageService(Board& board, Trace& trace, WebPage& page, LineService& line)
        : board_(board), trace_(trace), page_(page), line_(line) {}
    ~PageService() override;
    PageService(const PageService&) = delete;
    PageService& operator=(const PageService&) = delete;

    void receive(std::string_view bytes, std::int64_t now_ms) override;
    std::string due_output(std::int64_t now_ms) override;
    void sent(std::size_t count) override;
    std::optional<std::int64_t> next_event_in(std::int64_t now_ms) const override;
    bool over(std::int64_t now_ms) const override { return line_.over(now_ms); }
    int wake_fd() const override { return page_.wake_fd(); }

private:
    // What the board makes of an action: its report and the answer once the report is out, or a
    // refusal and no report.
    struct Judged {
        PageAnswer answer;
        std::string report = {};
    };
    struct Unsent {
        std::uint64_t end;  // counted in bytes given to the line since the session began
        std::promise<PageAnswer> verdict;
        PageAnswer answer;
    };

    std::string person_acts(std::uint64_t start, std::int64_t now_ms);
    Judged judged(const PersonAction& action);
    void note(char direction, std::string_view bytes);
    bool refresh_due(std::int64_t now_ms) const;
    void publish(std::int64_t now_ms);

    Board& board_;
    Trace& trace_;
    WebPage& page_;
    LineService& line_;
    LineSplitter commands_;
    std::deque<std::string> log_;
    bool closed_ = false;                      // the program's last command was "CLOSE"
    std::optional<std::int64_t> published_ms_;  // nothing: the session's first state is still to go
    std::uint64_t given_ = 0;                   // bytes given to the line
    std::uint64_t sent_ = 0;                    // of those, the bytes that have gone out
    std::deque<Unsent> unsent_;
};

}  // namespace osa::board
