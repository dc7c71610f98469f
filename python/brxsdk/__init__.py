"""Tethered shooting in Python on the BRX SDK's C interface (ctypes, standard
library only).

    import brxsdk
    with brxsdk.Camera(virtual=0x2011) as cam:
        cam.set("Aperture", 5.6)
        print(cam.capture("pictures"))

The library is found through $BRXSDK_LIBRARY, else where the library's build
installed it beside this package (cmake --install), else as libbrxsdk.so.1 on
the dynamic loader's path (the Debian package, pip install ./python).

While a Camera is open, the library's log goes to the logger "brxsdk", each
line at level DEBUG: quiet unless the program shows it
(logging.basicConfig(level=logging.DEBUG)).
"""

import logging

from .camera import Camera, Error, list_cameras

logging.getLogger(__name__).addHandler(logging.NullHandler())

__version__ = "1.0.0"
__all__ = ["Camera", "Error", "list_cameras"]
