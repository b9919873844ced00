// The board's web page: an HTTP server on 127.0.0.1 in threads of its own, serving the page's
// files, a stream of the board's state (server-sent events), and the person's moves.
//
// The board itself stays on the serving loop's thread. A person's move or take-back is handed
// over as an action: the request's thread queues it, wakes the loop through wake_fd(), and
// waits for the loop's verdict, so that two browsers sending a move at once get one move made
// and one refusal. Published states go to every open page.
#pragma once

#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "web_requests.h"

namespace osa::board {

struct PersonAction {
    std::optional<MoveRequest> move;  // nothing: the take-back button
    std::promise<PageAnswer> verdict;    // status 200 when the board took it
};

class WebPage {
public:
    // Port 0 takes a free port. Throws std::runtime_error when it cannot listen. Without
    // interactive the page only shows the board and refuses moves.
    WebPage(bool interactive, int port);
    ~WebPage();
    WebPage(const WebPage&) = delete;
    WebPage& operator=(const WebPage&) = delete;

    int port() const;
    bool interactive() const;
    int wake_fd() const;  // readable while actions wait
    std::vector<PersonAction> take_actions();
    void publish(const std::string& state_json);  // sent on only when it changed

    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
};

}  // namespace osa::board
