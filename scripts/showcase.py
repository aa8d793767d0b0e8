# SPDX-License-Identifier: MIT
"""Runs one program in a private virtual X server for a few seconds, saves a screenshot
of its window, closes the window as a user would, and prints what the program wrote.
For machines without a display.

    /usr/bin/python3 scripts/showcase.py PROGRAM PICTURE.png [SECONDS]
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from lab.pictures import components  # noqa: E402
from lab.run import Program  # noqa: E402

# s: how long to wait for the creatures to be in view. On a busy machine one long frame
# carries a timed program's creatures out of view, and they take a moment to walk back.
IN_VIEW = 10.0


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    program, picture = sys.argv[1], sys.argv[2]
    seconds = float(sys.argv[3]) if len(sys.argv) == 4 else 4.0
    with Program(program) as p:
        p.wait_window()
        time.sleep(seconds)
        try:
            shot = p.screenshot_when(lambda img: bool(components(img)), "its creatures", IN_VIEW)
        except AssertionError:
            shot = p.screenshot()
        shot.save(picture, optimize=True)
        p.close_window()
        status, output = p.wait()
    sys.stdout.write(output)
    print("[%s ended with status %d; its window after %g s is in %s]"
          % (os.path.basename(program), status, seconds, picture))
    return status


if __name__ == "__main__":
    sys.exit(main())
