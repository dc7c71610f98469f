// The Exif header reader over the first bytes of a picture.
#include "BRX_Logic_ExifHeader.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const BRX_Logic_ExifHeader exif(QByteArray(reinterpret_cast<const char*>(data), int(size)));
    const int degrees = exif.orientationDegrees();
    fuzzCheck(degrees == 0 || degrees == 90 || degrees == 180 || degrees == 270, "orientation out of range");
    fuzzCheck(exif.hasOrientation() || exif.orientationCode() == 0, "orientation without an entry");
    return 0;
}
