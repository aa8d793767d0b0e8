# SPDX-License-Identifier: MIT
"""The programs' site in a web browser: serving the folder, and driving a program's page
in headless Chromium as a user does: watch the canvas, press Close, read what the
program wrote and how it ended.

    /usr/bin/python3 -m lab.web SITE                        serves SITE on a free local
                                                            port until stopped
    /usr/bin/python3 -m lab.web SITE --screenshots FOLDER   saves pictures of its index and
                                                            of a program's page
"""

import base64
import functools
import http.server
import io
import os
import sys
import threading
import time

from PIL import Image

LOAD_TIMEOUT = 30.0  # s: how long a page may take to start its program
EXIT_TIMEOUT = 20.0  # s: how long a program may take to end once told to

# A browser of this machine's own, with nothing that reaches out to the network, drawing
# WebGL in software and left to choose the rest as it does where there is no graphics card:
# it draws and composites the page with the processor. Told to take its software graphics
# card for a real one (--use-angle=swiftshader), it composited every frame through it as
# well, and a page with a program, its paths and a plot showed half the frames it does here.
CHROMIUM_FLAGS = ["--headless=new", "--no-sandbox",
                  "--enable-unsafe-swiftshader", "--no-first-run", "--disable-sync",
                  "--disable-background-networking", "--disable-component-update",
                  "--disable-quic", "--force-device-scale-factor=1", "--window-size=1000,1200"]


class _Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


class Site:
    """A folder served over HTTP on the loopback address, in a thread of this process:
    a page's module is fetched, which a file:// page may not do."""

    def __init__(self, folder, port=0):
        handler = functools.partial(_Quiet, directory=folder)
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", port), handler)
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    def url(self, page=""):
        return "http://127.0.0.1:%d/%s" % (self.server.server_address[1], page)

    def stop(self):
        self.server.shutdown()
        self.server.server_close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
        return False


def chromium(webgl=True, downloads=None):
    """A headless Chromium, driven through Debian's chromedriver; without WebGL when asked.
    What its pages download goes to the folder `downloads`, when given, without a question.
    The caller quits it."""
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in CHROMIUM_FLAGS + ([] if webgl else ["--disable-3d-apis"]):
        options.add_argument(flag)
    if downloads:
        options.add_experimental_option("prefs", {"download.default_directory": downloads,
                                                  "download.prompt_for_download": False})
    browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    if downloads:
        # Headless, the preference alone is not enough.
        browser.execute_cdp_cmd("Page.setDownloadBehavior",
                                {"behavior": "allow", "downloadPath": downloads})
    return browser


def downloaded(folder, suffix, timeout=LOAD_TIMEOUT):
    """Waits for the one file ending in `suffix` that a page downloaded into `folder` and
    is complete; returns its path."""
    def complete():
        names = os.listdir(folder)
        done = [n for n in names if n.endswith(suffix)]
        if done and not any(n.endswith(".crdownload") for n in names):
            assert len(done) == 1, done
            return os.path.join(folder, done[0])
        return None
    return wait_for("download of a %s file" % suffix, complete, timeout)


# Counts the frames the browser shows a page: the callbacks requestAnimationFrame runs.
FRAME_COUNTER = """
(function () {
  var ask = window.requestAnimationFrame.bind(window);
  window.frameCount = 0;
  window.requestAnimationFrame = function (callback) {
    return ask(function (time) { window.frameCount++; callback(time); });
  };
})();
"""


def count_frames(browser):
    """Has every page `browser` opens from now on count its frames in window.frameCount."""
    browser.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": FRAME_COUNTER})


def wait_for(what, test, timeout):
    """Polls test() until it gives something true, which is returned."""
    deadline = time.monotonic() + timeout
    while True:
        found = test()
        if found:
            return found
        if time.monotonic() > deadline:
            raise AssertionError("no %s within %.0f s" % (what, timeout))
        # Each look is a round trip through the driver, and the browser's share of it is
        # not free: ten a second, not twenty, halve what the waits of a page test cost.
        time.sleep(0.1)


