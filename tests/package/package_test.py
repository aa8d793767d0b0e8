"""Builds the Debian package, installs it on this machine, runs the installed reference
program in the test X server, closes its window, and removes the package again.

    /usr/bin/python3 package_test.py BUILD_DIR

Installing needs root (or sudo without a password); without either the test is skipped,
and so it is when a moblings package is already installed, which it must not replace.
"""

import glob
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import harness  # noqa: E402

SKIP = 77


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


class Package(unittest.TestCase):
    def test_install_run_and_remove(self):
        build = os.path.abspath(sys.argv[1])
        root = as_root()
        packages = os.path.join(build, "package-test")
        subprocess.run(["cpack", "-G", "DEB", "-B", packages], cwd=build, check=True,
                       capture_output=True)
        debs = glob.glob(os.path.join(packages, "moblings_*.deb"))
        self.assertEqual(len(debs), 1, debs)
        fields = subprocess.run(["dpkg-deb", "-f", debs[0], "Depends"], check=True,
                                capture_output=True, text=True).stdout
        self.assertIn("libsdl1.2-compat | libsdl1.2debian", fields)
        self.assertIn("libglu1-mesa", fields)

        subprocess.run(root + ["env", "DEBIAN_FRONTEND=noninteractive", "apt-get", "install",
                               "-y", "-q", "--no-install-recommends", "--no-upgrade", debs[0]],
                       check=True, capture_output=True)
        try:
            self.assertTrue(os.path.exists("/usr/share/applications/moblings_timed.desktop"))
            with harness.Program("/usr/bin/moblings_timed") as p:
                p.wait_window()
                p.close_window()
                self.assertEqual(p.wait(), (0, "moved: \n"))
        finally:
            subprocess.run(root + ["apt-get", "remove", "-y", "-q", "moblings"], check=True,
                           capture_output=True)
        self.assertFalse(installed("moblings"))
        self.assertFalse(os.path.exists("/usr/bin/moblings_timed"))


if __name__ == "__main__":
    if as_root() is None or installed("moblings"):
        print("skipped: needs root or sudo, and no moblings package installed already")
        sys.exit(SKIP)
    unittest.main(argv=sys.argv[:1])
