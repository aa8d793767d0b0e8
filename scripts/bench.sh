#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds a Release build into build-bench and runs every
# benchmark: the simulation's cost per creature beside its floor, without and with
# link-time optimisation, then each program's frame rate, start-up time and peak memory
# beside its limit, the least SDL and OpenGL on this machine need to draw what it draws,
# how long an experiment of undrawn runs takes (scripts/experiment.sh --frames), and in a
# web browser each program's download and frame rate beside an empty page's (the
# site built by scripts/web.sh).
# Prints the tables and keeps them in build-bench/bench-report.txt. Nothing fails on a
# slow machine: figures are reported.
#
#   BENCH_REPETITIONS  repetitions of each simulation benchmark, median reported (3)
#   BENCH_MIN_TIME     seconds each simulation benchmark runs at the least (Google's default)
#   FRAMERATE_SECONDS  how long each program shows its window (3)
#   FRAMERATE_ROUNDS   how many times each program is measured, median reported (5)
#   BENCH_EXPERIMENT_FRAMES, BENCH_EXPERIMENT_RUNS  the experiment's size (10000 frames, 10 runs)
#   BENCH_BUILD_DIR    measure the build in this folder as it is, instead of making one
#   BENCH_WEB_SITE     measure the web site in this folder as it is, instead of building it
#   WEB_SECONDS        how long each page's frames are counted (5)
#   WEB_SWEEP_FRAMES   frames of each run of the page's experiment (10000)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

dir=${BENCH_BUILD_DIR:-build-bench}
repetitions=${BENCH_REPETITIONS:-3}
seconds=${FRAMERATE_SECONDS:-3}
rounds=${FRAMERATE_ROUNDS:-5}
min_time=()
[ -z "${BENCH_MIN_TIME:-}" ] || min_time=(--benchmark_min_time="$BENCH_MIN_TIME")
simulation=(bench_simulation_timed bench_simulation_timed_lto
            bench_simulation_untimed bench_simulation_untimed_lto)

say() { echo "[bench] $*" >&2; }
# Other work on the machine slows everything measured here: the report says how busy it was.
load() { cut -d' ' -f1-3 /proc/loadavg; }
start_load=$(load)

if [ -z "${BENCH_BUILD_DIR:-}" ]; then
    say "building $dir"
    mkdir -p "$dir"
    scripts/build.sh "$dir" -DCMAKE_BUILD_TYPE=Release -DMOBLINGS_TESTS=OFF \
        >"$dir/build.log" 2>&1 || { cat "$dir/build.log"; exit 1; }
fi
for b in "${simulation[@]}"; do
    if [ ! -x "$dir/bench/$b" ]; then
        echo "$dir/bench/$b was not built: Google Benchmark (libbenchmark-dev) is missing," \
            "or the compiler cannot link with link-time optimisation ($dir/CMakeCache.txt" \
            "says which)" >&2
        exit 1
    fi
done

# The simulation first, alone on the machine: the frame-rate runs start an X server.
results=$dir/bench-results
rm -rf "$results"
mkdir -p "$results"
reports=()
for b in "${simulation[@]}"; do
    reports+=("$results/$b.json")
    say "running $b ($repetitions repetitions)"
    "$dir/bench/$b" --benchmark_repetitions="$repetitions" "${min_time[@]}" \
        --benchmark_enable_random_interleaving=true \
        --benchmark_out="$results/$b.json" --benchmark_out_format=json >"$results/$b.log" 2>&1
done

sdl=$(ldd "$dir/moblings_timed" | awk '/libSDL-1\.2/ { print $3 }')
sdl_package=$(dpkg-query -S "$(readlink -f "$sdl")" 2>/dev/null | cut -d: -f1 || true)
mesa=$(dpkg-query -W -f='${Version}' libgl1-mesa-dri 2>/dev/null || echo unknown)
framerate_load=$(load)
say "measuring frame rates ($seconds s a run, $rounds round(s))"
framerate=$(/usr/bin/python3 bench/framerate.py "$dir" --seconds "$seconds" --rounds "$rounds")

# An experiment of undrawn runs, timed whole as a user waits for it: X servers, runs,
# measures, table and plot.
frames=${BENCH_EXPERIMENT_FRAMES:-10000}
runs=${BENCH_EXPERIMENT_RUNS:-10}
say "timing an experiment: $runs runs of moblings_fenced, $frames frames each"
begun=$(date +%s.%N)
/usr/bin/python3 scripts/experiment.py --build "$dir" --seed 1767225600 --frames "$frames" \
    moblings_fenced "$runs" "$results/experiment" 2>"$results/experiment.log" ||
    { cat "$results/experiment.log"; exit 1; }
took=$(echo "$begun $(date +%s.%N)" | awk '{ printf "%.1f", $2 - $1 }')
experiment="experiment of $runs runs of moblings_fenced, $frames frames each (scripts/experiment.sh\
 --frames $frames moblings_fenced $runs, without its build check): $took s, of it $(sed -n \
    's/^experiment: all [0-9]* runs took \(.*\)/\1/p' "$results/experiment.log") the runs\
 (goal at 10000 frames and 10 runs: under 10 s)"

site=${BENCH_WEB_SITE:-}
if [ -z "$site" ]; then
    say "building the web site"
    scripts/web.sh >"$dir/web-build.log" 2>&1 || { cat "$dir/web-build.log"; exit 1; }
    site=${MOBLINGS_WEB_BUILD_DIR:-build-web}/site
fi
say "measuring the pages in headless Chromium (${WEB_SECONDS:-5} s a run, $rounds round(s))"
browser=$(/usr/bin/python3 bench/web.py "$site" --seconds "${WEB_SECONDS:-5}" --rounds "$rounds" \
          --sweep-frames "${WEB_SWEEP_FRAMES:-10000}")

{
    echo "moblings benchmarks, $(date -u '+%Y-%m-%d %H:%M UTC'), commit" \
        "$(git describe --always --dirty 2>/dev/null || echo unknown)"
    echo "machine: $(nproc) cores, $(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo)"
    echo "compiler: $(c++ --version | head -n1);" \
        "$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$dir/CMakeCache.txt") build"
    echo "SDL: $sdl (${sdl_package:-unknown package}); Mesa $mesa"
    echo "load average (1, 5, 15 min) before the build: $start_load;" \
        "before the frame-rate runs: $framerate_load (our own runs add about 1)"
    echo
    /usr/bin/python3 bench/simulation_report.py "${reports[@]}"
    echo
    echo "$framerate"
    echo
    echo "$experiment"
    echo
    echo "$(chromium --version 2>/dev/null || echo Chromium); $(emcc --version 2>/dev/null | head -n1)"
    echo "$browser"
} | tee "$dir/bench-report.txt"
