# SPDX-License-Identifier: MIT
"""One run of a real program in a private X server, watched and handled as a user would:
its standard output captured, its window found, looked at and counted frame by frame,
keys typed into it, closed as a window manager closes it or ended by a signal, and its
exit status collected.

    with Program(path) as p:
        p.wait_window()
        img = p.screenshot()
        p.close_window()
        status, out = p.wait()
"""

import glob
import os
import select
import signal
import subprocess
import tempfile
import time

from PIL import Image
from Xlib import X, XK, display as xdisplay, error as xerror, protocol
from Xlib.ext import damage, xtest

from lab.xserver import private_display

WINDOW_TIMEOUT = 20.0   # s: how long a program may take to show its window
EXIT_TIMEOUT = 20.0     # s: how long it may take to end once told to
# Debian's faketime, which stops a program's wall clock where its seed is read.
FAKETIME = next(iter(sorted(glob.glob("/usr/lib/*/faketime/libfaketime.so.1"))), None)


def pinned_clock(second):
    """What a program's environment needs for time(0) to read the Unix second `second`,
    however slowly it starts: its wall clock stopped there (given as a number, so that no
    time zone comes between), its monotonic clock, SDL's frame clock, left running."""
    return {"LD_PRELOAD": " ".join(filter(None, [os.environ.get("LD_PRELOAD"), FAKETIME])),
            "FAKETIME": str(second), "FAKETIME_FMT": "%s", "FAKETIME_DONT_FAKE_MONOTONIC": "1"}


def _default_signals():
    # Whoever started us may have left SIGINT ignored (a shell does so for
    # background jobs), and an ignored signal stays ignored across exec.
    signal.signal(signal.SIGINT, signal.SIG_DFL)
    signal.signal(signal.SIGTERM, signal.SIG_DFL)


def program_env(driver="x11", display=None, extra=None):
    """The environment for a program under test.

    The video driver is always explicit: left to choose, SDL falls back to
    drivers that never fail cleanly or never show a window.
    """
    env = {k: v for k, v in os.environ.items()
           if not k.startswith("SDL_") and k != "DISPLAY"}
    env["SDL_VIDEODRIVER"] = driver
    if display:
        env["DISPLAY"] = display
    env.update(extra or {})
    return env


def _capture():
    """A file for a child's output, as (ours, the child's). The child writes through a
    descriptor of its own, opened for appending, and we read through ours: a file shared
    as one descriptor shares its position, so a read of ours while the program runs would
    move where its next line lands."""
    ours = tempfile.TemporaryFile()
    return ours, open("/proc/self/fd/%d" % ours.fileno(), "ab")


def _read_all(f):
    fd = f.fileno()
    return os.pread(fd, os.fstat(fd).st_size, 0).decode(errors="replace")


