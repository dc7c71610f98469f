#!/usr/bin/env python3
"""The interpreter's site directory under an install prefix, relative to it:
the first of its site directories that lies in PREFIX/lib ("lib/python3/
dist-packages" for /usr on Debian, "lib/python3.11/dist-packages" for
/usr/local), else the standard layout's.

    python_site_dir.py PREFIX
"""

import os
import site
import sys
import sysconfig


def site_dir(prefix):
    prefix = os.path.normpath(prefix)
    for directory in site.getsitepackages() + sys.path:
        relative = os.path.relpath(os.path.normpath(directory), prefix)
        if relative.startswith("lib" + os.sep) and relative.endswith("-packages"):
            return relative
    standard = sysconfig.get_path("purelib", "posix_prefix", {"base": prefix, "platbase": prefix})
    return os.path.relpath(standard, prefix)


if __name__ == "__main__":
    print(site_dir(sys.argv[1]))
