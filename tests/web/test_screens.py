# SPDX-License-Identifier: MIT
"""The pages on every learner's screen: on a phone 320 px wide no page scrolls sideways
and the whole world is in view, its controls big enough to touch; axe-core finds nothing
serious on any kind of page; the turn chance's slider reaches the values a sweep asks
about; and a run embedded in another page is the run its full page shows.

    /usr/bin/python3 test_screens.py SITE [TestClass]

One browser serves every case, as one reader's browser opens one page after another.
"""

import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, ROOT)
from lab import web  # noqa: E402

AXE = os.path.join(HERE, "tools", "node_modules", "axe-core", "axe.min.js")
SEED = 1767225602
RUN = "seed=%d&frames=3" % SEED
PLAYGROUND = "preset=moblings_fenced&" + RUN
# A small experiment, so that its plot and its table of runs are on the page.
EXPERIMENT = "preset=moblings_fenced&runs=2&frames=20&" + "seed=%d" % SEED
PHONE = 320
TOUCH = 24  # CSS px: the least a control may measure each way (WCAG 2.2's minimum)

# Each control a reader may press, type into or drag, and each link among them, that is
# shown and smaller than TOUCH either way: a link in a sentence may be a line high.
SMALL_CONTROLS = """
var least = arguments[0];
return Array.from(document.querySelectorAll(
    'button, select, input, textarea, summary, .controls a, nav a')).map(function (e) {
  var r = e.getBoundingClientRect();
  return r.width > 0 && (r.width < least || r.height < least) ?
         (e.id || e.tagName) + ' ' + Math.round(r.width) + 'x' + Math.round(r.height) : null;
}).filter(Boolean);
"""


