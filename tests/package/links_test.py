# SPDX-License-Identifier: MIT
"""Every link of the README and the manual leads somewhere: each relative link and picture
to a file of the tree, each anchor to a heading of the page it names (anchors as GitHub and
the site both make them, web/site.py's); and every path that the code's layout and the
conventions name is in the tree. Needs no build.

    /usr/bin/python3 links_test.py SOURCE_DIR
"""

import fnmatch
import glob
import os
import re
import sys
import tempfile
import unittest
import urllib.parse

from web import site

# The pages that describe the tree, so every path they name must be in it.
LAYOUT = ("CONVENTIONS.md", "docs/code.md")
# A path's stand-ins for any name: programs/<name>/, PROGRAM.html.
STAND_IN = re.compile(r"<[^>]+>|\b[A-Z][A-Z_]+\b")
FILE_NAME = re.compile(r"\b[\w-]+\.(?:h|c|cpp|py|js|sh|txt|json|supp)\b")


def documents(source):
    return sorted(os.path.relpath(p, source)
                  for p in glob.glob(os.path.join(source, "*.md"))
                  + glob.glob(os.path.join(source, "docs", "*.md")))


def broken_links(source, names):
    """Each link of the pages NAMES that leads nowhere, as 'PAGE: LINK (why)'."""
    pages = {}

    def page(path):
        if path not in pages:
            pages[path] = site.render(source, path)
        return pages[path]
    broken = []
    for name in names:
        for link in page(name).links:
            parts = urllib.parse.urlsplit(link)
            if parts.scheme or parts.netloc:
                continue
            target = site.local(name, link) or name
            anchor = urllib.parse.unquote(parts.fragment)
            if target.startswith(".."):
                why = "outside the tree"
            elif not os.path.exists(os.path.join(source, target)):
                why = "no such file"
            elif anchor and not target.endswith(".md"):
                why = "an anchor in a file without headings"
            elif anchor and anchor not in page(target).anchors:
                why = "no such heading in %s" % target
            else:
                continue
            broken.append("%s: %s (%s)" % (name, link, why))
    return broken


def missing_paths(source, names):
    """Each path the pages NAMES give in code that is not in the tree, as 'PAGE: PATH'.
    A path counts when it begins with a folder of the tree (not one of the builds' that
    .gitignore names). In a layout drawn as a plain block, each name indented below a
    folder and each file its description names must be in that folder too."""
    with open(os.path.join(source, ".gitignore")) as f:
        ignored = [line.strip().strip("/") for line in f if line.startswith("/")]
    folders = {n for n in os.listdir(source) if os.path.isdir(os.path.join(source, n))
               and not any(fnmatch.fnmatch(n, pattern) for pattern in ignored)}
    missing = []

    def need(name, path, pattern=None):
        if path.split("/")[0] in folders and not glob.glob(
                os.path.join(source, pattern or STAND_IN.sub("*", path)), recursive=True):
            missing.append("%s: %s" % (name, path))
    for name in names:
        with open(os.path.join(source, name)) as f:
            text = f.read()
        prose = re.sub(r"^```.*?^```", "", text, flags=re.M | re.S)
        for span in re.findall(r"`([^`\n]+)`", prose):
            need(name, span.split()[0])
        for language, block in re.findall(r"^```(\w*)\n(.*?)^```", text, re.M | re.S):
            folder = ""
            for line in filter(str.strip, block.splitlines()):
                if language:
                    need(name, line.split()[0])
                    continue
                entry = re.match(r"(\S+)\s*(.*)", line)
                inner = re.match(r"  (\w+)\s\s+(.*)", line)
                if entry:
                    need(name, entry[1])
                    folder = STAND_IN.sub("*", entry[1]) if entry[1].endswith("/") else ""
                elif inner and folder:
                    need(name, folder + inner[1], folder + inner[1] + ".*")
                description = (entry or inner or re.match(r"\s*()(.*)", line))[2]
                for file in FILE_NAME.findall(description) if folder else ():
                    need(name, folder + file, folder + "**/" + file)
    return missing


class Links(unittest.TestCase):
    def test_every_link_and_anchor_of_the_readme_and_the_manual_leads_somewhere(self):
        names = documents(SOURCE)
        self.assertIn("docs/code.md", names)
        self.assertEqual(broken_links(SOURCE, names), [])

    def test_the_layout_and_the_conventions_name_only_what_is_there(self):
        self.assertEqual(missing_paths(SOURCE, LAYOUT), [])

    def test_a_broken_link_anchor_and_path_are_each_named(self):
        with tempfile.TemporaryDirectory() as tree:
            os.makedirs(os.path.join(tree, "docs", "pictures"))
            os.makedirs(os.path.join(tree, "src"))
            files = {
                ".gitignore": "/build*/\n",
                "README.md": "# Top\n\n[a](docs/a.md#a-heading) [b](docs/a.md#nowhere)\n"
                             "[c](docs/gone.md) [d](#top) [e](https://example.org/#x)\n",
                "docs/a.md": "# A *heading*\n\n![p](pictures/p.png) [up](../README.md#top)\n"
                             "[out](../../x.md) `src/one.cpp`, `build/any`, `src/<name>.cpp`\n\n"
                             "```\nsrc/        one.cpp and two.cpp\n  one       a class\n"
                             "  three     another\n```\n",
                "docs/pictures/p.png": "",
                "src/one.cpp": "",
            }
            for path, text in files.items():
                with open(os.path.join(tree, path), "w") as f:
                    f.write(text)
            self.assertEqual(broken_links(tree, documents(tree)),
                             ["README.md: docs/a.md#nowhere (no such heading in docs/a.md)",
                              "README.md: docs/gone.md (no such file)",
                              "docs/a.md: ../../x.md (outside the tree)"])
            self.assertEqual(missing_paths(tree, ["docs/a.md"]),
                             ["docs/a.md: src/two.cpp", "docs/a.md: src/three"])


if __name__ == "__main__":
    SOURCE = os.path.abspath(sys.argv[1])
    unittest.main(argv=sys.argv[:1])
