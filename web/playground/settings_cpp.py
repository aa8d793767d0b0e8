# SPDX-License-Identifier: MIT
"""Writes the playground's settings, from include/settings.h as it is: the variable its
program.h declares, and the one function through which its page sets a field, so that
the page and the classes can never disagree on what the fields are.

    settings_cpp.py SETTINGS_H OUTPUT
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "scripts"))
import variants  # noqa: E402

# How the page's number becomes each type: it has checked the value already.
STORED = {"int": "static_cast<int>(value)", "float": "static_cast<float>(value)",
          "double": "value", "bool": "value != 0"}


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    cases = "".join("    case %d:\n        SETTINGS.%s = %s;\n        break;\n"
                    % (i, f.name, STORED[f.type])
                    for i, f in enumerate(variants.fields(sys.argv[1])))
    text = """// Written by web/playground/settings_cpp.py from include/settings.h.
#include "program.h"

#include <emscripten.h>

// The reference program's until the page sets them.
settings SETTINGS;

// Sets the field numbered `field`, counted in the order settings.h declares them, to
// `value`. Called by the page before the run starts and between two passes.
extern "C" EMSCRIPTEN_KEEPALIVE void web_set_setting(int field, double value) {
    switch (field) {
%s    default:
        break;
    }
}
""" % cases
    partial = sys.argv[2] + ".part"
    with open(partial, "w") as f:
        f.write(text)
    os.replace(partial, sys.argv[2])


if __name__ == "__main__":
    main()
