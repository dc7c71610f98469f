// ObjectInfo decoding and what a download allocates from it: the dataset
// (a length-prefixed piece of the input) gives the sizes, the rest of the
// input answers the thumbnail, head and object reads.
#include "BRX_Logic_ExifHeader.h"
#include "BRX_Logic_ObjectReader.h"
#include "FakeCameraAccess.h"
#include "FuzzInput.h"
#include "FuzzSupport.h"

#include <algorithm>

namespace {
const quint32 kReadLimit = 16u << 20;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    typedef BRX_Commu_CameraAccess_Base Access;
    FuzzInput input(data, size);
    const auto kind = BRX_Logic_ObjectReader::ThumbKind(input.u8() % 3);
    FakeCameraAccess access(0x2041);
    access.script(Access::kOpGetObjectInfo, FakeCameraAccess::ok(input.chunk()));
    const QByteArray object = input.rest();
    for (quint16 opCode : {Access::kOpGetThumb, Access::kOpGetObject, Access::kOpGetPartialObject})
        access.script(opCode, FakeCameraAccess::ok(object));
    BRX_Logic_ObjectReader reader(access, 0x12345678);
    BRX_Logic_ObjectReader::Info info;
    if (!reader.readInfo(kind, info))
        return 0;
    QByteArray head;
    if (reader.readHead(head))
        BRX_Logic_ExifHeader exif(head);
    // The sizes as the camera states them meet the allocation limit; the
    // reads themselves are made at most 16 MiB large, since zero-filling a
    // picture of hundreds of megabytes proves nothing and takes seconds.
    QByteArray stated;
    BRX_Logic_ObjectReader::allocate(stated, info.thumbSize, "thumbnail");
    BRX_Logic_ObjectReader::allocate(stated, info.compressedSize, "object");
    const quint32 thumbSize = std::min(info.thumbSize, kReadLimit);
    const auto thumbnail = reader.readThumbnail(kind, thumbSize);
    fuzzCheck(!thumbnail || quint32(thumbnail->size()) == thumbSize, "thumbnail of another size");
    const quint32 objectSize = std::min(info.compressedSize, kReadLimit);
    const auto picture = reader.readObject(objectSize);
    fuzzCheck(!picture || quint32(picture->size()) == objectSize, "object of another size");
    return 0;
}
