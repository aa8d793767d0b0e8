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
from lab.run import Program  # noqa: E402


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    program, picture = sys.argv[1], sys.argv[2]
    seconds = float(sys.argv[3]) if len(sys.argv) == 4 else 4.0
    with Program(program) as p:
        p.wait_window()
        time.sleep(seconds)
        p.screenshot().save(picture, optimize=True)
        p.close_window()
        status, output = p.wait()
    sys.stdout.write(output)
    print("[%s ended with status %d; its window after %g s is in %s]"
          % (os.path.basename(program), status, seconds, picture))
    return status


if __name__ == "__main__":
    sys.exit(main())
