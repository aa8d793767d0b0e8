# SPDX-License-Identifier: MIT
"""The programs' pages in headless Chromium, seen as their users see them: a timed
program, a turned untimed one and the still one show their creatures in the canvas, and
Close ends the run as closing the window does; without WebGL a page shows the program's
failure. The index links every program's page.

    /usr/bin/python3 test_pages.py SITE PROGRAM [TestClass]

Each test process serves the site and starts a browser of its own.
"""

import os
import re
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

from PIL import Image
from selenium.webdriver.common.keys import Keys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import harness  # noqa: E402
from lab import pictures, web  # noqa: E402

# The browser's rasteriser places a corner to a sixteenth of a pixel; Mesa's to 1/256.
BROWSER_SLACK = 1 / 16


class BrowserTest:
    webgl = True

    def setUp(self):
        self.site = web.Site(SITE)
        self.addCleanup(self.site.stop)
        self.browser = web.chromium(self.webgl)
        self.addCleanup(self.browser.quit)

    def open(self):
        return web.Page(self.browser, self.site, PROGRAM)


class PageTests(BrowserTest):
    def test_creatures_in_the_canvas_until_close(self):
        page = self.open()
        self.assertEqual(page.wait_started(), "running", page.output())
        first = page.canvas_when(lambda img: bool(pictures.components(img)), "creatures")
        self.assertEqual(first.size, (800, 600), "one canvas pixel a window pixel")
        fits = self.look_at(first)
        for _ in range(30):
            if len(fits) >= 12 or not self.moves:
                break
            fits += self.look_at(page.canvas())
        self.assertShapesFit(fits)
        # Clicks and keys, Escape too, are the program's to drain and ignore.
        page.type_into_canvas([Keys.ESCAPE, "q", Keys.SPACE, Keys.ENTER])
        self.assertEqual(page.status(), "running")
        if self.moves:
            page.canvas_when(lambda img: img.tobytes() != first.tobytes(), "any movement", 10)
        else:
            for _ in range(5):
                time.sleep(0.2)
                self.assertEqual(page.canvas().tobytes(), first.tobytes(), "still creatures moved")
        page.close()
        status, out = page.wait_end()
        self.assertEqual(status, 0, out)
        self.assertEqual(out[:len(self.start_lines)], self.start_lines)
        end = out[len(self.start_lines):]
        self.check_end(end)
        if not self.moves:
            self.assertEqual(pictures.misdrawn(first, self.report(end), self.projection,
                                              BROWSER_SLACK), ([], []),
                             "(creatures' pixels not drawn, blue where none is)")


class NoWebGLTests(BrowserTest):
    webgl = False

    def test_failure_lines_and_status_1(self):
        status, out = self.open().wait_end()
        self.assertEqual(status, 1, out)
        expected = self.start_lines + "error setting video mode\nError initializing SDL\n"
        self.assertEqual(out[:len(expected)], expected)
        self.check_end(out[len(expected):], failed=True)


class IndexTests(BrowserTest):
    """The site as a whole, and the README's commands that serve it and picture it."""

    def web_sh(self, *args, **kw):
        env = dict(os.environ, MOBLINGS_WEB_BUILD_DIR=os.path.dirname(SITE))
        return subprocess.Popen([os.path.join(ROOT, "scripts", "web.sh"), *args], env=env,
                                stdout=subprocess.PIPE, text=True, **kw)

    def test_every_program_linked_with_what_it_does(self):
        from selenium.webdriver.common.by import By
        self.browser.get(self.site.url())
        links = self.browser.find_elements(By.CSS_SELECTOR, "#programs li a")
        programs = [os.path.basename(name)[:-len(".js")] for name in sorted(os.listdir(SITE))
                    if name.endswith(".js") and name != "page.js"]
        self.assertEqual(sorted(a.text for a in links), programs)
        for a in links:
            self.assertEqual(a.get_attribute("href"), self.site.url(a.text + ".html"))
            words = a.find_element(By.XPATH, "..").text
            self.assertGreater(len(words), len(a.text) + 40, "one sentence on it: " + words)

    def test_served_at_the_address_printed(self):
        server = self.web_sh("--serve", start_new_session=True)
        self.addCleanup(server.stdout.close)
        self.addCleanup(server.wait)
        self.addCleanup(os.killpg, server.pid, signal.SIGTERM)
        lines = iter(server.stdout.readline, "")
        address = next(filter(None, (re.search(r"open (http://\S+) in a web browser", line)
                                     for line in lines)))[1]
        for page in ("", PROGRAM + ".html", PROGRAM + ".wasm"):
            with urllib.request.urlopen(address + page) as response:
                with open(os.path.join(SITE, page or "index.html"), "rb") as f:
                    self.assertEqual(response.read(), f.read(), page)

    def test_screenshots_of_the_index_and_a_page(self):
        with tempfile.TemporaryDirectory() as folder:
            done = self.web_sh("--screenshots", folder)
            out = done.communicate(timeout=600)[0]
            self.assertEqual(done.returncode, 0, out)
            index = Image.open(os.path.join(folder, "web-index.png")).convert("RGB")
            page = Image.open(os.path.join(folder, "web-page.png")).convert("RGB")
        self.assertEqual(index.size[0], 860)
        # The running program's creatures, at one pixel a window pixel.
        shown = [c for c in pictures.components(page) if c.pixels >= pictures.CREATURE_PIXELS[0]]
        self.assertGreaterEqual(len(shown), 10, shown)


def main():
    global SITE, PROGRAM
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    SITE, PROGRAM = os.path.abspath(sys.argv[1]), sys.argv[2]
    kind = harness.kind(PROGRAM)
    for name, tests in (("Page", PageTests), ("NoWebGL", NoWebGLTests), ("Index", IndexTests)):
        globals()[name] = type(name, (kind, tests, unittest.TestCase), {})
    unittest.main(module="__main__", argv=[sys.argv[0], "-v", *sys.argv[3:]])


if __name__ == "__main__":
    main()
