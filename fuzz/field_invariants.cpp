#include "field_invariants.h"

#include "field_world.h"
#include "startup.h"
#include "text.h"

#include <algorithm>

namespace field {
namespace {

// ---- The world the data describes ----

Timed piece_after(World& w, std::string bytes) {
    static constexpr std::int64_t delays[] = {0, 0, 5, 50, 400, 900, 1700, 4000};
    return {delays[w.choose() % 8], std::move(bytes)};
}

osa::Settings settings_from(World& w, Program program) {
    const std::uint8_t bits = w.choose();
    osa::Settings settings;
    const osa::OwnKeys keys = {"flip", "level", "pv"};
    const auto apply = [&](bool on, std::string_view line) {
        if (on) osa::apply_settings_line(settings, keys, line);
    };
    apply(bits & 1, "busy=answer");
    apply(bits & 2, "reconnect=on");
    apply(bits & 4, "pv=uci");
    apply(bits & 8, program == Program::converter ? "level=12" : "flip=1");
    return settings;
}

// A game that goes on from turn to turn, as the GUI's "position " lines tell it.
class Game {
public:
    // From the start, or from the FEN before one of the moves; the moves after it follow.
    std::string next_line(World& w) {
        for (int count = w.choose() % 3 + 1; count > 0; --count) play_one(w);
        const bool from_fen = (w.choose() & 1) && !moves_.empty();
        const std::size_t from = from_fen ? w.choose() % moves_.size() : 0;
        std::string line = from_fen ? "position fen " + fens_[from] : "position startpos";
        if (from < moves_.size()) line += " moves";
        for (std::size_t i = from; i < moves_.size(); ++i) line += " " + moves_[i];
        return line;
    }

private:
    void play_one(World& w) {
        if (position_.legal_moves().empty()) *this = Game();
        const auto legal = position_.legal_moves();
        const chess::Move move = legal[w.choose() % legal.size()];
        fens_.push_back(position_.fen());
        moves_.push_back(chess::uci_text(move));
        position_.make(move);
    }

