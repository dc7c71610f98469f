"""Tethered shooting in Python on the BRX SDK's C interface (ctypes, standard
library only).

    import brxsdk
    with brxsdk.Camera(virtual=0x2011) as cam:
        cam.set("Aperture", 5.6)
        print(cam.capture("pictures"))

The library is found through $BRXSDK_LIBRARY, else as libbrxsdk.so.1 on the
dynamic loader's path.
"""

from .camera import Camera, Error

__all__ = ["Camera", "Error"]