class Program:
    """One run of a program under test; use it as a context manager so that a
    failing test never leaves it running into the next one."""

    def __init__(self, path, driver="x11", env=None, args=(), display=None):
        self.path = os.path.abspath(path)
        self.name = os.path.basename(self.path)
        self.display = display if display is not None else (
            private_display() if driver == "x11" else None)
        # Files, not pipes: nothing blocks however much the program writes.
        self._out, out = _capture()
        self._err, err = _capture()
        try:
            self.proc = subprocess.Popen(
                [self.path, *args], stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                env=program_env(driver, self.display, env), preexec_fn=_default_signals)
        finally:
            out.close()
            err.close()
        self._x = None
        self.window = None

    # -- lifetime -----------------------------------------------------------

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def kill(self):
        """Ends the program at once if it still runs; its output stays readable."""
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        if self._x is not None:
            self._x.close()
            self._x = None

    def close(self):
        """Ends the program if need be and lets go of everything."""
        self.kill()
        self._out.close()
        self._err.close()

    def running(self):
        return self.proc.poll() is None

    def output(self):
        """What the program has written so far: (stdout, stderr)."""
        return _read_all(self._out), _read_all(self._err)

    def describe(self):
        out, err = self.output()
        status = self.proc.poll()
        return "%s %s\n--- stdout ---\n%s--- stderr (tail) ---\n%s" % (
            self.name, "still running" if status is None else "exited with %s" % status,
            out, err[-2000:])

    def wait(self, timeout=EXIT_TIMEOUT):
        """Waits for the end; returns (exit status, stdout)."""
        try:
            self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            raise AssertionError("%s did not end within %.0f s\n%s"
                                 % (self.name, timeout, self.describe()))
        if self._x is not None:
            self._x.close()
            self._x = None
        return self.proc.returncode, self.output()[0]

    def signal(self, signum):
        self.proc.send_signal(signum)

    # -- the window ---------------------------------------------------------

    def x(self):
        if self._x is None:
            self._x = xdisplay.Display(self.display)
        return self._x

    def _candidates(self):
        root = self.x().screen().root
        pid_atom = self.x().intern_atom("_NET_WM_PID")
        stack = list(root.query_tree().children)
        while stack:
            w = stack.pop()
            try:
                stack.extend(w.query_tree().children)
                cls = w.get_wm_class()
                if not cls or self.name not in cls:
                    continue
                pid = w.get_full_property(pid_atom, X.AnyPropertyType)
                if pid is not None and pid.value[0] != self.proc.pid:
                    continue  # someone else's window of the same name
                if w.get_attributes().map_state != X.IsViewable:
                    continue
                yield w
            except xerror.XError:
                continue  # gone while we looked

    def wait_window(self, timeout=WINDOW_TIMEOUT):
        """Waits until the program's window (found by WM_CLASS) is mapped."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if not self.running():
                raise AssertionError("%s ended before showing a window\n%s"
                                     % (self.name, self.describe()))
            found = list(self._candidates())
            if found:
                self.window = found[0]
                return self.window
            time.sleep(0.05)
        raise AssertionError("no window of class %r within %.0f s\n%s"
                             % (self.name, timeout, self.describe()))

    def window_size(self):
        g = self.window.get_geometry()
        return g.width, g.height

    def screenshot(self):
        """The window's content as an RGB image."""
        g = self.window.get_geometry()
        raw = self.window.get_image(0, 0, g.width, g.height, X.ZPixmap, 0xFFFFFFFF)
        return _to_rgb(self.x(), raw, g.width, g.height)

    def screenshot_when(self, accept, what="the expected picture", timeout=WINDOW_TIMEOUT):
        """The first screenshot for which accept(image) holds: the window is
        mapped a moment before the first frame is on it."""
        deadline = time.monotonic() + timeout
        img = None
        while time.monotonic() < deadline:
            img = self.screenshot()
            if accept(img):
                return img
            time.sleep(0.05)
        raise AssertionError("the window never showed %s in %.0f s\n%s"
                             % (what, timeout, self.describe()))

    def close_window(self):
        """What a window manager sends when the user clicks the close button."""
        d = self.x()
        protocols = d.intern_atom("WM_PROTOCOLS")
        delete = d.intern_atom("WM_DELETE_WINDOW")
        ev = protocol.event.ClientMessage(window=self.window, client_type=protocols,
                                          data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        self.window.send_event(ev, event_mask=X.NoEventMask)
        d.sync()  # a bare flush can lose the event when the connection closes

    def press_keys(self, names):
        """Types keys (keysym names such as 'Escape', 'a') into the window the
        way a keyboard does: XTest events, after giving the window focus."""
        d = self.x()
        w, h = self.window_size()
        self.window.set_input_focus(X.RevertToParent, X.CurrentTime)
        self.window.warp_pointer(w // 2, h // 2)
        d.sync()
        for name in names:
            keysym = XK.string_to_keysym(name)
            code = d.keysym_to_keycode(keysym)
            if not keysym or not code:
                raise ValueError("no key for %r" % name)
            xtest.fake_input(d, X.KeyPress, code)
            xtest.fake_input(d, X.KeyRelease, code)
            d.sync()
            time.sleep(0.05)


def _to_rgb(d, raw, width, height):
    depth = raw.depth
    fmt = next(f for f in d.display.info.pixmap_formats if f.depth == depth)
    if depth != 24 or fmt.bits_per_pixel != 32:
        raise AssertionError("unexpected window format: depth %d, %d bits per pixel"
                             % (depth, fmt.bits_per_pixel))
    order = "BGRX" if d.display.info.image_byte_order == X.LSBFirst else "XRGB"
    return Image.frombytes("RGB", (width, height), raw.data, "raw", order)


def run(path, driver, env=None, display=None, timeout=EXIT_TIMEOUT):
    """Runs a program that is expected to end by itself; returns
    (exit status, stdout)."""
    with Program(path, driver=driver, env=env, display=display) as p:
        return p.wait(timeout)


def wait_exit(p, bound):
    """Seconds until the program ends, polled finely; None if it is still
    running after `bound` seconds."""
    start = time.monotonic()
    while p.running():
        if time.monotonic() - start > bound:
            return None
        time.sleep(0.002)
    return time.monotonic() - start


class FrameWatch:
    """Counts the frames a program puts on its window.

    The X DAMAGE extension reports when anything is drawn into the window
    after we last cleared its damage: each report is at least one frame
    presented. This sees a still program draw, which screenshots cannot.
    Windows inside it are watched too, in case an SDL draws into a child
    window; a frame may then count twice."""

    def __init__(self, p):
        self.d = xdisplay.Display(p.display)
        if not self.d.has_extension("DAMAGE"):
            raise AssertionError("the X server has no DAMAGE extension")
        self.d.damage_query_version()  # the protocol wants this before any other request
        windows = [self.d.create_resource_object("window", p.window.id)]
        for w in windows:
            windows.extend(w.query_tree().children)
        self.damages = [w.damage_create(damage.DamageReportNonEmpty) for w in windows]
        self.notify = self.d.extension_event.DamageNotify
        self.d.sync()

    def clear(self):
        for d in self.damages:
            self.d.damage_subtract(d)
        self.d.flush()

    def count(self, frames, timeout):
        """Waits for `frames` frames; returns how many came within `timeout`
        seconds, and the seconds until the first and the last of them."""
        seen, first, last = 0, None, None
        start = time.monotonic()
        deadline = start + timeout
        # Reports already on their way are of frames before this count. Once
        # one is dropped, the server sends no other until the damage is
        # cleared again, so clear it after dropping them.
        self.clear()
        self.d.sync()
        while self.d.pending_events():
            self.d.next_event()
        self.clear()
        while seen < frames:
            left = deadline - time.monotonic()
            if left <= 0:
                break
            if not self.d.pending_events():
                select.select([self.d], [], [], min(left, 0.1))
            while self.d.pending_events() and seen < frames:
                ev = self.d.next_event()
                if ev.type & 0x7F == self.notify:
                    seen += 1
                    last = time.monotonic() - start
                    if first is None:
                        first = last
                    self.clear()
        return seen, first, last

    def close(self):
        self.d.close()


def rss_kib(pid):
    """The resident size of a process, KiB; None once it is gone."""
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None
