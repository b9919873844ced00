// The position drawn in text for a console: rank 8 at the top, White's pieces in upper case,
// Black's in lower case, "." for an empty square, files labelled below.
//
//   8 r n b q k b n r
//   ...
//   1 R N B Q K B N R
//     a b c d e f g h
#pragma once

#include <string>

#include "chess.h"

namespace osa::match {

// Nine lines, each ended by LF.
std::string board_diagram(const chess::Placement& placement);

}  // namespace osa::match
