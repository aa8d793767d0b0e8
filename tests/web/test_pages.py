# SPDX-License-Identifier: MIT
"""The programs' pages in headless Chromium, seen as their users see them: a timed
program, a turned untimed one and the still one show their creatures in the canvas, and
Close ends the run as closing the window does; without WebGL a page shows the program's
failure. The index links every program's page, with a picture of it. A page's run for a
seed and a fixed step is the desktop program's run for them, and a page can be paused,
stepped, sped up and run as fast as it goes to a far frame; it keeps a snapshot and a
recording of what it showed, and holds the code it runs.

    /usr/bin/python3 test_pages.py SITE PROGRAM [TestClass]

Each test process serves the site and starts a browser of its own for all its cases. MOBLINGS_BUILD_DIR is
the desktop build whose programs a page's run is compared with (default: build/).
"""

import collections
import colorsys
import csv
import io
import math
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
    keeps = False  # what its pages download is kept, in self.downloads

    # One browser serves every case of a class, as a reader's opens one page after another:
    # starting one costs a case more than its pages do.
    @classmethod
    def setUpClass(cls):
        cls.site = web.Site(SITE)
        cls.addClassCleanup(cls.site.stop)
        cls.downloads = None
        if cls.keeps:
            folder = tempfile.TemporaryDirectory()
            cls.addClassCleanup(folder.cleanup)
            cls.downloads = folder.name
        cls.browser = web.chromium(cls.webgl, cls.downloads)
        cls.addClassCleanup(cls.browser.quit)

    def open(self):
        return web.Page(self.browser, self.site, PROGRAM)

    def desktop_csv(self, tool, *args, options=()):
        """The CSV that the desktop tool scripts/`tool` writes of the program's run for
        SEED, given `options` before the program and `args` after it."""
        with tempfile.TemporaryDirectory() as folder:
            stem = os.path.join(folder, "desktop")
            done = subprocess.run([os.path.join(ROOT, "scripts", tool), "--seed", str(SEED),
                                   *options, os.path.join(BUILD, PROGRAM), *args, stem],
                                  capture_output=True, text=True, timeout=240)
            self.assertEqual(done.returncode, 0, done.stderr)
            with open(stem + ".csv", newline="") as f:
                return f.read()


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


# A run named by its second: the one scripts/experiment.sh's README example repeats.
SEED = 1767225602


class SameRunTests(BrowserTest):
    """The page's run for a seed and a fixed step is the desktop's run for them, frame for
    frame, however fast either ran it; an untimed program takes the step and ignores it."""

    FRAMES, STEP = 300, 16

    def test_the_positions_of_the_desktop_run_of_the_seed(self):
        moment = "seed=%d&step=%d&frames=%d" % (SEED, self.STEP, self.FRAMES)
        page = web.Page(self.browser, self.site, PROGRAM, moment)
        page.wait_started()
        page.wait_frames(self.FRAMES)
        self.assertEqual((page.frames(), page.status()), (self.FRAMES, "paused"))
        self.assertEqual(page.text("seed"), str(SEED))
        self.assertTrue(page._element("link").get_attribute("href").endswith(
            "%s.html?%s" % (PROGRAM, moment)), "the link names the moment")
        in_page = page.positions().split("\r\n")
        on_desktop = self.desktop_csv("trails.sh", options=(
            "--step", str(self.STEP), "--frames", str(self.FRAMES))).split("\r\n")
        self.assertEqual(in_page[0], on_desktop[0], "the same columns")
        self.assertEqual(len(in_page), len(on_desktop), "rows")
        first_difference = next((i for i, (a, b) in enumerate(zip(in_page, on_desktop))
                                 if a != b), None)
        if first_difference is not None:
            self.fail("row %d: page %s, desktop %s" % (first_difference, in_page[first_difference],
                                                       on_desktop[first_difference]))


