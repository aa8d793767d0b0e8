# SPDX-License-Identifier: MIT
"""Writes the site of the programs: an index, and a page for each program beside its
script and module, with the page's script and style, and the manual. The folder is
complete as it is: any static web server serves it.

    site.py SOURCE BUILD SITE PROGRAM...

SOURCE is the source tree, BUILD the folder the programs were built in, SITE the folder
to write. What the index says of a program comes from the comment at the top of its
program.h, so it says what the code says, beside its trails picture from docs/pictures,
scaled down; each page shows its program.h and the shared sources as they are, with what
web/site/code-notes.txt says to look for in them. The manual, README.md and the pages of
docs/, is written as HTML at the same places in the site (README.html, docs/NAME.html),
with the files it links to, so that its links and pictures work there as in the tree.
"""

import collections
import html
import json
import os
import re
import shutil
import string
import sys
import urllib.parse

import markdown
import markdown.extensions.toc
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
# What every page runs beside its program: keeping its pictures, studying its run, and
# highlighting its code.
SHARED = "import './keep.js';\nimport './study.js';\nimport './code.js';"
# The playground's builds: settings in a variable, places as floats or whole numbers; and
# the same classes for the experiments' workers, which draw nothing.
PLAYGROUNDS = ["moblings_playground", "moblings_playground_whole"]
WORKERS = [name + "_runs" for name in PLAYGROUNDS]
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
    they are in the repository, for the page to highlight. The playground (program None)
    writes its program.h as its settings stand."""
    header = "programs/%s/program.h" % program if program else \
        "programs/NAME/program.h, the settings as they now stand"
    files = [("program", header)] + list(SOURCES)
    parts = ["<p>%s</p>" % html.escape(note)]
    for n, (name, path) in enumerate(files):
        text = ""
        if n or program:
            with open(os.path.join(source, path)) as f:
                text = f.read()
        # A block scrolls within itself, so a keyboard must be able to reach it.
        parts.append('<details%s><summary>%s</summary><pre tabindex="0" aria-label="%s">'
                     '<code id="code-%s" class="language-cpp">%s</code></pre></details>'
                     % (" open" if n == 0 else "", path, html.escape(path), name,
                        html.escape(text)))
    return "\n".join(parts)


def playground_data(source, programs):
    """What the playground and the experiments know of the settings and the presets
    (web/playground/page.py), as JSON to stand in a page."""
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "playground"))
    import page as playground  # noqa: E402

    return json.dumps(playground.data(source, programs),
                      separators=(",", ":")).replace("</", "<\\/")


def write_playground(source, site, page, programs, note):
    """The playground: a program's page with a control for every setting, the fields and
    the presets read from the sources (web/playground/page.py) and written into it."""
    data = playground_data(source, programs)
    settings = ('<section id="playground">\n'
                '<h2>Settings, from the preset <span id="preset-name"></span></h2>\n'
                '<p class="controls"><button id="preset-reset" type="button">Back to the '
                'preset</button> <a id="restart" href="">Start again</a> '
                '<a id="ask-across-runs" href="experiment.html">Ask across runs</a></p>\n'
                '<p id="settings-error" role="alert"></p>\n'
                '<div id="settings"></div>\n'
                '<p>The same run on the desktop: <code id="desktop-command"></code></p>\n'
                '<script id="playground-data" type="application/json">%s</script>\n'
                '</section>' % data)
    with open(os.path.join(site, "playground.html"), "w") as f:
        f.write(page.substitute(
            title="playground",
            about="Any of the programs, with every setting a control: change one while the "
                  "run goes on, and share the link that replays it.",
            settings=settings, again="", code=code(source, None, note),
            boot="%s\nimport './playground.js';" % SHARED))


def picture(source, program, site):
    """A small picture of the program's trails for the index; its path in the site."""
    os.makedirs(os.path.join(site, "pictures"), exist_ok=True)
    path = "pictures/%s.png" % program
    with Image.open(os.path.join(source, "docs", "pictures", program + "-trails.png")) as img:
        small = img.convert("RGB").crop((0, 0, 800, 600))
        small.thumbnail((PICTURE_WIDTH, PICTURE_WIDTH), Image.LANCZOS)
        small.save(os.path.join(site, path), optimize=True)
    return path


def slugger():
    """Makes anchors as GitHub makes them from a heading's text, so that a link to one
    works on GitHub and in the site alike: lower case, punctuation dropped, each space a
    hyphen, and a heading's repeat numbered."""
    seen = collections.Counter()

    def slug(text, separator="-"):
        base = re.sub(r"[^\w\- ]", "", text.lower()).replace(" ", separator)
        seen[base] += 1
        return base if seen[base] == 1 else "%s-%d" % (base, seen[base] - 1)
    return slug


class _Links(markdown.treeprocessors.Treeprocessor):
    """Notes every link and picture a page names in the tree, as written, and points
    links to Markdown at the HTML the site makes of it."""

    def run(self, root):
        self.md.links = []
        for element, attribute in [(a, "href") for a in root.iter("a")] + \
                                  [(img, "src") for img in root.iter("img")]:
            target = element.get(attribute)
            if target is None:
                continue
            self.md.links.append(target)
            parts = urllib.parse.urlsplit(target)
            if not parts.scheme and not parts.netloc and parts.path.endswith(".md"):
                element.set(attribute, urllib.parse.urlunsplit(
                    parts._replace(path=parts.path[:-len(".md")] + ".html")))


Page = collections.namedtuple("Page", "title body links anchors")


