// The board computer's principal variation in UCI notation, for GUIs that drop moves written in
// the board's own notation ("e7-e5", "e7xe5", "e7-e8/Q", "O-O").
#pragma once

#include "search_report.h"

#include <string>
#include <string_view>

namespace osa {

// The moves of a PV text in UCI notation, separated by single spaces. Castling becomes the king's
// move of the side to move at that point of the variation, which alternates from the given side;
// a check or mate sign after a move is dropped. The variation is cut at the first word that is
// not a move, so a GUI never receives a malformed one.
std::string uci_variation(std::string_view pv, bool white_to_move);

// The info line of a report with its PV in UCI notation; without a move there is no "pv" field.
std::string uci_info_line(const SearchReport& report, bool white_to_move);

}  // namespace osa
