# SPDX-License-Identifier: MIT
"""Makes the documents a Debian package must carry from the ones kept in the repository:
the changelog in Debian's form from CHANGELOG.md, the machine-readable copyright file from
LICENSE, and the manual page with the version filled in; compressed as Debian wants.

    python3 debian_docs.py VERSION MAINTAINER SOURCE_DIR OUT_DIR
"""

import datetime
import email.utils
import gzip
import os
import re
import sys
import textwrap


def gzipped(path, text):
    # No name and no time in the header, so that a rebuild gives the same bytes.
    with open(path, "wb") as out:
        out.write(gzip.compress(text.encode(), compresslevel=9, mtime=0))


def debian_changelog(markdown, version, maintainer):
    """Each '## [VERSION] - YYYY-MM-DD' section becomes one entry and each '- ' item one
    '  * ' item, wrapped anew because Debian's lines are indented further."""
    entries, items = [], None
    for line in markdown.splitlines():
        heading = re.fullmatch(r"## \[(.+)\] - (\d{4}-\d{2}-\d{2})", line)
        if heading:
            day = datetime.datetime.fromisoformat(heading[2]).replace(
                tzinfo=datetime.timezone.utc)
            items = []
            entries.append((heading[1], day, items))
        elif items is not None and line.startswith("- "):
            items.append(line[2:])
        elif items and line.startswith("  "):
            items[-1] += " " + line.strip()
    if not entries or entries[0][0] != version:
        sys.exit(f"CHANGELOG.md: the newest entry must be for version {version}, "
                 f"the one in CMakeLists.txt")
    # Debian wants every entry later than the one before it: releases of one day are
    # stamped an hour apart, in the order they came.
    for k in range(len(entries) - 2, -1, -1):
        v, day, items = entries[k]
        if day <= entries[k + 1][1]:
            entries[k] = (v, entries[k + 1][1] + datetime.timedelta(hours=1), items)
    entries = [(v, email.utils.format_datetime(day), items) for v, day, items in entries]
    return "\n".join(
        f"moblings ({v}) unstable; urgency=medium\n\n" +
        "\n".join(textwrap.fill(item, 79, initial_indent="  * ", subsequent_indent="    ")
                  for item in items) +
        f"\n\n -- {maintainer}  {date}\n" for v, date, items in entries)


def debian_copyright(licence, maintainer):
    """The copyright line of LICENSE and its licence text, in the machine-readable form
    (Debian's name for this licence is Expat)."""
    holder = re.search(r"^Copyright \(c\) (.+)$", licence, re.M)[1]
    text = licence[licence.index("Permission is hereby granted"):].strip()
    body = "\n".join(" " + line if line else " ." for line in text.splitlines())
    return textwrap.dedent(f"""\
        Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
        Upstream-Name: moblings
        Upstream-Contact: {maintainer}

        Files: *
        Copyright: {holder}
        Comment: The MIT licence, SPDX-License-Identifier: MIT.
        License: Expat
        """) + body + "\n"


def main():
    version, maintainer, source, out = sys.argv[1:5]

    def read(name):
        with open(os.path.join(source, name), encoding="utf-8") as f:
            return f.read()

    gzipped(os.path.join(out, "changelog.gz"),
            debian_changelog(read("CHANGELOG.md"), version, maintainer))
    with open(os.path.join(out, "copyright"), "w", encoding="utf-8") as f:
        f.write(debian_copyright(read("LICENSE"), maintainer))
    gzipped(os.path.join(out, "moblings.6.gz"),
            read("data/moblings.6.in").replace("@PROJECT_VERSION@", version))


if __name__ == "__main__":
    main()
