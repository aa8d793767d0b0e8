# SPDX-License-Identifier: MIT
"""The pages in Firefox ESR and in WebKitGTK, against the desktop and against headless
Chromium: a program page's run for a seed is the desktop's run, a playground link with a
change replayed draws Chromium's positions, and a paused page's picture is Chromium's,
pixel for pixel, its plot drawn beside it. Firefox records a WebM of the pictures the page
shows; WebKitGTK, which records no WebM, says so on the Record button.

    /usr/bin/python3 test_engines.py SITE firefox|webkit [TestClass]

One browser of the engine serves every case of a process, and one Chromium those that
compare with it. MOBLINGS_BUILD_DIR is the desktop build, as for test_pages.py.
"""

import os
import re
import subprocess
import sys
import tempfile
import unittest

import test_pages
from lab import engines, pictures, web

PROGRAM = "moblings_fenced"
SEED = test_pages.SEED
FRAMES = 300
ENGINES = {"firefox": engines.Firefox, "webkit": lambda downloads: engines.webkit()}

_browsers = {}


def browser(name):
    """The process's one browser of the engine `name`, or of Chromium, started once."""
    if name not in _browsers:
        if name == "chromium":
            _browsers[name] = web.chromium()
        else:
            _browsers["downloads"] = tempfile.TemporaryDirectory()
            _browsers[name] = ENGINES[name](_browsers["downloads"].name)
            print("%s: %s" % (name, _browsers[name].version), file=sys.stderr)
    return _browsers[name]


def tearDownModule():
    for name, b in _browsers.items():
        if name == "downloads":
            b.cleanup()
        else:
            b.quit()


class EngineTest:
    @classmethod
    def setUpClass(cls):
        cls.site = web.Site(SITE)
        cls.addClassCleanup(cls.site.stop)
        cls.browser = browser(ENGINE)

    def paused(self, browser, page, query, frames=FRAMES):
        """`page`'s run of the address's `query`, paused at the frame `frames` names."""
        shown = web.Page(browser, self.site, page, query + "&frames=%d" % frames)
        shown.wait_started()
        shown.wait_frames(frames)
        web.wait_for("the pause at %d" % frames, lambda: shown.status() == "paused",
                     web.EXIT_TIMEOUT)
        self.assertEqual(shown.frames(), frames)
        return shown


class SameRunTests(EngineTest, test_pages.SameRunTests):
    """The desktop's run of a seed, as Chromium's page runs it (test_pages.py)."""


class ChromiumTests(EngineTest):
    def test_a_playground_link_with_a_change_draws_what_chromium_draws(self):
        change = "change=%d:TurnChance=0" % (FRAMES // 2)
        query = "preset=%s&seed=%d&%s" % (PROGRAM, SEED, change)
        here = self.paused(self.browser, "playground", query)
        self.assertIn(change, here._element("link").get_attribute("href"))
        there = self.paused(browser("chromium"), "playground", query)
        test_pages.PlaygroundTests.assertSameRows(self, here.positions(), there.positions(),
                                                  "%s against Chromium" % ENGINE)

    def test_a_paused_picture_is_chromiums_and_the_plot_is_drawn(self):
        query = "seed=%d" % SEED
        self.paused(self.browser, PROGRAM, query)
        web.wait_for("the plot", lambda: self.browser.execute_script(
            "return document.querySelector('#plot canvas') !== null"), web.LOAD_TIMEOUT)
        here = engines.canvas_picture(self.browser)
        self.assertTrue(pictures.components(here), "no creatures in the picture")
        there = engines.canvas_picture(self.paused(browser("chromium"), PROGRAM, query).browser)
        self.assertEqual(here.size, (800, 600))
        differ = sum(1 for a, b in zip(here.getdata(), there.getdata()) if a != b)
        self.assertEqual(differ, 0, "pixels unlike Chromium's")


class RecordTests(EngineTest):
    """A recording holds a frame for each picture the page showed while it recorded, which
    its name counts: PROGRAM-frames-A-B.webm."""

    def test_a_frame_for_each_picture_shown(self):
        downloads = _browsers["downloads"].name
        page = web.Page(self.browser, self.site, PROGRAM)
        page.wait_started()
        page.wait_frames(5)
        page.press("record")
        self.assertIn("Stop", page.text("record"))
        page.wait_frames(page.frames() + 60)
        page.press("record")
        path = engines.downloaded(downloads, ".webm")
        self.addCleanup(os.remove, path)
        a, b = map(int, re.fullmatch(r"%s-frames-(\d+)-(\d+)\.webm" % PROGRAM,
                                     os.path.basename(path)).groups())
        self.assertGreaterEqual(b - a, 60)
        probe = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-select_streams",
                                "v:0", "-show_entries", "stream=codec_name,nb_read_frames",
                                "-of", "csv=p=0", path],
                               capture_output=True, text=True, check=True).stdout.split(",")
        self.assertIn(probe[0], ("vp8", "vp9"))
        # A picture the browser drew over before it took it is lost, never more than a few.
        self.assertGreaterEqual(int(probe[1]), (b - a) // 2, "frames recorded of %d" % (b - a))
        self.assertLessEqual(int(probe[1]), b - a + 1)
        print("recorded %s of %d pictures shown" % (probe[1].strip(), b - a), file=sys.stderr)


class NoRecordTests(EngineTest):
    def test_record_says_why_it_cannot(self):
        page = web.Page(self.browser, self.site, PROGRAM)
        page.wait_started()
        page.wait_frames(5)
        disabled, text = self.browser.execute_script(
            "var r = document.getElementById('record'); return [r.disabled, r.textContent];")
        self.assertTrue(disabled)
        self.assertTrue(text.startswith("Record: this browser records no WebM"), text)


CASES = {"firefox": (SameRunTests, ChromiumTests, RecordTests),
         "webkit": (SameRunTests, ChromiumTests, NoRecordTests)}


def main():
    global SITE, ENGINE
    if len(sys.argv) < 3 or sys.argv[2] not in CASES:
        sys.exit(__doc__)
    SITE, ENGINE = os.path.abspath(sys.argv[1]), sys.argv[2]
    # What test_pages.py's cases read, for the same program and desktop build.
    test_pages.SITE, test_pages.PROGRAM = SITE, PROGRAM
    test_pages.BUILD = os.environ.get("MOBLINGS_BUILD_DIR", os.path.join(test_pages.ROOT, "build"))
    for tests in CASES[ENGINE]:
        globals()[tests.__name__[:-len("Tests")]] = type(tests.__name__[:-len("Tests")],
                                                         (tests, unittest.TestCase), {})
    unittest.main(module="__main__", argv=[sys.argv[0], "-v", *sys.argv[3:]])


if __name__ == "__main__":
    main()