class ControlTests(BrowserTest):
    """Pause, step and speed, as fast as it goes too, on an untimed program that writes a
    line a frame."""

    def passes_a_frame(self, page, speed, frames=40):
        """The program's passes for each frame the browser showed, at `speed`."""
        page.set_speed(speed)
        read = "return [Page.frames(), window.frameCount]"
        drawn, shown = self.browser.execute_script(read)
        wait_for = frames / min(speed, 1)
        web.wait_for("%d more frames" % frames,
                     lambda: self.browser.execute_script(read)[1] >= shown + wait_for, 60)
        drawn2, shown2 = self.browser.execute_script(read)
        return (drawn2 - drawn) / (shown2 - shown)

    def test_pause_step_speed_and_a_panel_that_keeps_up(self):
        web.count_frames(self.browser)
        page = self.open()
        self.assertEqual(page.wait_started(), "running")
        page.wait_frames(5)
        # Speed is the program's passes a frame shown, whatever the machine's pace.
        for speed in (1, 4, 0.25):
            self.assertAlmostEqual(self.passes_a_frame(page, speed), speed, delta=speed / 8,
                                   msg="speed %g" % speed)
        page.press("pause")
        self.assertEqual(page.status(), "paused")
        held, picture = page.frames(), page.canvas()
        time.sleep(1)
        self.assertEqual(page.frames(), held, "frames drawn while paused")
        self.assertEqual(page.canvas().tobytes(), picture.tobytes(), "picture moved while paused")
        for n in range(1, 4):
            page.press("step")
            page.wait_frames(held + n, 10)
            time.sleep(0.2)
            self.assertEqual(page.frames(), held + n, "a step is one pass")
        self.assertEqual(page.positions().count("\n") - 1, (held + 3) * self.population)
        # More lines than the panel holds: it shows the newest and says what it left out.
        page.press("pause")
        page.set_speed(8)
        page.wait_frames(held + 700, 240)
        page.press("pause")
        written = page.output().splitlines()
        self.assertGreater(len(written), 700)
        shown = page.text("output").splitlines()
        self.assertEqual(shown, written[-len(shown):], "the panel shows the newest lines")
        self.assertIn("%d earlier lines" % (len(written) - len(shown)), page.text("earlier"))
        # Close ends a paused run as closing the window does.
        page.close()
        status, out = page.wait_end()
        self.assertEqual(status, 0, out)
        self.assertEqual(out[:len(self.start_lines)], self.start_lines)
        self.check_end(out[len(self.start_lines):])

    FAR = 20000  # frames

    def test_a_far_frame_as_fast_as_it_goes(self):
        page = web.Page(self.browser, self.site, PROGRAM, "seed=%d&frames=%d" % (SEED, self.FAR))
        page.wait_started()
        # However long a busy machine takes, it stops at that frame, every frame kept.
        page.wait_frames(self.FAR, 240)
        self.assertEqual((page.frames(), page.status()), (self.FAR, "paused"))
        self.assertEqual(self.browser.execute_script(
            "return document.getElementById('speed').value"), "1", "back to the speed chosen")
        rows = page.positions().splitlines()
        self.assertEqual(len(rows) - 1, self.FAR * self.population)
        self.assertEqual(rows[-1].split(",")[:2], [str(self.FAR - 1), str(self.population - 1)])
        out = page.output()
        self.assertEqual(out[:len(self.start_lines)], self.start_lines)
        self.assertEqual(out.count("\n") - self.start_lines.count("\n"), self.FAR,
                         "a line a frame")
        shown = page.text("output").splitlines()
        self.assertEqual(shown, out.splitlines()[-len(shown):], "the panel shows the newest")
        page.measures(of=self.FAR - 1)
        # As fast as it goes without a stop, Pause and Close still answer.
        page.set_speed("fast")
        page.press("pause")
        page.wait_frames(self.FAR + 1000)
        page.press("pause")
        held = page.frames()
        time.sleep(0.3)
        self.assertEqual(page.frames(), held, "frames drawn while paused")
        page.press("pause")
        page.close()
        status, out = page.wait_end()
        self.assertEqual(status, 0, out)
        self.check_end(out[len(self.start_lines):])


