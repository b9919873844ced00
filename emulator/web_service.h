// The emulated board with its web page: the board answers the program as BoardService does,
// the person's actions from the page are judged here on the serving loop's thread, and the
// page is sent the board's state after every change.
#pragma once

#include <deque>

#include "serve.h"
#include "web_page.h"

namespace osa::board {

class PageService : public LineService {
public:
    PageService(Board& board, Trace& trace, WebPage& page) : board_(board), trace_(trace), page_(page), line_(board, trace) {}
    void receive(std::string_view bytes, std::int64_t now_ms) override;
    std::string due_output(std::int64_t now_ms) override;
    std::optional<std::int64_t> next_event_in(std::int64_t now_ms) const override;
    int wake_fd() const override { return page_.wake_fd(); }

private:
    std::string person_acts(std::int64_t now_ms);
    std::string judged(PersonAction& action);
    void note(char direction, std::string_view bytes);
    void publish();

    Board& board_;
    Trace& trace_;
    WebPage& page_;
    BoardService line_;
    LineSplitter commands_;
    std::deque<std::string> log_;
};

}  // namespace osa::board
