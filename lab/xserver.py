# SPDX-License-Identifier: MIT
"""A private X server: an Xvfb for one process (a test, a benchmark, a tool), so that
runs side by side never cover each other's windows and need no display.

The screen is 800x600, so that a program's 800x600 window covers it wherever the SDL
implementation puts it. The server goes when the process that started it does, however
that process ends.
"""

import atexit
import ctypes
import os
import select
import signal
import subprocess
import tempfile
import time

READY_TIMEOUT = 30.0  # s: how long Xvfb may take to accept clients
PR_SET_PDEATHSIG = 1


def _die_with_parent():
    # In the child, before Xvfb starts: it gets SIGTERM when we end, even by SIGKILL.
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


class XServer:
    def __init__(self):
        read, write = os.pipe()
        self.log = tempfile.TemporaryFile(prefix="xvfb-log-")
        try:
            # -noreset: by default the server resets whenever its last client leaves, and
            # drops whoever connects meanwhile, which is when the next program starts. Its
            # own session, with none of our descriptors but the one it answers on: a
            # test runner waits for a test's output to close.
            self.proc = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write), "-screen", "0", "800x600x24",
                 "-nolisten", "tcp", "-noreset"],
                stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log, pass_fds=(write,),
                start_new_session=True, preexec_fn=_die_with_parent)
        except FileNotFoundError:
            raise RuntimeError("Xvfb not found: install Debian's xvfb and xauth") from None
        finally:
            os.close(write)
        try:
            self.display = ":" + self._number(read)
        except RuntimeError:
            self.stop()
            raise
        finally:
            os.close(read)

    def _number(self, fd):
        """The display number Xvfb writes once it accepts clients."""
        text, deadline = b"", time.monotonic() + READY_TIMEOUT
        while not text.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([fd], [], [], left)[0]:
                raise RuntimeError("Xvfb not ready after %.0f s: %s" % (READY_TIMEOUT, self._log()))
            chunk = os.read(fd, 64)
            if not chunk:
                raise RuntimeError("Xvfb ended before it was ready: " + self._log())
            text += chunk
        return text.decode().strip()

    def _log(self):
        self.log.seek(0)
        return self.log.read().decode(errors="replace").strip()[-2000:]

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.log.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
        return False


_own = None


def private_server():
    """This process's own X server, started on first use and stopped when it ends."""
    global _own
    if _own is None:
        _own = XServer()
        atexit.register(_own.stop)
    return _own


def private_display():
    """The DISPLAY of this process's own X server, e.g. ':3'."""
    return private_server().display
