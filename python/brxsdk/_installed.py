"""Where the library lies, relative to this package, when both were installed
by the library's build (cmake --install writes this file anew). None: the
library is libbrxsdk.so.1 on the dynamic loader's path, as a system package
or pip install ./python has it."""

LIBRARY = None
