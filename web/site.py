# SPDX-License-Identifier: MIT
"""Writes the site of the programs: an index, and a page for each program beside its
script and module, with the page's script and style. The folder is complete as it is:
any static web server serves it.

    site.py SOURCE BUILD SITE PROGRAM...

SOURCE is the source tree, BUILD the folder the programs were built in, SITE the folder
to write. What the index says of a program comes from the comment at the top of its
program.h, so it says what the code says, beside its trails picture from docs/pictures,
scaled down; each page shows its program.h and the shared sources as they are, with what
web/site/code-notes.txt says to look for in them.
"""

import html
import os
import shutil
import string
import sys

from PIL import Image

# The sources a program's page shows, beside its program.h: the settings it changes, and
# the classes whose rules those settings choose between.
SOURCES = (("settings", "include/settings.h"), ("main", "src/main.cpp"),
           ("movement", "src/movement.cpp"), ("moblery", "src/moblery.cpp"),
           ("mobling", "src/mobling.cpp"), ("renderer", "src/renderer.cpp"))
# The pages' libraries, from web/node_modules (npm ci, as package-lock.json pins them),
# copied into the site's lib/: each file of a package, under the name the pages load.
LIBRARIES = (("uplot/dist/uPlot.iife.min.js", "uPlot.iife.min.js"),
             ("uplot/dist/uPlot.min.css", "uPlot.min.css"),
             ("@highlightjs/cdn-assets/highlight.min.js", "highlight.min.js"),
             ("@highlightjs/cdn-assets/styles/github-dark.min.css", "github-dark.min.css"))
# The index's pictures: the trails picture without its caption, this wide.
PICTURE_WIDTH = 240


def about(source, program):
    """The sentence the program's settings begin with: what follows its name in the
    comment at the top of its program.h."""
    with open(os.path.join(source, "programs", program, "program.h")) as f:
        comment = []
        for line in f:
            if line.startswith("// SPDX"):
                continue
            if not line.startswith("//"):
                break
            comment.append(line[2:].strip())
    text = " ".join(comment)
    text = text.split(": ", 1)[1] if ": " in text else text
    return text[:1].upper() + text[1:]


def notes(here):
    """What to look for in each program's code: web/site/code-notes.txt, a paragraph a
    program, each beginning with the program's name and a colon."""
    with open(os.path.join(here, "code-notes.txt")) as f:
        paragraphs = [" ".join(p.split()) for p in f.read().split("\n\n") if p.strip()]
    return dict(p.split(": ", 1) for p in paragraphs if not p.startswith("#"))


def code(source, program, note):
    """The page's "How it works": the program's own settings and the shared sources, as
    they are in the repository, for the page to highlight."""
    files = [("program", "programs/%s/program.h" % program)] + list(SOURCES)
    parts = ["<p>%s</p>" % html.escape(note)]
    for n, (name, path) in enumerate(files):
        with open(os.path.join(source, path)) as f:
            text = f.read()
        parts.append('<details%s><summary>%s</summary><pre><code id="code-%s" '
                     'class="language-cpp">%s</code></pre></details>'
                     % (" open" if n == 0 else "", path, name, html.escape(text)))
    return "\n".join(parts)


def picture(source, program, site):
    """A small picture of the program's trails for the index; its path in the site."""
    os.makedirs(os.path.join(site, "pictures"), exist_ok=True)
    path = "pictures/%s.png" % program
    with Image.open(os.path.join(source, "docs", "pictures", program + "-trails.png")) as img:
        small = img.convert("RGB").crop((0, 0, 800, 600))
        small.thumbnail((PICTURE_WIDTH, PICTURE_WIDTH), Image.LANCZOS)
        small.save(os.path.join(site, path), optimize=True)
    return path


def main():
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    source, build, site, programs = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
    here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "site")
    os.makedirs(site, exist_ok=True)
    with open(os.path.join(here, "program.html")) as f:
        page = string.Template(f.read())
    items = []
    look_for = notes(here)
    for program in programs:
        words = html.escape(about(source, program))
        with open(os.path.join(site, program + ".html"), "w") as f:
            f.write(page.substitute(name=program, about=words,
                                    code=code(source, program, look_for[program])))
        for suffix in (".js", ".wasm"):
            shutil.copyfile(os.path.join(build, program + suffix),
                            os.path.join(site, program + suffix))
        items.append('    <li><a href="%s.html"><img src="%s" alt="trails of %s" width="%d">'
                     '%s</a>: %s</li>' % (program, picture(source, program, site), program,
                                          PICTURE_WIDTH, program, words))
    with open(os.path.join(here, "index.html")) as f:
        index = string.Template(f.read())
    with open(os.path.join(site, "index.html"), "w") as f:
        f.write(index.substitute(programs="\n".join(items)))
    modules = os.path.join(os.path.dirname(here), "node_modules")
    if not os.path.isdir(modules):
        sys.exit("site.py: no %s: run npm ci in %s" % (modules, os.path.dirname(here)))
    os.makedirs(os.path.join(site, "lib"), exist_ok=True)
    for path, name in LIBRARIES:
        shutil.copyfile(os.path.join(modules, path), os.path.join(site, "lib", name))
    for name in ("page.js", "keep.js", "code.js", "study.js", "style.css"):
        shutil.copyfile(os.path.join(here, name), os.path.join(site, name))


if __name__ == "__main__":
    main()