class ResumeTests(BrowserTest):
    """A timed program's clock stands still while its page is paused, and moves on by the
    fixed step it is given at each pass."""

    PAUSE = 4.0  # s

    def test_no_jump_after_a_pause_and_a_fixed_step(self):
        page = self.open()
        page.wait_started()
        page.wait_frames(10)
        page.press("pause")
        held = page.frames()
        time.sleep(self.PAUSE)
        self.assertEqual(page.frames(), held)
        page.press("pause")
        page.wait_frames(held + 5)
        page.press("pause")
        resumed_to = page.frames()
        page.set_step(50)
        self.assertTrue(page._element("link").get_attribute("href").endswith(
            "?seed=%s&step=50&frames=%d" % (page.text("seed"), resumed_to)))
        stepped = resumed_to + 3
        for _ in range(3):
            page.press("step")
        page.wait_frames(stepped, 10)
        # Each creature walks its speed times the frame's milliseconds, whichever way.
        frames = {}
        for row in page.positions().splitlines()[1:]:
            frame, _, x, y, _ = row.split(",")
            frames.setdefault(int(frame), []).append((float(x), float(y)))
        ms = [max(math.hypot(a[0] - b[0], a[1] - b[1]) for a, b in zip(frames[k], frames[k - 1]))
              / self.speed for k in range(1, len(frames))]
        resumed = ms[held - 1]  # the step of frame `held`, the first after the pause
        self.assertLess(resumed, self.PAUSE * 1000 / 2,
                        "the first frame after a pause of %g s took %.0f ms" % (self.PAUSE, resumed))
        self.assertGreater(max(ms[held - 1:resumed_to - 1]), 0,
                           "the program moved on after the pause")
        # The fixed step moves the clock at each swap and at no other time: not before the
        # first step, by 50 ms at the swap of each.
        self.assertEqual(len(ms), stepped - 1)
        for step, expected in zip(ms[-3:], (0, 50, 50)):
            self.assertAlmostEqual(step, expected, delta=0.01, msg=ms[-3:])


