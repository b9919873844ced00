#include "web_page.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "pty.h"
#include "web_files.h"

#include <httplib.h>

namespace osa::board {

namespace {

using namespace std::chrono_literals;

// How long a request waits for the serving loop's verdict before it gives up.
constexpr auto verdict_wait = 5s;
// How often an open event stream is sent a comment when nothing changed: a browser that has
// gone is noticed then, and its thread freed.
constexpr auto stream_heartbeat = 2s;
// How long the open pages are given to take the last state before the server stops.
constexpr auto last_state_wait = 1s;
// Each open event stream holds one thread, so the streams are limited to half of them: the
// rest serve moves and files, however many pages are open. Two browsers and their reloads fit
// many times over.
constexpr std::size_t server_threads = 32;
constexpr std::size_t most_streams = server_threads / 2;
constexpr std::size_t largest_body = 1024;

std::pair<Descriptor, Descriptor> make_pipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("cannot make the web page's wake-up pipe");
    return {Descriptor(fds[0]), Descriptor(fds[1])};
}

void answer(httplib::Response& res, const PageAnswer& verdict) {
    res.status = verdict.status;
    res.set_content(verdict.text + "\n", "text/plain; charset=utf-8");
}

}  // namespace

struct WebPage::Shared {
    httplib::Server server;
    bool interactive = false;
    int port = 0;
    std::pair<Descriptor, Descriptor> wake = make_pipe();  // read end, write end
    std::thread listener;

    std::mutex mutex;
    std::condition_variable changed;
    std::condition_variable stream_ended;
    std::string state = "{}";
    std::uint64_t version = 0;
    bool closing = false;
    std::size_t streams = 0;
    struct Queued {
        std::uint64_t number;
        PersonAction action;
    };
    std::deque<Queued> actions;
    std::uint64_t actions_queued = 0;

    // Queues the action and waits for the board's verdict. An action that the serving loop has
    // not taken in time is withdrawn, so that a refused move is never made later; one that it has
    // taken gets its verdict once the board's report has gone out, or the line has gone.
    PageAnswer act(std::optional<MoveRequest> move) {
        PersonAction action{move, {}};
        auto verdict = action.verdict.get_future();
        std::uint64_t number = 0;
        {
            std::lock_guard lock(mutex);
            if (closing) return {503, "the board is shutting down"};
            number = ++actions_queued;
            actions.push_back({number, std::move(action)});
        }
        const char byte = 1;
        [[maybe_unused]] const auto written = ::write(wake.second.get(), &byte, 1);  // a full pipe already wakes
        if (verdict.wait_for(verdict_wait) != std::future_status::ready && withdrawn(number))
            return {503, "the board did not answer: nothing was reported"};
        return verdict.get();
    }

    bool withdrawn(std::uint64_t number) {
        std::lock_guard lock(mutex);
        return std::erase_if(actions, [number](const Queued& queued) { return queued.number == number; }) > 0;
    }

    bool open_stream() {
        std::lock_guard lock(mutex);
        if (streams == most_streams) return false;
        ++streams;
        return true;
    }

    void close_stream() {
        {
            std::lock_guard lock(mutex);
            --streams;
        }
        stream_ended.notify_all();
    }

    // The next state after the one sent, or a heartbeat when none came; false once closing. The
    // last state goes out before the stream ends, so that the pages show how the board was left.
    bool next_event(std::uint64_t& sent, std::string& event) {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, stream_heartbeat, [&] { return closing || version != sent; });
        if (version != sent) {
            sent = version;
            event = "data: " + state + "\n\n";
            return true;
        }
        if (closing) return false;
        event = ": the board is unchanged\n\n";
        return true;
    }
};

