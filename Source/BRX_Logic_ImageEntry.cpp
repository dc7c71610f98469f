#include "BRX_Logic_ImageEntry.h"

namespace {

const quint32 kHandleTypeMask = 0xF;
const quint32 kHandleTypeWithoutPreview = 2;

}  // namespace

BRX_Logic_ImageEntry::BRX_Logic_ImageEntry(quint32 handle, const QString& name, const QByteArray& placeholder)
    : m_thumbnail(new QByteArray(placeholder))
    , m_name(name)
    , m_handle(handle)
    , m_previewable((handle & kHandleTypeMask) != kHandleTypeWithoutPreview)
{
}

void BRX_Logic_ImageEntry::setThumbnail(const QByteArray& thumbnail)
{
    *m_thumbnail = thumbnail;
    m_placeholder = false;
}

void BRX_Logic_ImageEntry::setImage(ImageBuffer buffer, const QByteArray& data)
{
    m_images[buffer].reset(new QByteArray(data));
}