class KeepTests(BrowserTest):
    """Snapshot and Record download what the canvas showed, running and paused."""
    keeps = True

    def snapshot(self, page):
        page.press("snapshot")
        path = web.downloaded(self.downloads, ".png")
        img = Image.open(path)
        self.addCleanup(img.close)
        os.rename(path, path + ".seen")
        fits = self.look_at(img.convert("RGB"))
        self.assertTrue(fits, "no creatures in the snapshot")
        self.assertShapesFit(fits)
        return os.path.basename(path), img

    def test_snapshot_is_the_canvas_paused_or_running(self):
        page = web.Page(self.browser, self.site, PROGRAM, "seed=%d&frames=40" % SEED)
        page.wait_started()
        page.wait_frames(40)
        self.assertEqual(page.status(), "paused")
        # Paused, the program draws nothing: the picture is the one it drew last.
        name, img = self.snapshot(page)
        self.assertEqual((name, img.format, img.size),
                         ("%s-frame-40.png" % PROGRAM, "PNG", (800, 600)))
        self.assertEqual(img.convert("RGB").tobytes(), page.canvas().tobytes(),
                         "the snapshot is not what the canvas shows")
        page.press("pause")
        page.set_speed(8)
        page.wait_frames(200)
        name, _ = self.snapshot(page)
        self.assertGreater(int(re.fullmatch(r"%s-frame-(\d+)\.png" % PROGRAM, name)[1]), 200)
        # Paused by the button, at whatever frame that was.
        page.press("pause")
        name, img = self.snapshot(page)
        self.assertEqual(name, "%s-frame-%d.png" % (PROGRAM, page.frames()))
        self.assertEqual(img.convert("RGB").tobytes(), page.canvas().tobytes())

    def test_recording_is_a_webm_of_the_frames_shown(self):
        page = self.open()
        page.wait_started()
        first = page.wait_frames(5)
        page.press("record")
        self.assertIn("Stop", page.text("record"))
        page.wait_frames(first + 60)
        page.press("record")
        self.assertEqual(page.text("record"), "Record")
        path = web.downloaded(self.downloads, ".webm")
        probe = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-select_streams",
                                "v:0", "-show_entries", "stream=codec_name,width,height,"
                                "nb_read_frames", "-of", "csv=p=0", path],
                               capture_output=True, text=True, check=True).stdout.split(",")
        self.assertIn(probe[0], ("vp8", "vp9"))
        self.assertEqual(probe[1:3], ["800", "600"])
        self.assertGreater(int(probe[3]), 1, "frames in the recording")
        # Its first and last pictures show the creatures, moved on.
        places = []
        # MediaRecorder's WebM has no index to seek by: the last is kept of all decoded.
        # Its clock counts milliseconds, so each picture is written once as it came, not
        # once for every millisecond it was shown.
        pictures_of_it = tempfile.TemporaryDirectory()
        self.addCleanup(pictures_of_it.cleanup)
        for which in (["-frames:v", "1"], []):
            still = os.path.join(pictures_of_it.name, "still.png")
            subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-i", path,
                            "-fps_mode", "passthrough", "-update", "1", *which, still],
                           check=True, timeout=60)
            with Image.open(still) as img:
                blue = img.convert("RGB").getchannel("B").point(lambda v: 255 if v >= 128 else 0)
            zero = Image.new("L", blue.size)
            shapes = pictures.components(Image.merge("RGB", (zero, zero, blue)))
            width, height = blue.size
            # The codec leaves a pixel or two of blue here and there; no creature is so small.
            shapes = [c for c in shapes if c.pixels > 2]
            for c in shapes:
                # A creature walking out of the picture is cut by its edge to any size.
                cut = c.left == 0 or c.top == 0 or c.right == width - 1 or c.bottom == height - 1
                self.assertTrue((cut or pictures.CREATURE_PIXELS[0] // 2 <= c.pixels)
                                and c.pixels <= 2 * pictures.CREATURE_PIXELS[1], shapes)
            self.assertTrue(0 < len(shapes) <= self.population, shapes)
            places.append(shapes)
        self.assertNotEqual(*places, "the recording stood still")


class CodeTests(BrowserTest):
    """The page holds the program's settings and the sources that run them, as they are."""

    def test_the_programs_own_sources(self):
        self.open().wait_started()
        read = "return document.getElementById(arguments[0]).textContent"
        for name, path in (("program", "programs/%s/program.h" % PROGRAM),
                           ("movement", "src/movement.cpp"), ("moblery", "src/moblery.cpp"),
                           ("settings", "include/settings.h")):
            with open(os.path.join(ROOT, path)) as f:
                self.assertEqual(self.browser.execute_script(read, "code-" + name), f.read(),
                                 path)
        note = self.browser.execute_script(
            "return document.querySelector('#code p').textContent")
        self.assertGreater(len(note), 80, "a sentence or two on what to look for")
        spans = self.browser.execute_script(
            "return document.querySelectorAll('#code-program span').length")
        self.assertGreater(spans, 5, "the settings are not highlighted")


def coloured(img):
    """Pixels neither black nor blue: the program draws only blue creatures on black."""
    return sum(1 for r, g, _ in img.getdata() if r > 32 or g > 32)


class StudyTests(BrowserTest):
    """What a reader studies a run by: the paths over the picture, the measures of the
    frame just drawn and their plot."""

    def test_trails_over_the_picture_on_and_off(self):
        page = web.Page(self.browser, self.site, PROGRAM, "seed=%d&frames=20" % SEED)
        page.wait_started()
        page.wait_frames(20)
        self.assertEqual(coloured(page.window()), 0, "the program's own picture")
        page.press("trails")
        page.press("pause")
        page.wait_frames(120)
        page.press("pause")
        with_trails = page.window()
        self.assertGreater(coloured(with_trails), 10 * self.population, "no paths drawn")
        page.press("trails")
        picture = page.window()
        self.assertEqual(coloured(picture), 0, "the paths stayed when trails went off")
        self.assertEqual(picture.tobytes(), page.canvas().tobytes())
        self.assertTrue(self.browser.execute_script(
            "return document.querySelector('#plot canvas').width > 0"), "no plot")

    def test_inside_and_outside_are_the_population_at_every_moment(self):
        page = self.open()
        page.wait_started()
        # Past frame 0, whose mean step is empty.
        web.wait_for("the measures of a later frame",
                     lambda: page.measures()["of"] not in (None, "0"), 10)
        seen = []
        for speed in (1, 8):
            page.set_speed(speed)
            for _ in range(5):
                seen.append(page.measures())
                time.sleep(0.1)
        page.press("pause")
        for _ in range(3):
            held = page.frames()
            page.press("step")
            seen.append(page.measures(of=held, timeout=10))
            self.assertEqual(seen[-1]["frame"], str(held + 1), "a step is one frame")
        for m in seen:
            self.assertEqual(int(m["inside"]) + int(m["outside"]), self.population, m)
            self.assertGreaterEqual(float(m["mean-step"]), 0, m)
        moved = {m["mean-from-start"] for m in seen}
        if self.moves:
            self.assertGreater(len(moved), 1, "the measures stood still")
        else:
            self.assertEqual(moved, {"0"})
            self.assertEqual({(m["inside"], m["mean-distance"], m["mean-step"]) for m in seen},
                             {(seen[0]["inside"], seen[0]["mean-distance"], "0")},
                             "the still program's measures changed")

    def test_the_measures_of_the_desktop_run_of_the_seed(self):
        rows = list(csv.DictReader(io.StringIO(self.desktop_csv("experiment.sh", "1", "1"),
                                               newline="")))
        # As far as the desktop went in its second, and a step on.
        frames = min(60, len(rows) - 1)
        self.assertGreaterEqual(frames, 2, "too few frames to compare")
        page = web.Page(self.browser, self.site, PROGRAM, "seed=%d&frames=%d" % (SEED, frames))
        page.wait_started()
        page.wait_frames(frames)
        for frame in (frames, frames + 1):
            if frame > frames:
                page.press("step")
            shown, row = page.measures(of=frame - 1), rows[frame - 1]
            self.assertEqual(shown["frame"], str(frame))
            self.assertEqual(row["frame"], str(frame - 1))
            for name in web.MEASURES[1:]:
                on_desktop, in_page = row[name.replace("-", "_")], shown[name]
                self.assertEqual(bool(on_desktop), bool(in_page), name)
                if on_desktop:
                    self.assertEqual(float(in_page), float(on_desktop),
                                     "%s of frame %d" % (name, frame - 1))


class ExperimentTests(BrowserTest):
    """The experiments' page writes the table and summary that the desktop command it shows
    writes, every byte, for an untimed program's sweep and a timed program's runs with a
    step, measured every frame or every third; a pause holds every run and a resume goes on
    to the same table; what cannot be is said in the desktop's words, and nothing runs."""

    def experiment(self, query):
        x = web.Experiment(self.browser, self.site, query)
        self.assertEqual(x.wait_state(*x.ENDED), "done", x.text("error"))
        return x

    def desktop(self, command, sweep):
        """What the desktop command the page shows writes: its table, and a sweep's
        summary. The program is the build's, as the page names it."""
        words = command.split()
        self.assertEqual(words[0], "scripts/experiment.sh")
        words[-2] = os.path.join(BUILD, words[-2])
        with tempfile.TemporaryDirectory() as folder:
            stem = os.path.join(folder, "desktop")
            done = subprocess.run([os.path.join(ROOT, *words[0].split("/")), *words[1:], stem],
                                  capture_output=True, text=True, timeout=240)
            self.assertEqual(done.returncode, 0, done.stderr)
            files = []
            for suffix in (".csv", "-summary.csv") if sweep else (".csv",):
                with open(stem + suffix, newline="") as f:
                    files.append(f.read())
            return files + [""] * (not sweep), done.stderr

    def test_the_desktops_table_every_byte(self):
        for query, sweep in (
                # The values' builds are the desktop sweep test's: the two share them.
                ("preset=moblings_fenced&vary=Population=1,7&runs=3&frames=300&seed=%d"
                 % SEED, True),
                ("preset=moblings_timed&runs=3&frames=120&step=16&every=3&seed=%d" % SEED, False)):
            with self.subTest(query):
                x = self.experiment(query)
                table, summary = x.table()
                self.assertEqual(table.count("\n"), 1 + 3 * (2 * 300 if sweep else 40))
                on_desktop, _ = self.desktop(x.text("desktop-command"), sweep)
                self.assertEqual([table, summary], on_desktop)

    def test_paused_and_resumed_the_same_table(self):
        query = "preset=moblings_fenced&runs=4&frames=100000&every=1000&seed=%d" % SEED
        straight = self.experiment(query).table()
        x = web.Experiment(self.browser, self.site, query)
        x.wait_state("running")
        x.press("pause")
        self.assertEqual(x.wait_state("paused", *x.ENDED), "paused")
        # A slice of passes under way as the pause came may still be counted, then none.
        time.sleep(0.5)
        held = x.passes()
        time.sleep(1)
        self.assertEqual(x.passes(), held, "runs went on while paused")
        self.assertLess(held, 4 * 100000)
        x.press("pause")
        self.assertEqual(x.wait_state(*x.ENDED), "done", x.text("error"))
        self.assertEqual(x.table(), straight)

    def test_what_cannot_be_is_said_and_nothing_runs(self):
        for query, options in (("vary=Speed=1,2", ["--vary", "Speed=1,2"]),
                               ("frames=0", ["--frames", "0"])):
            with self.subTest(query):
                x = web.Experiment(self.browser, self.site, "preset=moblings_fenced&" + query)
                said = web.wait_for("a word of what is wrong", lambda: x.text("error"),
                                    web.LOAD_TIMEOUT)
                done = subprocess.run([os.path.join(ROOT, "scripts", "experiment.sh"),
                                       *options, os.path.join(BUILD, PROGRAM), "2", "1"],
                                      capture_output=True, text=True, timeout=60)
                self.assertEqual((done.returncode, done.stderr.strip()), (1, "experiment: error: " + said))
                self.assertIsNone(x.state())


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
        # A program is a module with a page of its own; the playground's run under one.
        programs = [name[:-len(".wasm")] for name in sorted(os.listdir(SITE))
                    if name.endswith(".wasm") and
                    os.path.exists(os.path.join(SITE, name[:-len(".wasm")] + ".html"))]
        self.assertEqual(sorted(a.text for a in links), programs)
        self.assertEqual(self.browser.find_element(By.ID, "playground").get_attribute("href"),
                         self.site.url("playground.html"))
        for a in links:
            self.assertEqual(a.get_attribute("href"), self.site.url(a.text + ".html"))
            words = a.find_element(By.XPATH, "..").text
            self.assertGreater(len(words), len(a.text) + 40, "one sentence on it: " + words)
            # A picture of the program's own trails, loaded.
            img = a.find_element(By.TAG_NAME, "img")
            self.assertEqual(img.get_attribute("src"), self.site.url("pictures/%s.png" % a.text))
            self.assertGreater(self.browser.execute_script(
                "return arguments[0].complete && arguments[0].naturalWidth", img), 100, a.text)

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
        # The program's creatures, at one pixel a window pixel, each partly under the newest
        # part of its path: half a creature's pixels for ten of them at least.
        blue = sum(c.pixels for c in pictures.components(page))
        self.assertGreaterEqual(blue, 10 * pictures.CREATURE_PIXELS[0] // 2)
        # Their paths, a colour each round the colour wheel; the plot and the highlighted
        # code alone make a few.
        hues = collections.Counter()
        for r, g, b in page.getdata():
            h, s, v = colorsys.rgb_to_hsv(r / 255, g / 255, b / 255)
            if s >= 0.5 and v >= 0.3 and (r, g, b) != pictures.BLUE:
                hues[int(h * 24) % 24] += 1
        self.assertGreaterEqual(sum(1 for n in hues.values() if n >= 20), 16, hues)


class PlaygroundTests(BrowserTest):
    """The playground, every setting a control: a preset unchanged is its program, a
    change made by hand while the run goes on and the same change from the run's link give
    the same run, a value a field cannot take is said and changes nothing, and the
    desktop command it shows repeats its run."""

    def playground(self, query, frames=None):
        page = web.Page(self.browser, self.site, "playground", query)
        page.wait_started()
        if frames:
            page.wait_frames(frames)
            web.wait_for("the pause at %d" % frames, lambda: page.status() == "paused", 20)
        return page

    def assertSameRows(self, got, wanted, what):
        got, wanted = got.split("\r\n"), wanted.split("\r\n")
        differ = next((i for i, (a, b) in enumerate(zip(got, wanted)) if a != b), None)
        self.assertIsNone(differ, "%s: row %s" % (what, differ))
        self.assertEqual(len(got), len(wanted), what)

    def test_a_preset_unchanged_draws_what_its_program_draws(self):
        moment = "seed=%d&frames=60" % SEED
        # An untimed program, and the still one with its whole-number places.
        for program in ("moblings_fenced", "moblings"):
            own = web.Page(self.browser, self.site, program, moment)
            own.wait_started()
            own.wait_frames(60)
            web.wait_for("the pause", lambda: own.status() == "paused", 20)
            wanted = own.positions()
            page = self.playground("preset=%s&%s" % (program, moment), 60)
            self.assertSameRows(page.positions(), wanted, program)

    def test_a_change_by_hand_and_from_the_link_make_the_same_run(self):
        page = self.playground("preset=moblings_fenced&seed=%d&frames=50" % SEED, 50)
        page.type_into("set-TurnChance", "0")
        for _ in range(30):
            page.press("step")
        web.wait_for("frame 80", lambda: page.frames() == 80, 20)
        link = page._element("link").get_attribute("href")
        self.assertIn("&change=50:TurnChance=0", link)
        by_hand = page.positions()
        frames = collections.defaultdict(list)
        for row in csv.DictReader(io.StringIO(by_hand, newline="")):
            frames[int(row["frame"])].append((float(row["x"]), float(row["y"])))
        # From frame 50 on none turns: a unit a frame, each in the line it walked before.
        for k in range(51, 79):
            for i, (a, b, c) in enumerate(zip(frames[k], frames[k + 1], frames[k + 2])):
                step, next_step = (b[0] - a[0], b[1] - a[1]), (c[0] - b[0], c[1] - b[1])
                self.assertAlmostEqual(math.hypot(*step), 1, delta=1e-4, msg=(k, i))
                self.assertAlmostEqual(step[0], next_step[0], delta=1e-4, msg=(k, i))
                self.assertAlmostEqual(step[1], next_step[1], delta=1e-4, msg=(k, i))
        again = self.playground(link.split("?", 1)[1], 80)
        self.assertEqual(again._element("set-TurnChance").get_attribute("value"), "0")
        self.assertSameRows(again.positions(), by_hand, "the link's run")

    def test_a_value_a_field_cannot_take_is_said_and_the_run_goes_on(self):
        page = self.playground("preset=moblings_fenced&seed=%d&Population=2.5" % SEED)
        self.assertIn("Population=2.5: Population is an int, and 2.5 is a fraction",
                      page.text("settings-error"))
        page.type_into("set-TurnChance", "often")
        self.assertIn("TurnChance=often: TurnChance is a double, and 'often' is not a number",
                      page.text("settings-error"))
        drawn = page.frames()
        page.wait_frames(drawn + 10)
        self.assertEqual(page.status(), "running")
        shown = page.measures()
        self.assertEqual(int(shown["inside"]) + int(shown["outside"]), 20, "the preset's population")
        link = page._element("link").get_attribute("href")
        self.assertNotIn("TurnChance", link)
        self.assertNotIn("Population", link)

    def test_the_desktop_command_shown_repeats_the_run(self):
        page = self.playground("preset=moblings_fenced&seed=%d&Population=3&TurnChance=0.2"
                               "&frames=40" % SEED, 40)
        command = page.text("desktop-command").split()
        self.assertEqual(command, ["scripts/trails.sh", "--seed", str(SEED), "--set",
                                   "Population=3", "--set", "TurnChance=0.2", "--frames", "40",
                                   "moblings_fenced"])
        with tempfile.TemporaryDirectory() as folder:
            stem = os.path.join(folder, "desktop")
            done = subprocess.run([os.path.join(ROOT, command[0]), *command[1:], stem],
                                  capture_output=True, text=True, timeout=280,
                                  env=dict(os.environ, MOBLINGS_BUILD_DIR=BUILD))
            self.assertEqual(done.returncode, 0, done.stderr)
            with open(stem + ".csv", newline="") as f:
                self.assertSameRows(page.positions(), f.read(), "the desktop's run")


def main():
    global SITE, PROGRAM, BUILD
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    SITE, PROGRAM = os.path.abspath(sys.argv[1]), sys.argv[2]
    BUILD = os.environ.get("MOBLINGS_BUILD_DIR", os.path.join(ROOT, "build"))
    kind = harness.kind(PROGRAM)
    for name, tests in (("Page", PageTests), ("NoWebGL", NoWebGLTests), ("Index", IndexTests),
                        ("SameRun", SameRunTests), ("Control", ControlTests),
                        ("Resume", ResumeTests), ("Keep", KeepTests), ("Code", CodeTests),
                        ("Study", StudyTests), ("Playground", PlaygroundTests),
                        ("Experiment", ExperimentTests)):
        globals()[name] = type(name, (kind, tests, unittest.TestCase), {})
    unittest.main(module="__main__", argv=[sys.argv[0], "-v", *sys.argv[3:]])


if __name__ == "__main__":
    main()
