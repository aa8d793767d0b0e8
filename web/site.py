# SPDX-License-Identifier: MIT
"""Writes the site of the programs: an index, and a page for each program beside its
script and module, with the page's script and style. The folder is complete as it is:
any static web server serves it.

    site.py SOURCE BUILD SITE PROGRAM...

SOURCE is the source tree, BUILD the folder the programs were built in, SITE the folder
to write. What the index says of a program comes from the comment at the top of its
program.h, so it says what the code says.
"""

import html
import os
import shutil
import string
import sys


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


def main():
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    source, build, site, programs = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
    here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "site")
    os.makedirs(site, exist_ok=True)
    with open(os.path.join(here, "program.html")) as f:
        page = string.Template(f.read())
    items = []
    for program in programs:
        words = html.escape(about(source, program))
        with open(os.path.join(site, program + ".html"), "w") as f:
            f.write(page.substitute(name=program, about=words))
        for suffix in (".js", ".wasm"):
            shutil.copyfile(os.path.join(build, program + suffix),
                            os.path.join(site, program + suffix))
        items.append('    <li><a href="%s.html">%s</a>: %s</li>' % (program, program, words))
    with open(os.path.join(here, "index.html")) as f:
        index = string.Template(f.read())
    with open(os.path.join(site, "index.html"), "w") as f:
        f.write(index.substitute(programs="\n".join(items)))
    for name in ("page.js", "style.css"):
        shutil.copyfile(os.path.join(here, name), os.path.join(site, name))


if __name__ == "__main__":
    main()
