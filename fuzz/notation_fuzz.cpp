// Any "position " line, any search report and any report of the human's move.
#include "board_notation.h"
#include "move_report.h"
#include "position_line.h"
#include "search_report.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string line = "position " + text;
    (void)osa::white_to_move_after(line, osa::read_position_line(line));
    if (const auto report = osa::read_search_report(text)) {
        (void)osa::info_line(*report);
        const auto move = osa::uci_from_board_word(report->board_move, true);
        if (move && (move->size() < 4 || move->size() > 5)) std::abort();
    }
    for (bool black_side : {false, true})
        if (const auto move = osa::uci_move_from_report(text, black_side); move && (move->size() < 4 || move->size() > 5))
            std::abort();
    return 0;
}