namespace {

bool request_allowed(const httplib::Request& req, httplib::Response& res, int port) {
    if (!host_allowed(req.get_header_value("Host"), port)) {
        answer(res, {403, "refused: the board's page answers only to the Host 127.0.0.1 or localhost"});
        return false;
    }
    if (!origin_allowed(req.get_header_value("Origin"), port)) {
        answer(res, {403, "refused: only the board's own page may send it moves"});
        return false;
    }
    return true;
}

void serve_file(const httplib::Request& req, httplib::Response& res) {
    const WebFile* file = web_file(req.path);
    if (!file) return answer(res, {404, "no such file on the board's page"});
    res.set_content(file->bytes.data(), file->bytes.size(), std::string(file->content_type).c_str());
}

// The stream's place is given back when its response ends, however it ends.
void serve_events(const std::shared_ptr<WebPage::Shared>& shared, httplib::Response& res) {
    if (!shared->open_stream()) return answer(res, {503, "too many pages show the board: close one and reload"});
    res.set_header("Cache-Control", "no-store");
    res.set_chunked_content_provider(
        "text/event-stream",
        [shared, sent = std::uint64_t(0)](std::size_t, httplib::DataSink& sink) mutable {
            std::string event;
            if (!shared->next_event(sent, event)) {
                sink.done();
                return true;
            }
            return sink.write(event.data(), event.size());
        },
        [shared](bool) { shared->close_stream(); });
}

void serve_action(const std::shared_ptr<WebPage::Shared>& shared, const httplib::Request& req,
                  httplib::Response& res, bool is_move) {
    if (!shared->interactive) return answer(res, {403, "this page only shows the board: the emulator plays the human"});
    std::optional<MoveRequest> move;
    if (is_move) {
        const auto parsed = parse_move_request(req.body);
        if (const auto* refusal = std::get_if<PageAnswer>(&parsed)) return answer(res, *refusal);
        move = std::get<MoveRequest>(parsed);
    }
    answer(res, shared->act(move));
}

void set_up_routes(const std::shared_ptr<WebPage::Shared>& shared) {
    auto& server = shared->server;
    const std::weak_ptr<WebPage::Shared> weak = shared;
    server.new_task_queue = [] { return new httplib::ThreadPool(server_threads); };
    server.set_payload_max_length(largest_body);
    server.set_keep_alive_timeout(1);
    // The listening socket stays out of the program that the emulator starts.
    server.set_socket_options([](socket_t sock) {
        ::fcntl(sock, F_SETFD, FD_CLOEXEC);
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server.set_pre_routing_handler([weak](const httplib::Request& req, httplib::Response& res) {
        const auto shared = weak.lock();
        if (shared && request_allowed(req, res, shared->port)) return httplib::Server::HandlerResponse::Unhandled;
        return httplib::Server::HandlerResponse::Handled;
    });
    server.Get("/events", [weak](const httplib::Request&, httplib::Response& res) {
        if (const auto shared = weak.lock()) serve_events(shared, res);
    });
    server.Post("/move", [weak](const httplib::Request& req, httplib::Response& res) {
        if (const auto shared = weak.lock()) serve_action(shared, req, res, true);
    });
    server.Post("/takeback", [weak](const httplib::Request& req, httplib::Response& res) {
        if (const auto shared = weak.lock()) serve_action(shared, req, res, false);
    });
    server.Get(".*", serve_file);
}

}  // namespace

WebPage::WebPage(bool interactive, int port) : shared_(std::make_shared<Shared>()) {
    shared_->interactive = interactive;
    set_up_routes(shared_);
    shared_->port = port == 0 ? shared_->server.bind_to_any_port("127.0.0.1")
                              : (shared_->server.bind_to_port("127.0.0.1", port) ? port : -1);
    if (shared_->port <= 0) throw std::runtime_error("cannot serve the board's page on 127.0.0.1:" + std::to_string(port));
    shared_->listener = std::thread([shared = shared_.get()] { shared->server.listen_after_bind(); });
    // The server's stop() leaves alone a server that does not listen yet, which would then listen
    // for ever: a page that goes at once, as when the program cannot start, must end too.
    while (!shared_->server.is_running()) std::this_thread::sleep_for(1ms);
}

// The streams and waiting requests are let go first, so that the server's threads can end. The
// streams end by themselves once they have sent the last state: a server that stops cuts them
// off after the event they are sending.
WebPage::~WebPage() {
    {
        std::unique_lock lock(shared_->mutex);
        shared_->closing = true;
        for (auto& queued : shared_->actions) queued.action.verdict.set_value({503, "the board is shutting down"});
        shared_->actions.clear();
        shared_->changed.notify_all();
        shared_->stream_ended.wait_for(lock, last_state_wait, [&] { return shared_->streams == 0; });
    }
    shared_->server.stop();
    shared_->listener.join();
}

int WebPage::port() const { return shared_->port; }

bool WebPage::interactive() const { return shared_->interactive; }

int WebPage::wake_fd() const { return shared_->wake.first.get(); }

std::vector<PersonAction> WebPage::take_actions() {
    char drained[64];
    while (::read(shared_->wake.first.get(), drained, sizeof drained) > 0) {
    }
    std::lock_guard lock(shared_->mutex);
    std::vector<PersonAction> taken;
    for (auto& queued : shared_->actions) taken.push_back(std::move(queued.action));
    shared_->actions.clear();
    return taken;
}

void WebPage::publish(const std::string& state_json) {
    {
        std::lock_guard lock(shared_->mutex);
        if (state_json == shared_->state) return;
        shared_->state = state_json;
        ++shared_->version;
    }
    shared_->changed.notify_all();
}

}  // namespace osa::board