class Screens(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.site = web.Site(SITE)
        cls.addClassCleanup(cls.site.stop)
        cls.browser = web.chromium()
        cls.addClassCleanup(cls.browser.quit)

    def open(self, page, query=""):
        """Opens `page` (a program's name, or a file of the site) and waits for what it
        shows: a program's run paused at the frame its query names, an experiment's
        table."""
        if page.endswith(".html"):
            self.browser.get(self.site.url(page + (query and "?" + query)))
            if page == "experiment.html":
                web.Experiment.wait_state(web.Experiment(self.browser, self.site, query),
                                          "done")
            return None
        shown = web.Page(self.browser, self.site, page, query)
        shown.wait_started()
        web.wait_for("the pause", lambda: shown.status() == "paused", web.LOAD_TIMEOUT)
        return shown

    def pages(self):
        """Every kind of page, each (page, query): the index, every program's, the
        playground, the experiments', every page of the manual, and an embedded run."""
        programs = sorted(n[:-len(".wasm")] for n in os.listdir(SITE) if n.endswith(".wasm")
                          and os.path.exists(os.path.join(SITE, n[:-len(".wasm")] + ".html")))
        manual = ["README.html"] + sorted("docs/" + n for n in os.listdir(os.path.join(SITE, "docs"))
                                          if n.endswith(".html"))
        return ([("index.html", "")] + [(p, RUN) for p in programs] +
                [("playground", PLAYGROUND), ("experiment.html", EXPERIMENT)] +
                [(m, "") for m in manual] + [("moblings_fenced", "embed=1&" + RUN)])

    def test_every_page_fits_a_phone(self):
        web.phone(self.browser, PHONE)
        for page, query in self.pages():
            with self.subTest(page=page, query=query):
                self.open(page, query)
                width = self.browser.execute_script(
                    "return document.documentElement.scrollWidth")
                self.assertLessEqual(width, PHONE, "the page scrolls sideways")
                for shown in ("canvas", "trails-overlay", "experiment-plot"):
                    box = self.browser.execute_script(
                        "var e = document.getElementById(arguments[0]);"
                        "return e && e.getBoundingClientRect().toJSON();", shown)
                    if box:
                        self.assertGreaterEqual(box["left"], 0, shown)
                        self.assertLessEqual(box["right"], PHONE, shown)
                        self.assertAlmostEqual(box["height"], box["width"] * (
                            855 / 990 if shown == "experiment-plot" else 0.75), delta=1)
                if page.endswith(".html"):
                    continue
                self.assertEqual(*(self.browser.execute_script(
                    "return document.getElementById(arguments[0]).getBoundingClientRect()"
                    ".toJSON()", name) for name in ("canvas", "trails-overlay")),
                    "the trails not over the picture")
                self.assertEqual(self.browser.execute_script(SMALL_CONTROLS, TOUCH), [])

    def test_nothing_serious_for_axe(self):
        web.viewport(self.browser, 1600, 900)
        for page, query in (("index.html", ""), ("moblings_fenced", RUN),
                            ("playground", PLAYGROUND), ("experiment.html", EXPERIMENT),
                            ("README.html", ""), ("docs/pages.html", ""),
                            ("moblings_fenced", "embed=1&" + RUN)):
            with self.subTest(page=page, query=query):
                self.open(page, query)
                found = [v for v in web.axe(self.browser, AXE)
                         if v[1] in ("serious", "critical")]
                self.assertEqual(found, [])

    def test_the_turn_chances_slider_reaches_a_sweeps_values(self):
        from selenium.webdriver.common.action_chains import ActionChains
        web.viewport(self.browser, 1000, 900)
        page = self.open("playground", PLAYGROUND)
        slider = page._element("set-TurnChance-slider")
        # Each position the drag passes, and the value the number then holds.
        self.browser.execute_script(
            "window.dragged = {}; arguments[0].addEventListener('input', function (e) {"
            " dragged[e.target.value] = document.getElementById('set-TurnChance').value; });",
            slider)
        width = slider.size["width"]
        drag = ActionChains(self.browser, duration=0).move_to_element_with_offset(
            slider, -width // 2, 0).click_and_hold()
        for _ in range(width):
            drag.move_by_offset(1, 0)
        drag.release().perform()
        dragged = self.browser.execute_script("return window.dragged")
        self.assertLessEqual({"0", "0.001", "0.01", "0.1", "0.5", "1"}, set(dragged.values()))
        # The number takes any value, and the slider stands at the nearest it has.
        for typed, near in (("0.37", "0.4"), ("0.001", "0.001"), ("0.00002", "0.0001"),
                            ("0", "0")):
            page.type_into("set-TurnChance", typed)
            self.assertEqual(page.text("settings-error"), "")
            self.assertEqual(page._element("set-TurnChance").get_attribute("value"), typed)
            self.assertEqual(dragged[slider.get_attribute("value")], near, typed)

    def test_an_embedded_run_is_the_full_pages_run(self):
        web.viewport(self.browser, 1000, 900)
        frames = 60
        full = self.open("playground", "preset=moblings_fenced&seed=%d&change=20:TurnChance=0"
                                       "&frames=%d" % (SEED, frames))
        code = full._element("embed-code").get_attribute("value")
        src = code.split('src="', 1)[1].split('"', 1)[0].replace("&amp;", "&")
        self.assertIn("?embed=1&", src)
        self.assertIn("change=20:TurnChance=0", src)
        wanted = full.positions()
        # In a frame of its own size, the world and its bar and nothing else, whole.
        web.viewport(self.browser, 800, 640)
        embedded = web.Page(self.browser, self.site, "playground", src.split("?", 1)[1])
        embedded.wait_started()
        web.wait_for("the pause", lambda: embedded.status() == "paused", web.LOAD_TIMEOUT)
        self.assertEqual(embedded.positions(), wanted)
        self.assertEqual(self.browser.execute_script(
            "return document.documentElement.scrollHeight"), 640)
        for hidden in ("output", "code", "plot", "playground", "close"):
            self.assertFalse(embedded._element(hidden).is_displayed(), hidden)
        full_page = embedded._element("full-page").get_attribute("href")
        self.assertNotIn("embed", full_page)
        self.assertIn("change=20:TurnChance=0", full_page)


def main():
    global SITE
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    SITE = os.path.abspath(sys.argv[1])
    unittest.main(argv=[sys.argv[0], "-v", *sys.argv[2:]])


if __name__ == "__main__":
    main()
