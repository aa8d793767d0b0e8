# SPDX-License-Identifier: MIT
"""Builds the Debian package and checks it as Debian would: lintian -I --pedantic reports
nothing; it holds exactly what `cmake --install` installs; its changelog carries the
project's version; the icon's PNGs are its SVG drawn at their sizes. Then installs it on
this machine, opens the manual page by every program's name, runs the installed reference
program in the test X server, closes its window, and removes the package again.

    /usr/bin/python3 package_test.py BUILD_DIR [Package | Installed]

Installing (Installed) needs root (or sudo without a password) and no moblings package
installed already, which it must not replace; without them it is skipped, apart from the
checks of the package (Package), so that a skip never hides their verdict.
"""

import glob
import gzip
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
from lab import run as runs

SOURCE = os.path.normpath(os.path.join(HERE, "..", ".."))
PROGRAMS = ["moblings_timed", "moblings_herd", "moblings_fenced", "moblings_spin",
            "moblings_wander", "moblings_solo", "moblings"]
SKIP = 77


def run(*command, **kwargs):
    return subprocess.run(command, check=True, capture_output=True, text=True, **kwargs).stdout


def installed(package):
    status = subprocess.run(["dpkg-query", "-W", "-f=${Status}", package],
                            capture_output=True, text=True).stdout
    return "install ok installed" in status


def as_root():
    if os.geteuid() == 0:
        return []
    if subprocess.run(["sudo", "-n", "true"], capture_output=True).returncode == 0:
        return ["sudo", "-n"]
    return None


def tree(root):
    """Every file and link below root, by relative path, with a link's target."""
    found = {}
    for folder, _, files in os.walk(root):
        for name in files:
            path = os.path.join(folder, name)
            found[os.path.relpath(path, root)] = (
                os.readlink(path) if os.path.islink(path) else None)
    return found


class Built(unittest.TestCase):
    """The package, made afresh for each group: the two groups may run side by side."""

    @classmethod
    def setUpClass(cls):
        packages = tempfile.mkdtemp(prefix="package-test-", dir=BUILD)
        cls.addClassCleanup(shutil.rmtree, packages)
        run("cpack", "-G", "DEB", "-B", packages, cwd=BUILD)
        cls.debs = glob.glob(os.path.join(packages, "moblings_*.deb"))
        cls.unpacked = tempfile.mkdtemp()
        cls.addClassCleanup(shutil.rmtree, cls.unpacked)
        if len(cls.debs) == 1:
            cls.deb = cls.debs[0]
            run("dpkg-deb", "-x", cls.deb, cls.unpacked)

    def setUp(self):
        self.assertEqual(len(self.debs), 1, self.debs)


class Package(Built):
    def test_lintian_reports_nothing(self):
        # Only tag lines count: as root lintian also warns about running as root.
        check = subprocess.run(["lintian", "-I", "--pedantic", "--no-tag-display-limit",
                                self.deb], capture_output=True, text=True)
        tags = [line for line in check.stdout.splitlines() if re.match(r"[A-Z]: ", line)]
        self.assertEqual(tags, [])
        self.assertEqual(check.returncode, 0, check.stdout + check.stderr)

    def test_holds_what_cmake_install_installs(self):
        with tempfile.TemporaryDirectory() as prefix:
            run("cmake", "--install", BUILD, "--prefix", prefix)
            self.assertEqual(tree(os.path.join(self.unpacked, "usr")), tree(prefix))

    def test_versions_agree(self):
        with open(os.path.join(BUILD, "CMakeCache.txt")) as f:
            project = re.search(r"^CMAKE_PROJECT_VERSION:STATIC=(.*)$", f.read(), re.M)[1]
        changelog = os.path.join(self.unpacked, "usr/share/doc/moblings/changelog.gz")
        with tempfile.NamedTemporaryFile("wb") as plain:
            with gzip.open(changelog) as f:
                plain.write(f.read())
            plain.flush()
            logged = run("dpkg-parsechangelog", "-l", plain.name, "-S", "Version").strip()
        self.assertEqual((run("dpkg-deb", "-f", self.deb, "Version").strip(), logged),
                         (project, project))

    def test_icons_are_the_svg_drawn(self):
        icons = os.path.join(SOURCE, "data", "icons")
        pngs = glob.glob(os.path.join(icons, "moblings_*.png"))
        self.assertGreaterEqual(len(pngs), 8)
        with tempfile.TemporaryDirectory() as fresh:
            run(os.path.join(SOURCE, "scripts", "icons.sh"), fresh)
            for png in pngs:
                size = int(re.search(r"_(\d+)\.png$", png)[1])
                with Image.open(png) as kept, \
                        Image.open(os.path.join(fresh, os.path.basename(png))) as drawn:
                    self.assertEqual(kept.size, (size, size), png)
                    same = kept.convert("RGBA").tobytes() == drawn.convert("RGBA").tobytes()
                    self.assertTrue(same, f"{png} is not the SVG drawn: run scripts/icons.sh")

class Installed(Built):
    def test_install_run_and_remove(self):
        root = as_root()
        if root is None or installed("moblings"):
            self.skipTest("needs root or sudo, and no moblings package installed already")
        self.assertIn("libsdl1.2-compat | libsdl1.2debian",
                      run("dpkg-deb", "-f", self.deb, "Depends"))
        run(*root, "env", "DEBIAN_FRONTEND=noninteractive", "apt-get", "install", "-y", "-q",
            "--no-install-recommends", "--no-upgrade", self.deb)
        try:
            for program in PROGRAMS:
                page = run("man", "6", program, env=dict(os.environ, MANPAGER="cat",
                                                         MANWIDTH="80", LC_ALL="C.UTF-8"))
                self.assertRegex(page.split("\n", 1)[0], r"^MOBLINGS\(6\)", program)
            with runs.Program("/usr/games/moblings_timed") as p:
                p.wait_window()
                p.close_window()
                self.assertEqual(p.wait(), (0, "moved: \n"))
        finally:
            run(*root, "apt-get", "remove", "-y", "-q", "moblings")
        self.assertFalse(installed("moblings"))
        self.assertFalse(os.path.exists("/usr/games/moblings_timed"))


if __name__ == "__main__":
    BUILD = os.path.abspath(sys.argv[1])
    result = unittest.main(argv=sys.argv[:1] + sys.argv[2:], exit=False).result
    if not result.wasSuccessful():
        sys.exit(1)
    sys.exit(SKIP if result.skipped else 0)
