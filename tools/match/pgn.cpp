#include "pgn.h"

#include <algorithm>
#include <iomanip>
#include <sstream>

#include "san.h"

namespace osa::match {

using namespace osa::chess;

namespace {

constexpr std::size_t longest_line = 79;

bool printable(char c) { return c >= ' ' && c <= '~'; }

// A tag value ends at an unescaped quote; backslash is the escape character.
std::string tag_value(const std::string& text) {
    std::string value;
    for (char c : text) {
        if (c == '"' || c == '\\') value += '\\';
        value += printable(c) ? c : '?';
    }
    return value;
}

std::string tag_line(const std::string& name, const std::string& value) {
    return "[" + name + " \"" + tag_value(value) + "\"]\n";
}

bool from_initial_position(const Position& start) { return start.fen() == Position().fen(); }

std::string tag_section(const PgnGame& game) {
    std::string text = tag_line("Event", game.event) + tag_line("Site", game.site) + tag_line("Date", game.date) +
                       tag_line("Round", game.round) + tag_line("White", game.white) + tag_line("Black", game.black) +
                       tag_line("Result", game.verdict.score);
    if (!from_initial_position(game.start)) text += tag_line("SetUp", "1") + tag_line("FEN", game.start.fen());
    return text;
}

// A brace comment ends at the first "}"; nothing in the reason may end it early.
std::string comment_text(const std::string& reason) {
    std::string text;
    for (char c : reason) text += printable(c) && c != '}' ? c : '?';
    return text;
}

std::vector<std::string> split_words(const std::string& text) {
    std::istringstream stream(text);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) words.push_back(word);
    return words;
}

// Move numbers, moves, the comment word by word and the result, in the order they are written.
std::vector<std::string> movetext_words(const PgnGame& game) {
    std::vector<std::string> words;
    Position pos = game.start;
    for (const Move& move : game.moves) {
        if (pos.side_to_move() == white || pos.plies_played() == 0) words.push_back(move_number_text(pos));
        words.push_back(san_text(pos, move));
        pos.make(move);
    }
    const auto comment = split_words(comment_text(game.verdict.reason));
    for (std::size_t i = 0; i < comment.size(); ++i)
        words.push_back((i == 0 ? "{" : "") + comment[i] + (i + 1 == comment.size() ? "}" : ""));
    words.push_back(game.verdict.score);
    return words;
}

// Joins the words with single spaces, starting a new line before a word that would reach column 80.
std::string wrapped(const std::vector<std::string>& words) {
    std::string text, line;
    for (const auto& word : words) {
        if (!line.empty() && line.size() + 1 + word.size() > longest_line) {
            text += line + '\n';
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    return text + line + '\n';
}

}  // namespace

std::string pgn_text(const PgnGame& game) { return tag_section(game) + "\n" + wrapped(movetext_words(game)) + "\n"; }

std::string pgn_date(int year, int month, int day) {
    std::ostringstream text;
    text << std::setfill('0') << std::setw(4) << year << '.' << std::setw(2) << month << '.' << std::setw(2) << day;
    return text.str();
}

std::string program_name(const std::string& command) {
    const auto words = split_words(command);
    auto program = std::find(words.begin(), words.end(), "--");
    program = program == words.end() ? words.begin() : program + 1;
    if (program == words.end()) return "?";
    const std::string name = program->substr(program->find_last_of('/') + 1);
    return name.empty() ? "?" : name;
}

}  // namespace osa::match
