#include "BRX_Logic_ObjectReader.h"

#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Debug.h"

#include <new>

namespace {

const quint32 kFormatOffset = 4;
const quint32 kCompressedSizeOffset = 8;
const quint32 kThumbSizeOffset = 14;
const quint32 kSequenceNumberOffset = 48;
const quint32 kFileNameOffset = 52;
// No picture or thumbnail of these cameras comes near this size. The size is
// the camera's word: taken beyond this, a broken or hostile camera could make
// the host set aside gigabytes for every picture it announces.
const quint32 kMaxObjectSize = 256u << 20;

// A zero-filled buffer: pieces that are never read stay zero.
std::unique_ptr<QByteArray> zeroedBuffer(quint32 size, const char* what, quint32 ceiling = 0xFFFFFFFF)
{
    std::unique_ptr<QByteArray> buffer(new QByteArray);
    if (!BRX_Logic_ObjectReader::allocate(*buffer, size, what, ceiling))
        return nullptr;
    buffer->fill('\0');
    return buffer;
}

}  // namespace

BRX_Logic_ObjectReader::Info BRX_Logic_ObjectReader::decodeInfo(const QByteArray& dataset)
{
    BRX_Commu_ByteReader reader(dataset.constData(), quint32(dataset.size()));
    Info info;
    info.format = reader.readU16At(kFormatOffset);
    info.compressedSize = reader.readU32At(kCompressedSizeOffset);
    info.thumbSize = reader.readU32At(kThumbSizeOffset);
    info.sequenceNumber = reader.readU32At(kSequenceNumberOffset);
    reader.skip(kFileNameOffset);
    info.fileName = reader.readPtpString();
    return info;
}

bool BRX_Logic_ObjectReader::allocate(QByteArray& buffer, quint32 size, const char* what, quint32 ceiling)
{
    if (size <= qMin(ceiling, kMaxObjectSize)) {
        try {
            buffer = QByteArray(int(size), Qt::Uninitialized);
            return true;
        } catch (const std::bad_alloc&) {
        }
    }
    debugPrint(kDebugAlways, "%s - %s of %u bytes refused", BRX_METHOD, what, size);
    return false;
}

BRX_Logic_ObjectReader::BRX_Logic_ObjectReader(BRX_Commu_CameraAccess_Base& access, quint32 handle)
    : m_access(access)
    , m_handle(handle)
{
}

bool BRX_Logic_ObjectReader::readInfo(ThumbKind kind, Info& info)
{
    QByteArray dataset(int(kInfoSize), '\0');
    if (!m_access.getObjectInfo(dataset.data(), kInfoSize, kind, m_handle)) {
        debugPrint(kDebugAlways, "%s - getObjectInfo failed for objectHandle 0x%08X", BRX_METHOD, m_handle);
        return false;
    }
    info = decodeInfo(dataset);
    return true;
}

bool BRX_Logic_ObjectReader::readHead(QByteArray& head)
{
    head = QByteArray(int(kHeadSize), '\0');
    return m_access.getPartialObject(head.data(), kHeadSize, 0, m_handle);
}

std::unique_ptr<QByteArray> BRX_Logic_ObjectReader::readThumbnail(ThumbKind kind, quint32 size)
{
    if (size == 0)
        return nullptr;
    std::unique_ptr<QByteArray> buffer = zeroedBuffer(size, "thumbnail", kMaxThumbnailSize);
    if (buffer)
        m_access.getThumbnail(buffer->data(), size, kind, m_handle);
    return buffer;
}

std::unique_ptr<QByteArray> BRX_Logic_ObjectReader::readObject(quint32 size)
{
    std::unique_ptr<QByteArray> buffer = zeroedBuffer(size, "object");
    if (!buffer)
        return nullptr;
    if (size > kChunkSize)
        readInChunks(*buffer);
    else
        m_access.getObject(buffer->data(), size, m_handle);
    return buffer;
}

void BRX_Logic_ObjectReader::readInChunks(QByteArray& buffer)
{
    const quint32 size = quint32(buffer.size());
    for (quint32 offset = 0; offset < size;) {
        const quint32 chunk = qMin(kChunkSize, size - offset);
        if (!m_access.getPartialObject(buffer.data() + offset, chunk, offset, m_handle)) {
            debugPrint(kDebugAlways, "%s - getPartialObject failed at offset 0x%08X", BRX_METHOD, offset);
            return;
        }
        offset += chunk;
    }
}
