# SPDX-License-Identifier: MIT
"""The browser engines beside Chromium (lab.web): Firefox ESR and WebKitGTK, each drawing
WebGL with Mesa in an X server of its own, and each answering the calls of selenium's
driver that lab.web.Page makes, so that a page is driven in them as in Chromium.

Firefox has no WebDriver here but its own WebDriver BiDi, which puppeteer-core speaks: a
Node process (tests/web/tools/firefox.js, with the packages `npm ci` installs beside it)
drives it, and Firefox below stands in for selenium's driver over that process. WebKitGTK
is driven by selenium through WebKitWebDriver, in its MiniBrowser, which has no headless
mode.
"""

import base64
import io
import json
import math
import os
import select
import subprocess

from PIL import Image

from lab import web, xserver

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FIREFOX_DRIVER = os.path.join(ROOT, "tests", "web", "tools", "firefox.js")
WEBKIT_DRIVER = "/usr/bin/WebKitWebDriver"
MINIBROWSER = "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser"
# The window a page is laid out in, as Chromium's (lab.web.CHROMIUM_FLAGS): the canvas and
# what lies beside it fit in the viewport, so that a screenshot of it holds the canvas.
WINDOW = (1000, 1200)
ANSWER_TIMEOUT = 4 * web.LOAD_TIMEOUT  # s: how long a command may take, a page's load too


class DriverError(Exception):
    pass


class _Element:
    """An element of a Firefox page, found by a CSS selector when it is used."""

    def __init__(self, browser, selector):
        self.browser = browser
        self.selector = selector

    def click(self):
        self.browser._ask("click", selector=self.selector)

    def get_attribute(self, name):
        # As selenium's: the property where there is one (a link's whole address).
        return self.browser.execute_script(
            "var e = document.querySelector(arguments[0]);"
            " return arguments[1] in e ? e[arguments[1]] : e.getAttribute(arguments[1]);",
            self.selector, name)


class Firefox:
    """Firefox ESR, headless but in an X server of its own, without which it has no WebGL.
    What its pages download goes to the folder `downloads`, when given, without a question.
    The caller quits it."""

    def __init__(self, downloads=None):
        self.x = xserver.XServer()
        try:
            # Its own session: a test runner's Ctrl-C is the test's to handle, and the
            # browser closes when our end of its input does, however we end.
            self.proc = subprocess.Popen(
                ["node", FIREFOX_DRIVER, "%dx%d" % WINDOW, *([downloads] if downloads else [])],
                stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                env=dict(os.environ, DISPLAY=self.x.display), start_new_session=True)
            self.version = "Firefox " + self._ask("version").split("/", 1)[-1]
        except BaseException:
            self.quit()
            raise

    def _ask(self, op, **command):
        self.proc.stdin.write(json.dumps(dict(command, op=op)) + "\n")
        self.proc.stdin.flush()
        if not select.select([self.proc.stdout], [], [], ANSWER_TIMEOUT)[0]:
            raise DriverError("Firefox did not answer %s within %.0f s" % (op, ANSWER_TIMEOUT))
        line = self.proc.stdout.readline()
        if not line:
            raise DriverError("Firefox's driver ended (status %s)" % self.proc.wait(10))
        answer = json.loads(line)
        if "error" in answer:
            raise DriverError(answer["error"])
        return answer["value"]

    def get(self, url):
        self._ask("goto", url=url)

    def execute_script(self, script, *args):
        return self._ask("evaluate", script=script, args=list(args))

    def find_element(self, by, value):
        return _Element(self, '[id="%s"]' % value if by == "id" else value)

    def get_screenshot_as_png(self):
        return base64.b64decode(self._ask("screenshot"))

    def quit(self):
        proc = getattr(self, "proc", None)
        if proc:
            proc.stdin.close()
            try:
                proc.wait(30)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
            proc.stdout.close()
        self.x.stop()


def webkit():
    """WebKitGTK's MiniBrowser in an X server of its own, driven by selenium. The caller
    quits it."""
    from selenium.webdriver.remote.webdriver import WebDriver
    from selenium.webdriver.webkitgtk.options import Options
    from selenium.webdriver.webkitgtk.service import Service

    class WebKit(WebDriver):
        def quit(self):
            try:
                super().quit()
            finally:
                service.stop()
                x.stop()

    x = xserver.XServer()
    try:
        # A locale whose name is no language tag, as many a machine's is: the page must
        # take WebKit's navigator.language of "C" for none.
        service = Service(WEBKIT_DRIVER, env=dict(os.environ, DISPLAY=x.display,
                                                  LANG="C.UTF-8", LC_ALL="C.UTF-8"))
        service.start()
    except BaseException:
        x.stop()
        raise
    try:
        options = Options()
        options.binary_location = MINIBROWSER
        options.add_argument("--automation")
        browser = WebKit(command_executor=service.service_url, options=options)
    except BaseException:
        service.stop()
        x.stop()
        raise
    browser.set_window_size(*WINDOW)
    caps = browser.capabilities
    browser.version = "WebKitGTK %s" % caps.get("browserVersion", "?")
    return browser


def canvas_picture(browser, timeout=web.LOAD_TIMEOUT):
    """The program's canvas as the page shows it, an RGB image: cut from a screenshot of
    the viewport with the canvas scrolled into it, which every engine takes exactly (an
    element's screenshot in WebKit, after a scroll, can miss pixels)."""
    # WebKit's screenshot is of the last page it painted, which may be from before the
    # scroll: the same picture twice, two frames apart, is the one the page shows.
    browser.execute_script("document.getElementById('canvas').scrollIntoView();")
    seen = []

    def still():
        left, top, width, height = browser.execute_script(
            "return new Promise(function (done) { requestAnimationFrame(function () {"
            " requestAnimationFrame(function () {"
            " var r = document.getElementById('canvas').getBoundingClientRect();"
            " done([r.left, r.top, r.width, r.height]); }); }); });")
        shot = Image.open(io.BytesIO(browser.get_screenshot_as_png())).convert("RGB")
        # An edge half way between two pixels is drawn from the later one.
        left, top = math.floor(left + 0.5), math.floor(top + 0.5)
        seen.append(shot.crop((left, top, left + round(width), top + round(height))))
        return seen[-1] if seen[-2:-1] and seen[-2].tobytes() == seen[-1].tobytes() else None
    return web.wait_for("a still picture of the canvas", still, timeout)


def downloaded(folder, suffix, timeout=web.LOAD_TIMEOUT):
    """lab.web.downloaded, for Firefox as well, which leaves an empty file of the name
    while it writes the download beside it as NAME.part."""
    def complete():
        names = os.listdir(folder)
        done = [n for n in names if n.endswith(suffix)]
        if done and not any(n.endswith((".part", ".crdownload")) for n in names):
            assert len(done) == 1, done
            path = os.path.join(folder, done[0])
            return path if os.path.getsize(path) else None
        return None
    return web.wait_for("download of a %s file" % suffix, complete, timeout)