def render(source, path):
    """A page of the manual, PATH relative to SOURCE: its first heading, its HTML, every
    link and picture as the Markdown names them, and the anchors of its headings."""
    md = markdown.Markdown(extensions=["tables", "fenced_code", "sane_lists",
                                       markdown.extensions.toc.TocExtension(
                                           slugify=slugger())])
    md.treeprocessors.register(_Links(md), "links", 4)
    with open(os.path.join(source, path), encoding="utf-8") as f:
        body = md.convert(f.read())
    titles = [t["name"] for t in md.toc_tokens]
    anchors = set()

    def gather(tokens):
        for t in tokens:
            anchors.add(t["id"])
            gather(t["children"])
    gather(md.toc_tokens)
    return Page(html.unescape(titles[0]) if titles else path, body, md.links, anchors)


def local(page, target):
    """Where a relative link of a page leads in the tree (relative to its root), or None
    for a link elsewhere or within the page."""
    parts = urllib.parse.urlsplit(target)
    if parts.scheme or parts.netloc or not parts.path:
        return None
    return os.path.normpath(os.path.join(os.path.dirname(page),
                                         urllib.parse.unquote(parts.path)))


# The manual's page around each page of Markdown; ROOT leads back to the site's root.
MANUAL = string.Template("""<!DOCTYPE html>
<!-- SPDX-License-Identifier: MIT -->
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>$title · moblings</title>
<link rel="stylesheet" href="${root}style.css">
<style>
.manual table { border-collapse: collapse; margin: 1em 0; }
.manual th, .manual td { border: 1px solid #333; padding: 0.2em 0.5em; vertical-align: top; }
.manual img { max-width: 100%; height: auto; }
.manual pre { overflow-x: auto; padding: 0.5em; background: #0d1117; border: 1px solid #333; }
.manual td, .manual th { overflow-wrap: anywhere; }
</style>
</head>
<body class="manual">
<nav aria-label="site"><a href="${root}index.html">The programs in your browser</a> ·
<a href="${root}README.html">The manual</a></nav>
<main>
$body
</main>
</body>
</html>
""")


def manual(source, site):
    """Writes README.md and every page of docs/, and all they link to in the tree, into
    the site. Returns the pages for the index, each a (path in the site, title): the
    README, then those it links to in the order it last names them (its table of the
    manual comes last), then any others of docs/."""
    pages = ["README.md"] + sorted(os.path.join("docs", name)
                                   for name in os.listdir(os.path.join(source, "docs"))
                                   if name.endswith(".md"))
    done, listed = {}, []
    while pages:
        path = pages.pop(0)
        if path in done:
            continue
        page = done[path] = render(source, path)
        root = "../" * path.count("/")
        out = os.path.join(site, path[:-len(".md")] + ".html")
        os.makedirs(os.path.dirname(out), exist_ok=True)
        with open(out, "w", encoding="utf-8") as f:
            # A block of code scrolls within itself: a keyboard must be able to reach it.
            f.write(MANUAL.substitute(title=html.escape(page.title), root=root,
                                      body=page.body.replace("<pre>", '<pre tabindex="0">')))
        for target in filter(None, (local(path, t) for t in page.links)):
            if target.startswith(".."):
                continue
            if target.endswith(".md"):
                pages.append(target)
                if path == "README.md":
                    listed.append(target)
            elif os.path.isfile(os.path.join(source, target)):
                os.makedirs(os.path.dirname(os.path.join(site, target)), exist_ok=True)
                shutil.copyfile(os.path.join(source, target), os.path.join(site, target))
    order = list(dict.fromkeys(reversed(listed)))[::-1]
    order += sorted(p for p in done if p not in order and p != "README.md")
    return [("README.html", "Start here: what the programs are, and the two commands")] + \
        [(p[:-len(".md")] + ".html", done[p].title) for p in order]


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
            f.write(page.substitute(
                title=program, about=words, settings="",
                again='<a id="again" href="%s.html">Start again</a> '
                      '<a id="change-settings" href="playground.html?preset=%s">'
                      'Change its settings</a>' % (program, program),
                code=code(source, program, look_for[program]),
                boot="import {run} from './page.js';\n%s\nrun('%s');" % (SHARED, program)))
        items.append('    <li><a href="%s.html"><img src="%s" alt="trails of %s" width="%d">'
                     '%s</a>: %s</li>' % (program, picture(source, program, site), program,
                                          PICTURE_WIDTH, program, words))
    for program in programs + PLAYGROUNDS + WORKERS:
        for suffix in (".js", ".wasm"):
            shutil.copyfile(os.path.join(build, program + suffix),
                            os.path.join(site, program + suffix))
    write_playground(source, site, page, programs, look_for["playground"])
    with open(os.path.join(here, "experiment.html")) as f:
        experiment = string.Template(f.read())
    with open(os.path.join(site, "experiment.html"), "w") as f:
        f.write(experiment.substitute(data=playground_data(source, programs)))
    with open(os.path.join(here, "index.html")) as f:
        index = string.Template(f.read())
    chapters = ['    <li><a href="%s">%s</a></li>' % (path, html.escape(title))
                for path, title in manual(source, site)]
    with open(os.path.join(site, "index.html"), "w") as f:
        f.write(index.substitute(programs="\n".join(items), manual="\n".join(chapters)))
    modules = os.path.join(os.path.dirname(here), "node_modules")
    if not os.path.isdir(modules):
        sys.exit("site.py: no %s: run npm ci in %s" % (modules, os.path.dirname(here)))
    os.makedirs(os.path.join(site, "lib"), exist_ok=True)
    for path, name in LIBRARIES:
        shutil.copyfile(os.path.join(modules, path), os.path.join(site, "lib", name))
    for name in ("page.js", "keep.js", "code.js", "study.js", "settings.js", "playground.js",
                 "measures.js", "experiment.js", "runs.js", "program.js", "language.js",
                 "style.css"):
        shutil.copyfile(os.path.join(here, name), os.path.join(site, name))


if __name__ == "__main__":
    main()
