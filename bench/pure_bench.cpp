// Figures for the pure text functions that every UCI line and board reply passes through.
#include "fen_setup.h"
#include "board_notation.h"
#include "position_line.h"
#include "search_report.h"
#include "settings.h"

#include <benchmark/benchmark.h>

namespace {

std::string position_line(std::int64_t moves) {
    std::string line = "position startpos moves";
    for (std::int64_t i = 0; i < moves; ++i) line += i % 4 == 0 ? " g1f3" : i % 4 == 1 ? " g8f6" : i % 4 == 2 ? " f3g1" : " f6g8";
    return line;
}

void position_line_handling(benchmark::State& state) {
    const std::string line = position_line(state.range(0));
    for (auto _ : state) {
        const osa::PositionLine position = osa::read_position_line(line);
        benchmark::DoNotOptimize(osa::white_to_move_after(line, position));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(position_line_handling)->RangeMultiplier(10)->Range(10, 100000)->Unit(benchmark::kMicrosecond)->Complexity();

void fen_rank_commands(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(osa::rank_commands("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1",
                                                    "POSITION "));
}
BENCHMARK(fen_rank_commands);

void search_report_reading(benchmark::State& state) {
    const std::string reply = "Sendinfo 00:00:12  6     -8  c7-c5 g1-f3 d7-d6 b1-c3 g8-f6.";
    for (auto _ : state) {
        auto report = osa::read_search_report(reply);
        benchmark::DoNotOptimize(osa::info_line(*report));
        benchmark::DoNotOptimize(osa::uci_from_board_word(report->board_move, false));
    }
}
BENCHMARK(search_report_reading);

void settings_line(benchmark::State& state) {
    for (auto _ : state) {
        osa::Settings settings;
        osa::apply_settings_line(settings, {"name", "modul", "level", "pv"}, " Name = My Board 7 ");
        benchmark::DoNotOptimize(settings);
    }
}
BENCHMARK(settings_line);

}  // namespace

BENCHMARK_MAIN();
