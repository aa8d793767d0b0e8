// SPDX-License-Identifier: MIT
// What the movement rules and the start-up placement cost per creature, next to a floor:
// a bare loop making the random draws, cosines and sines the rules make on average, which
// no implementation of the same rules could avoid. The floor is measured in the same
// binary, so it shares the compiler, the flags and the machine with the rules.
//
// One binary per set of rules; the settings come from the program.h it is built with.
#include "moblery.h"
#include "movement.h"
#include "setup.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <streambuf>
#include <vector>

#ifndef BENCH_PROGRAM
#define BENCH_PROGRAM "unknown"
#endif
#ifndef BENCH_LTO
#define BENCH_LTO 0
#endif

namespace {

// Sixteen milliseconds a frame: eight units at the reference speed, so a timed creature
// that crosses a wall is back inside the next frame and the population stays on the field.
constexpr unsigned int FRAME_MS = 16;

// Frames after which the population is put back where it started. The untimed rules never
// bring a stray back, and a stray makes no draws: left alone for millions of frames the
// benchmark would time creatures walking off into nothing. In this many unit steps only
// the few that start next to a wall get out, so every frame costs what a program's early
// frames cost. Copying the start back once per stretch adds well under a nanosecond per
// creature and frame.
constexpr int STRETCH = 100;

constexpr unsigned int SEED = 20240601;

constexpr std::array<std::int64_t, 4> SIZES = {5, 50, 1000, 100000};

// Swallows what the creatures write (the untimed programs announce each creature they
// make): the formatting is timed as part of the rules, the terminal is not.
class Discard : public std::streambuf {
  protected:
    int_type overflow(int_type ch) override { return traits_type::not_eof(ch); }
    std::streamsize xsputn(const char* /*s*/, std::streamsize n) override { return n; }
};

class QuietCout {
  public:
    QuietCout() : Saved(std::cout.rdbuf(&Sink)) {}
    ~QuietCout() { std::cout.rdbuf(Saved); }
    QuietCout(const QuietCout&) = delete;
    QuietCout& operator=(const QuietCout&) = delete;

  private:
    Discard Sink;
    std::streambuf* Saved;
};

// The angle cos and sin get from a rotation drawn in [lo, hi), as the rules compute it.
double DrawnAngle(double lo, double hi) {
    return (RandomUnit() * (hi - lo) + lo) * (SETTINGS.Timed ? DEGTORAD : 1.0);
}

// Share of creature-frames spent strictly inside the field over one stretch from `start`:
// only those make the turn draw, which is what the floor assumes of every creature.
double InsideShare(const std::vector<mobling>& start) {
    std::vector<mobling> ms = start;
    movement move;
    std::int64_t inside = 0;
    for (int f = 0; f < STRETCH; f++) {
        for (mobling& m : ms) {
            inside += move.CheckBoundaries(m) == 0 ? 1 : 0;
        }
        move.UpdateMoves(ms);
    }
    return static_cast<double>(inside) / (static_cast<double>(ms.size()) * STRETCH);
}

void UpdateMoves(benchmark::State& state) {
    const auto n = static_cast<int>(state.range(0));
    QuietCout quiet;
    std::srand(SEED);
    mobling::count = 0;
    moblery factory;
    factory.Populate(n);
    const std::vector<mobling> start = factory.Moblings;
    movement move;
    setup::current_time = FRAME_MS;

    int frame = 0;
    for ([[maybe_unused]] auto _ : state) {
        move.UpdateMoves(factory.Moblings);
        benchmark::ClobberMemory();
        if (++frame == STRETCH) {
            frame = 0;
            factory.Moblings = start;
        }
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.counters["inside"] = InsideShare(start);
}

// One frame's unavoidable work for n creatures: a turn draw each, and for the share that
// turns (TurnChance) a rotation draw, a cosine and a sine.
void FloorMoves(benchmark::State& state) {
    const std::int64_t n = state.range(0);
    std::srand(SEED);
    for ([[maybe_unused]] auto _ : state) {
        double sum = 0;
        for (std::int64_t i = 0; i < n; i++) {
            if (RandomUnit() < SETTINGS.TurnChance) {
                double angle = DrawnAngle(SETTINGS.TurnRotMin, SETTINGS.TurnRotMax);
                sum += std::cos(angle) + std::sin(angle);
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// A whole start-up population, from an empty factory as the program has it, left again
// at the end of each iteration.
void Populate(benchmark::State& state) {
    const auto n = static_cast<int>(state.range(0));
    QuietCout quiet;
    std::srand(SEED);
    for ([[maybe_unused]] auto _ : state) {
        mobling::count = 0; // counts every creature made: keep it far from overflowing
        moblery factory;
        factory.Populate(n);
        benchmark::DoNotOptimize(factory.Moblings.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// Placing one creature cannot take less than its three draws (x, y, rotation) and the
// cosine and sine of its heading.
void FloorPopulate(benchmark::State& state) {
    const std::int64_t n = state.range(0);
    std::srand(SEED);
    for ([[maybe_unused]] auto _ : state) {
        double sum = 0;
        for (std::int64_t i = 0; i < n; i++) {
            double x = RandomUnit() * WIDTH;
            double y = RandomUnit() * HEIGHT;
            double angle = DrawnAngle(SETTINGS.StartRotMin, SETTINGS.StartRotMax);
            sum += x + y + std::cos(angle) + std::sin(angle);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void Sizes(benchmark::internal::Benchmark* b) {
    for (std::int64_t n : SIZES) {
        b->Arg(n);
    }
}

} // namespace

BENCHMARK(UpdateMoves)->Apply(Sizes);
BENCHMARK(FloorMoves)->Apply(Sizes);
BENCHMARK(Populate)->Apply(Sizes);
BENCHMARK(FloorPopulate)->Apply(Sizes);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    // Named in the report, so that tables from several binaries can be told apart.
    benchmark::AddCustomContext("program", BENCH_PROGRAM);
    benchmark::AddCustomContext("rules", SETTINGS.Timed ? "timed" : "untimed");
    benchmark::AddCustomContext("lto", BENCH_LTO ? "on" : "off");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
