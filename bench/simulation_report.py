# SPDX-License-Identifier: MIT
"""Tables of the simulation benchmarks: what the rules cost per creature beside the
floor of their random draws and trigonometry, without and with link-time optimisation.

    /usr/bin/python3 bench/simulation_report.py RESULT.json...

Each file is the JSON output (--benchmark_out) of one bench_simulation_* binary. With
repetitions the median is used, otherwise the one measurement. One table per set of
rules and benchmark: a row per population size, the time per creature of the rules and
of the floor, and their ratio.
"""

import json
import sys
from collections import namedtuple

# Each benchmark of the rules and the floor it is set against.
PAIRS = [("UpdateMoves", "FloorMoves", "one frame of the movement rules"),
         ("Populate", "FloorPopulate", "placing the start-up population")]
GOAL_RATIO = 1.3  # the rules should cost at most this many times the floor
TO_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}

# One benchmark at one size: nanoseconds per creature and the counters it reported.
Figure = namedtuple("Figure", "ns_per_creature counters")


def figures(report):
    """{(benchmark, size): Figure} from one binary's JSON report."""
    chosen = {}
    for b in report["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        if b.get("error_occurred"):
            raise ValueError("%s failed: %s" % (b["name"], b.get("error_message")))
        name, size = b["run_name"].split("/")[:2]
        key = (name, int(size))
        # A median, where there is one, wins over the single repetitions.
        if key in chosen and b.get("run_type") != "aggregate":
            continue
        ns = b["cpu_time"] * TO_NS[b["time_unit"]] / int(size)
        counters = {k: v for k, v in b.items() if k in ("inside",)}
        chosen[key] = Figure(ns, counters)
    return chosen


def load(paths):
    """{(program, rules, lto): {(benchmark, size): Figure}}, and the repetitions used."""
    results = {}
    repetitions = 1
    for path in paths:
        with open(path) as f:
            report = json.load(f)
        context = report["context"]
        key = (context["program"], context["rules"], context["lto"])
        results[key] = figures(report)
        for b in report["benchmarks"]:
            repetitions = max(repetitions, int(b.get("repetitions", 1)))
    return results, repetitions


def table(program, rules, bench, floor, what, by_lto):
    """One table: a row per size, the rules and floor without and with LTO, then a
    verdict per variant."""
    variants = [lto for lto in ("off", "on") if lto in by_lto]
    sizes = sorted({size for lto in variants for (name, size) in by_lto[lto] if name == bench})
    titles = {"off": "without LTO", "on": "with LTO"}
    top = "%10s" % ""
    head = "%10s" % "creatures"
    for lto in variants:
        top += " | %-22s" % titles[lto].center(22)
        head += " | %6s %7s %7s" % ("rules", "floor", "ratio")
    if bench == "UpdateMoves":
        head += " | %6s" % "inside"
    lines = ["%s rules (%s settings): %s, ns per creature"
             % (rules.capitalize(), program, what), top.rstrip(), head]
    for size in sizes:
        line = "%10s" % format(size, ",")
        for lto in variants:
            rule, ground = by_lto[lto][(bench, size)], by_lto[lto][(floor, size)]
            line += " | %6.1f %7.1f %7.2f" % (rule.ns_per_creature, ground.ns_per_creature,
                                              rule.ns_per_creature / ground.ns_per_creature)
        if bench == "UpdateMoves":
            # The share of creature-frames inside the field, where the rules make the
            # turn draw the floor makes for every creature.
            inside = by_lto[variants[-1]][(bench, size)].counters.get("inside")
            line += " | %6s" % ("" if inside is None else "%.3f" % inside)
        lines.append(line)
    for lto in variants:
        ratios = {s: by_lto[lto][(bench, s)].ns_per_creature / by_lto[lto][(floor, s)].ns_per_creature
                  for s in sizes}
        costs = [by_lto[lto][(bench, s)].ns_per_creature for s in sizes]
        worst = max(ratios, key=ratios.get)
        lines.append("%s: within %.1fx of the floor at every size: %s (worst %.2f at %s);"
                     " per-creature cost, largest over smallest: %.2f"
                     % (titles[lto], GOAL_RATIO, "met" if ratios[worst] <= GOAL_RATIO else "MISSED",
                        ratios[worst], format(worst, ","), max(costs) / min(costs)))
    return "\n".join(lines)


def main(paths):
    if not paths:
        sys.exit(__doc__)
    results, repetitions = load(paths)
    programs = sorted({(program, rules) for program, rules, _ in results},
                      key=lambda pr: pr[1] != "timed")
    out = ["Simulation benchmarks: CPU time per creature, %s"
           % ("median of %d repetitions" % repetitions if repetitions > 1 else "one measurement")]
    for program, rules in programs:
        by_lto = {lto: results[(p, r, lto)] for p, r, lto in results
                  if (p, r) == (program, rules)}
        for bench, floor, what in PAIRS:
            out.append("")
            out.append(table(program, rules, bench, floor, what, by_lto))
    print("\n".join(out))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