# The ids of the frame and of the measures of it, as the experiments' CSV names them.
MEASURES = ("frame", "inside", "outside", "mean-distance", "mean-from-start", "mean-step")


class Page:
    """One program's page, open in a browser; the ids it uses are the pages' interface."""

    def __init__(self, browser, site, program, query=""):
        self.browser = browser
        self.program = program
        browser.get(site.url(program + ".html" + (query and "?" + query)))

    def _element(self, name):
        from selenium.webdriver.common.by import By
        return self.browser.find_element(By.ID, name)

    def text(self, name):
        """The text of the element with id `name`, as the page has it now."""
        return self.browser.execute_script(
            "return document.getElementById(arguments[0]).textContent", name)

    def status(self):
        return self.text("status")

    def output(self):
        """Everything the program has written so far, line by line as it wrote it (the
        panel shows only the newest lines)."""
        return self.browser.execute_script("return Page.output()")

    def positions(self):
        """Every position the program has drawn so far: the CSV the positions link
        downloads."""
        return self.browser.execute_script("return Page.positions()")

    def frames(self):
        """How many frames the program has drawn."""
        return self.browser.execute_script("return Page.frames()")

    def press(self, name):
        """Clicks the button with id `name` (pause, step, close), as a user would; Pause
        then waits for the run to be paused or running, since a run pauses at the end
        of its next pass."""
        before = self.status()
        self._element(name).click()
        if name == "pause" and before in ("running", "paused"):
            wait_for("the run to leave %s" % before, lambda: self.status() != before,
                     EXIT_TIMEOUT)

    def set_speed(self, factor):
        """Chooses the speed: a factor from 0.25 to 8, or "fast", as fast as it goes."""
        from selenium.webdriver.support.ui import Select
        Select(self._element("speed")).select_by_value(str(factor))

    def set_step(self, ms):
        """Ticks the fixed step and types its milliseconds, as a user would."""
        if not self._element("fixed-step").is_selected():
            self._element("fixed-step").click()
        # Typed over what it holds: emptied first, it would take back the step it had.
        self.type_into("step-ms", str(ms))

    def type_into(self, name, text):
        """Types `text` over what the field with id `name` holds and leaves it, as a user
        does, so that it changes."""
        from selenium.webdriver.common.keys import Keys
        self._element(name).send_keys(Keys.CONTROL, "a", Keys.NULL, text, Keys.TAB)

    def wait_frames(self, frames, timeout=4 * LOAD_TIMEOUT):
        """Waits until the program has drawn at least `frames` frames; returns how many."""
        return wait_for("%d frames of %s" % (frames, self.program),
                        lambda: self.frames() >= frames and self.frames(), timeout)

    def wait_started(self):
        """Waits until the program runs, or has already ended; returns the status."""
        def started():
            status = self.status()
            return status if status not in ("", "loading") else None
        return wait_for("start of %s" % self.program, started, LOAD_TIMEOUT)

    def canvas(self):
        """The canvas as it is on the screen, as an RGB image."""
        png = self._element("canvas").screenshot_as_png
        return Image.open(io.BytesIO(png)).convert("RGB")

    def window(self):
        """The 800 x 600 window area as it is on the screen: the program's picture with
        whatever the page lays over it, as an RGB image."""
        from selenium.webdriver.common.by import By
        png = self.browser.find_element(By.CSS_SELECTOR, ".window").screenshot_as_png
        return Image.open(io.BytesIO(png)).convert("RGB").crop((0, 0, 800, 600))

    def measures(self, of=None, timeout=LOAD_TIMEOUT):
        """The frame counter and the measures the page shows, read at one moment: a dict
        of their ids and values, every digit of them (the page shows seven), with "of", the
        frame (from 0) the measures are of, which may lag behind the counter while the run
        moves. Given `of`, waits for that frame's."""
        def read():
            m = self.browser.execute_script(
                "var m = {}; arguments[0].forEach(function (id) {"
                " var e = document.getElementById(id);"
                " m[id] = 'value' in e.dataset ? e.dataset.value : e.textContent; });"
                " m.of = document.getElementById('inside').dataset.frame; return m;",
                MEASURES)
            return m if of is None or m["of"] == str(of) else None
        return wait_for("the measures of frame %s" % of, read, timeout)

    def canvas_when(self, accept, what, timeout=LOAD_TIMEOUT):
        """The first picture of the canvas that accept(image) takes."""
        def accepted():
            img = self.canvas()
            return img if accept(img) else None
        return wait_for(what, accepted, timeout)

    def type_into_canvas(self, keys):
        """Clicks the canvas, which gives it the focus, and types `keys` (selenium's
        names, e.g. Keys.ESCAPE, or text) into it."""
        from selenium.webdriver.common.action_chains import ActionChains
        ActionChains(self.browser).click(self._element("canvas")).send_keys(*keys).perform()

    def close(self):
        """Presses Close, as a user would."""
        self._element("close").click()

    def wait_end(self, timeout=EXIT_TIMEOUT):
        """Waits until the program has ended: (exit status, what it wrote)."""
        text = wait_for("end of %s" % self.program,
                        lambda: self.status() if self.status().startswith("ended") else None,
                        timeout)
        return int(text.rsplit(" ", 1)[1]), self.output()


