// A finished game written as Portable Game Notation (PGN), the file format every chess GUI
// opens: the seven required tags, then the moves in SAN with move numbers, a comment saying how
// the game ended and the result token.
//
//   [Event "osa-match game"]
//   ...
//   [Result "0-1"]
//
//   1. f3 e5 2. g4 Qh4# {Black mates} 0-1
//
// A game from any other position than the initial one carries SetUp "1" and its FEN, which GUIs
// need to replay the moves. Movetext lines stay below 80 characters; tag values and the comment
// are kept to printable ASCII, with the characters that would end them early escaped or replaced.
#pragma once

#include <string>
#include <vector>

#include "chess.h"
#include "referee.h"

namespace osa::match {

struct PgnGame {
    std::string event = "osa-match game";
    std::string site = "?";
    std::string date = "????.??.??";  // YYYY.MM.DD
    std::string round = "1";
    std::string white = "?";
    std::string black = "?";
    chess::Position start;
    std::vector<chess::Move> moves;  // legal moves from the start, in order
    Verdict verdict;                 // "*" with its reason for a game stopped unfinished
};

// The whole game text, ended by the empty line that separates games in a PGN file.
std::string pgn_text(const PgnGame& game);

// "2026.12.07".
std::string pgn_date(int year, int month, int day);

// A player's name from the shell command line that runs it: the last path component of the
// program word, which is the word after "--" when the program runs behind another one (the
// emulator), e.g. "Dorvane" for "build/osa-emulator --think 300 -- build/Dorvane".
std::string program_name(const std::string& command);

}  // namespace osa::match
