// ObjectInfo decoding and what a download allocates from it: the dataset
// (a length-prefixed piece of the input) gives the sizes, the rest of the
// input answers the thumbnail, head and object reads.
#include "BRX_Logic_ExifHeader.h"
#include "BRX_Logic_ObjectReader.h"
#include "FakeCameraAccess.h"
#include "FuzzInput.h"
#include "FuzzSupport.h"

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
    const auto thumbnail = reader.readThumbnail(kind, info.thumbSize);
    fuzzCheck(!thumbnail || quint32(thumbnail->size()) == info.thumbSize, "thumbnail of another size");
    const auto picture = reader.readObject(info.compressedSize);
    fuzzCheck(!picture || quint32(picture->size()) == info.compressedSize, "object of another size");
    return 0;
}
