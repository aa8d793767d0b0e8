# SPDX-License-Identifier: MIT
"""The programs in a web browser: each program's download and its frame rate in headless
Chromium, as its page opens and with its trails on as well as its measures and plot,
beside the browser's own limit, an empty page that only asks for animation frames.

    /usr/bin/python3 bench/web.py SITE [--seconds S] [--rounds N]

SITE is the folder scripts/web.sh writes (build-web/site). The download is what a
browser fetches to run a program, its script and its module, compressed as a web server
sends them (gzip -9). Frames are counted from outside: a script that the browser runs in
every page before the page's own wraps requestAnimationFrame and counts the callbacks it
runs. Programs and the empty page take turns, each program with everything on compared
with the mean of the empty runs around it; with several rounds the medians are shown, with
the ratio's range.
"""

import argparse
import gzip
import os
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from lab import web  # noqa: E402

PROGRAMS = ["moblings_timed", "moblings_herd", "moblings_fenced", "moblings_spin",
            "moblings_wander", "moblings_solo", "moblings"]
SIZE_GOAL = 100_000  # bytes a program may take to download
FPS_GOAL = 0.95      # share of the empty page's frames each program should show, all on

EMPTY = "<!DOCTYPE html><title>empty</title><script>" \
        "requestAnimationFrame(function next() { requestAnimationFrame(next); });</script>"


def download(site, program):
    """(bytes compressed, bytes as they are) of what a browser fetches to run a program."""
    packed = plain = 0
    for suffix in (".js", ".wasm"):
        with open(os.path.join(site, program + suffix), "rb") as f:
            data = f.read()
        plain += len(data)
        packed += len(gzip.compress(data, compresslevel=9, mtime=0))
    return packed, plain


def fps(browser, open_page, seconds):
    """Frames a second the page that open_page() opens shows over `seconds`, counted after
    a second to settle."""
    open_page()
    time.sleep(1.0)
    count = "return [window.frameCount, performance.now()]"
    frames0, t0 = browser.execute_script(count)
    time.sleep(seconds)
    frames1, t1 = browser.execute_script(count)
    return (frames1 - frames0) * 1000.0 / (t1 - t0)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("site", help="the site folder")
    parser.add_argument("--seconds", type=float, default=5.0,
                        help="how long each page is counted (default 5)")
    parser.add_argument("--rounds", type=int, default=3,
                        help="how many times to measure everything (default 3)")
    args = parser.parse_args(argv)
    if args.seconds <= 0 or args.rounds < 1:
        parser.error("--seconds must be positive and --rounds at least 1")
    for program in PROGRAMS:
        if not os.path.exists(os.path.join(args.site, program + ".wasm")):
            parser.error("%s has no %s: run scripts/web.sh first" % (args.site, program))

    lines = ["Download of each program (script and module, gzip -9), and its frame rate in "
             "headless Chromium as it opens (fps) and with its trails on (trails),",
             "against an empty page that only asks for frames (%g s a run, %d round%s, median)"
             % (args.seconds, args.rounds, "" if args.rounds == 1 else "s"),
             "%-16s %9s %9s %6s | %5s %6s %6s %6s %11s %6s"
             % ("program", "KB gzip", "KB plain", "goal", "fps", "trails", "empty", "ratio",
                "range", "goal")]
    with tempfile.TemporaryDirectory() as empty_folder, web.Site(args.site) as site, \
            web.Site(empty_folder) as empty:
        with open(os.path.join(empty_folder, "empty.html"), "w") as f:
            f.write(EMPTY)
        browser = web.chromium()
        try:
            web.count_frames(browser)
            runs = {p: [] for p in PROGRAMS}
            plain = {p: [] for p in PROGRAMS}
            limits = {p: [] for p in PROGRAMS}
            def blank():
                browser.get(empty.url("empty.html"))
            for rnd in range(args.rounds):
                before = fps(browser, blank, args.seconds)
                for program in PROGRAMS:
                    print("round %d/%d: %s" % (rnd + 1, args.rounds, program), file=sys.stderr,
                          flush=True)
                    def opened(trails):
                        page = web.Page(browser, site, program)
                        page.wait_started()
                        if trails:
                            page.press("trails")
                    plain[program].append(fps(browser, lambda: opened(False), args.seconds))
                    runs[program].append(fps(browser, lambda: opened(True), args.seconds))
                    after = fps(browser, blank, args.seconds)
                    limits[program].append((before + after) / 2)
                    before = after
        finally:
            browser.quit()
    met = True
    for program in PROGRAMS:
        packed, plain_size = download(args.site, program)
        ratios = [r / l for r, l in zip(runs[program], limits[program])]
        ratio = statistics.median(ratios)
        met = met and packed <= SIZE_GOAL and ratio >= FPS_GOAL
        lines.append("%-16s %9.1f %9.1f %6s | %5.1f %6.1f %6.1f %6.3f %11s %6s"
                     % (program, packed / 1000, plain_size / 1000,
                        "met" if packed <= SIZE_GOAL else "MISSED",
                        statistics.median(plain[program]), statistics.median(runs[program]),
                        statistics.median(limits[program]),
                        ratio, "%.2f-%.2f" % (min(ratios), max(ratios)),
                        "met" if ratio >= FPS_GOAL else "MISSED"))
    lines.append("goals: at most %d KB to download, at least %d%% of the empty page's frames: %s"
                 % (SIZE_GOAL // 1000, round(FPS_GOAL * 100), "met" if met else "missed"))
    print("\n".join(lines))
    return 0


if __name__ == "__main__":
    sys.exit(main())