class Experiment:
    """The experiments' page, open in a browser, running the experiment its address's
    `query` asks for; the ids it uses are its interface."""

    ENDED = ("done", "cancelled", "failed")

    def __init__(self, browser, site, query):
        self.browser = browser
        browser.get(site.url("experiment.html?" + query))

    def text(self, name):
        return self.browser.execute_script(
            "return document.getElementById(arguments[0]).textContent", "experiment-" + name)

    def state(self):
        """running, paused, done, cancelled or failed; None before it starts or when
        nothing could."""
        return self.browser.execute_script("return window.Experiment ? "
                                           "window.Experiment.state() : undefined")

    def passes(self):
        """The passes its runs have made so far, as its progress says."""
        return int(self.browser.execute_script(
            "return document.getElementById('experiment-progress').dataset.passes || 0"))

    def press(self, name):
        """Clicks the button experiment-`name` (pause, cancel), as a user would."""
        from selenium.webdriver.common.by import By
        self.browser.find_element(By.ID, "experiment-" + name).click()

    def wait_state(self, *states, timeout=4 * LOAD_TIMEOUT):
        return wait_for("the experiment to be %s" % " or ".join(states),
                        lambda: self.state() if self.state() in states else None, timeout)

    def table(self):
        """The table and the summary (empty but for a sweep) that its downloads hold."""
        return self.browser.execute_script(
            "return [window.Experiment.csv(), window.Experiment.summary()]")


# The program whose page is shown: its creatures, their paths, its measures and its lines
# on standard output, at a moment of one run, so that the picture can be taken again.
SHOWN = "moblings_fenced"
SHOWN_SEED, SHOWN_FRAMES = 1767225602, 240


def viewport(browser, width, height, mobile=False):
    """Makes the page's viewport exactly this size, whatever the window around it; a
    phone's (`mobile`) lays a page out as a phone does, at the width its viewport tag
    asks for."""
    browser.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
        "width": width, "height": height, "deviceScaleFactor": 1, "mobile": mobile})


def phone(browser, width, height=700):
    """A phone's screen, `width` CSS pixels wide. Its emulation widens the layout to fit
    content wider than the screen, so whether a page scrolls sideways is its
    documentElement's scrollWidth against `width`, not innerWidth."""
    viewport(browser, width, height, mobile=True)