    chess::Position position_;
    std::vector<std::string> fens_;  // before each move
    std::vector<std::string> moves_;
};

std::vector<std::string> turn_lines(World& w, Program program, Game& game) {
    const std::string go = "go wtime 60000 btime 60000";
    switch (w.choose() % 8) {
    case 0: return {"uci"};
    case 1: return {"isready"};
    case 2: return {"ucinewgame", "isready"};
    case 3: return {game.next_line(w), go};
    case 4: return {game.next_line(w), go, "isready"};
    case 5: return {"setlevel " + std::to_string(w.choose() % 20 + 1)};
    case 6: return {"board"};
    default: return {program == Program::player ? "flip" : "stop", "isready"};
    }
}

// The turn's lines cut into pieces anywhere, then lines the GUI adds while the program works.
std::vector<Timed> turn_pieces(World& w, const std::vector<std::string>& lines) {
    const std::string end = (w.choose() & 1) ? "\r\n" : "\n";
    std::string text;
    for (const std::string& line : lines) text += line + end;
    std::vector<Timed> pieces;
    std::int64_t at = 0;
    for (int cuts = w.choose() % 3; cuts > 0 && !text.empty(); --cuts) {
        const std::size_t cut = w.choose() % text.size() + 1;
        Timed piece = piece_after(w, text.substr(0, cut));
        pieces.push_back({at += piece.at, piece.bytes});
        text.erase(0, cut);
    }
    if (!text.empty()) pieces.push_back({at += piece_after(w, {}).at, text});
    for (const std::string_view extra : {"isready", "stop", "board"})
        if (w.choose() & 1) pieces.push_back({at += piece_after(w, {}).at, std::string(extra) + end});
    return pieces;
}

void describe_world(World& w, Program program) {
    if (const std::uint8_t signal = w.choose(); signal & 1) w.signal_at = (signal >> 1) * 250;
    std::int64_t free_from = 0;
    for (int count = w.choose() % 3; count > 0; --count) {
        static constexpr std::int64_t downs[] = {300, 1200, 3000, 6000};
        const Loss loss{free_from + w.choose() * 100, downs[w.choose() % 4], (w.choose() & 1) != 0};
        w.losses.push_back(loss);
        free_from = loss.at + loss.down_ms;
    }
    Game game;
    for (int count = w.choose() % 8 + 1; count > 0; --count) w.turns.push_back(turn_pieces(w, turn_lines(w, program, game)));
    if (w.choose() & 1) w.turns.push_back({{0, "quit\n"}});
    w.converter = program == Program::converter;
}

// ---- What the GUI said and heard ----

// The GUI's complete lines so far, trimmed, up to the "quit" that ends them.
std::vector<std::string> gui_lines(std::string_view sent) {
    std::vector<std::string> lines;
    for (auto end = sent.find('\n'); end != std::string_view::npos; end = sent.find('\n')) {
        std::string_view line = sent.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(osa::trim_spaces(line));
        sent.remove_prefix(end + 1);
        if (lines.back() == "quit") break;
    }
    return lines;
}

// Every byte the GUI has written by now, read or not.
std::string gui_written(const World& w) {
    std::string written = w.gui_sent;
    for (const Timed& piece : w.scheduled)
        if (piece.at <= w.now) written += piece.bytes;
    return written;
}

long count_of(const std::vector<std::string>& lines, std::string_view wanted) {
    return std::count(lines.begin(), lines.end(), wanted);
}

// One letter per answer: identification (I), "uciok" (U), "bestmove" (B), a reply of the board
// passed on (L); "readyok" and "info" lines are counted apart.
std::string expected_answers(const std::vector<std::string>& lines, Program program) {
    std::string answers;
    for (const std::string& line : lines) {
        if (line == "uci") answers += "IIIU";
        if (line == "board") answers += "L";
        if (osa::starts_with(line, "setlevel") && program == Program::converter) answers += "L";
        if (osa::starts_with(line, "go")) answers += "B";
    }
    return answers;
}

std::string heard_answers(std::string_view output) {
    std::string answers;
    for (auto end = output.find("\r\n"); end != std::string_view::npos; end = output.find("\r\n")) {
        const std::string_view line = output.substr(0, end);
        output.remove_prefix(end + 2);
        if (osa::starts_with(line, "id ") || osa::starts_with(line, "option ")) answers += 'I';
        else if (line == "uciok") answers += 'U';
        else if (osa::starts_with(line, "bestmove ")) answers += 'B';
        else if (line != "readyok" && !osa::starts_with(line, "info ")) answers += 'L';
    }
    return answers;
}

long readyok_count(std::string_view output) {
    long count = 0;
    for (auto at = output.find("readyok\r\n"); at != std::string_view::npos; at = output.find("readyok\r\n", at + 1)) ++count;
    return count;
}

// ---- The invariants ----

bool answering_while_busy = false;

void isready_never_waits_for_the_board(World& w) {
    if (!answering_while_busy) return;
    if (count_of(gui_lines(gui_written(w)), "isready") > readyok_count(w.gui_output))
        broken("an isready that the GUI sent waits for the board");
}

// The placement the board must hold once it is back: before the last move of the GUI's last
// "position " line, or the start after a new game.
std::optional<chess::Placement> expected_placement(const std::vector<std::string>& lines) {
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        if (*line == "uci" || *line == "ucinewgame") return chess::Position().placement();
        if (!osa::starts_with(*line, "position ")) continue;
        const auto moves_at = line->find(" moves ");
        const std::string head = line->substr(0, moves_at);
        auto position = osa::starts_with(head, "position fen ") ? chess::Position::from_fen(head.substr(13))
                                                                 : std::optional(chess::Position());
        std::vector<std::string> moves;
        for (std::size_t at = moves_at; at != std::string::npos; at = line->find(' ', at + 1))
            moves.push_back(line->substr(at + 1, line->find(' ', at + 1) - at - 1));
        if (!moves.empty()) moves.erase(moves.begin());  // the word "moves"
        if (!moves.empty()) moves.pop_back();
        for (const std::string& text : moves) position->make(*chess::parse_uci(*position, text));
        return position->placement();
    }
    return std::nullopt;
}

std::string last_gui_level(const std::vector<std::string>& lines) {
    for (auto line = lines.rbegin(); line != lines.rend(); ++line)
        if (osa::starts_with(*line, "setlevel ")) return line->substr(9);
    return {};
}

std::string level_at_loss;
bool restoring = false;

void note_loss_begun(World& w) {
    if (!restoring) level_at_loss = w.board.level;
    restoring = true;
}

void board_put_back_where_it_was(World& w, std::string_view line) {
    if (line.find(" is back") == std::string_view::npos) return;
    restoring = false;
    const auto lines = gui_lines(w.gui_sent);
    if (w.board.level != level_at_loss && w.board.level != last_gui_level(lines)) broken("the board came back at another level");
    if (const auto placement = expected_placement(lines); placement && *placement != w.board.placement)
        broken("the board came back at another position");
}

void answers_once_and_in_order(const World& w, Program program, bool ended_by_the_gui) {
    const auto lines = gui_lines(w.gui_sent);
    const std::string expected = expected_answers(lines, program);
    const std::string heard = heard_answers(w.gui_output);
    if (expected.compare(0, heard.size(), heard) != 0) broken("the GUI heard answers it did not ask for, or out of order");
    const long readyoks = readyok_count(w.gui_output);
    const long isreadys = count_of(lines, "isready");
    if (readyoks > isreadys) broken("more readyok than isready");
    if (ended_by_the_gui && (heard != expected || readyoks != isreadys)) broken("a GUI line went unanswered");
}

void closed_once_at_the_end(const World& w, int status) {
    const long closes = count_of(w.written, "CLOSE");
    if (closes > 1 || (closes == 1 && w.written.back() != "CLOSE")) broken("CLOSE twice, or a command after it");
    if (closes != (status == 0 ? 1 : 0)) broken("a program that ended did not close the board, or one that lost it did");
}

}  // namespace

void run_and_check(Program program, Session session, std::string_view data) {
    World& w = world();
    w = World{};
    w.choices = data;
    const osa::Settings settings = settings_from(w, program);
    describe_world(w, program);
    answering_while_busy = settings.busy == osa::BusyMode::answer;
    restoring = false;
    w.on_blocking_board_wait = isready_never_waits_for_the_board;
    w.on_output_line = board_put_back_where_it_was;
    w.on_loss = note_loss_begun;
    w.begin_turn_if_idle();
    int status = 0;
    {
        osa::SerialLine line;
        if (!line.open("COM1:").ok()) return;
        status = osa::run_session(session, line, settings);
        if (status == 0 && w.handles_open != 0) broken("the line is still open after the closing step");
    }
    if (w.handles_open != 0) broken("a handle of the line was left open");
    const bool ended_by_the_gui = status == 0 && !w.signalled;
    answers_once_and_in_order(w, program, ended_by_the_gui);
    closed_once_at_the_end(w, status);
}

}  // namespace field