def axe(browser, script):
    """The accessibility violations axe-core finds in the page open now, `script` being
    the path of its axe.min.js: [(rule, impact, [a selector of each element])]."""
    if not browser.execute_script("return !!window.axe"):
        with open(script, encoding="utf-8") as f:
            browser.execute_script(f.read())
    browser.set_script_timeout(4 * LOAD_TIMEOUT)
    return [(v["id"], v["impact"], v["targets"]) for v in browser.execute_async_script(
        "var done = arguments[arguments.length - 1];"
        "axe.run(document, {resultTypes: ['violations']}).then(function (r) {"
        " done(r.violations.map(function (v) { return {id: v.id, impact: v.impact,"
        "  targets: v.nodes.map(function (n) { return n.target.join(' '); })}; })); },"
        " function (e) { done([{id: 'axe failed', impact: 'critical', targets: [String(e)]}]); });")]


# Ticks the Trails box as the page is made, before its program can draw a frame: the page
# runs to the frame its address names faster than a script can tick it.
TRAILS_FROM_THE_START = """
new MutationObserver(function (_, observer) {
  var box = document.getElementById('trails');
  if (box) {
    box.checked = true;
    observer.disconnect();
  }
}).observe(document, {childList: true, subtree: true});
"""


# The experiments' picture: the herd's turn chance swept over four values, ten runs each.
SWEEP_SHOWN = ("preset=moblings_herd&vary=TurnChance=0.001,0.01,0.1,0.5&runs=10&frames=3000"
               "&step=16&seed=%d" % SHOWN_SEED)

# The playground's picture: the same run, its creatures told to stop turning half way.
PLAYGROUND_SHOWN = "preset=%s&seed=%d&change=%d:TurnChance=0" % (SHOWN, SHOWN_SEED,
                                                                 SHOWN_FRAMES // 2)


def screenshots(folder, site):
    """Saves web-index.png, web-page.png, web-playground.png and web-experiment.png in
    `folder`: the index, a program's page with its trails on from the start, paused at a
    moment of its run, the playground's run of it with a setting changed half way, each as
    tall as its content, and the plot of a sweep made in the experiments' page. Returns
    their paths."""
    browser = chromium()
    try:
        paths = []
        for page, query, name in (
                ("index", None, "web-index.png"),
                (SHOWN, "seed=%d&frames=%d" % (SHOWN_SEED, SHOWN_FRAMES), "web-page.png"),
                ("playground", PLAYGROUND_SHOWN + "&frames=%d" % SHOWN_FRAMES,
                 "web-playground.png")):
            viewport(browser, 860, 200)
            if query is None:
                browser.get(site.url(page + ".html"))
            else:
                if not paths[1:]:
                    browser.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument",
                                            {"source": TRAILS_FROM_THE_START})
                shown = Page(browser, site, page, query)
                shown.wait_started()
                shown.wait_frames(SHOWN_FRAMES)
                wait_for("the run to pause", lambda: shown.status() == "paused", EXIT_TIMEOUT)
            viewport(browser, 860,
                     browser.execute_script("return document.documentElement.scrollHeight"))
            paths.append(os.path.join(folder, name))
            with open(paths[-1], "wb") as f:
                f.write(browser.get_screenshot_as_png())
        Experiment(browser, site, SWEEP_SHOWN).wait_state(*Experiment.ENDED)
        # The plot as its PNG download holds it, whatever size the page shows it at.
        url = browser.execute_script(
            "return document.getElementById('experiment-plot').toDataURL('image/png')")
        paths.append(os.path.join(folder, "web-experiment.png"))
        with open(paths[-1], "wb") as f:
            f.write(base64.b64decode(url.split(",", 1)[1]))
        return paths
    finally:
        browser.quit()


def main():
    if len(sys.argv) not in (2, 4) or (len(sys.argv) == 4 and sys.argv[2] != "--screenshots"):
        sys.exit(__doc__)
    site = Site(sys.argv[1])
    if len(sys.argv) == 4:
        with site:
            print("\n".join(screenshots(sys.argv[3], site)))
        return
    print("Serving %s: open %s in a web browser (Ctrl-C stops it)" % (sys.argv[1], site.url()),
          flush=True)
    try:
        site.thread.join()
    except KeyboardInterrupt:
        site.stop()


if __name__ == "__main__":
    main()
