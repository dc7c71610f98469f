#include "BRX_Logic_CardDelivery.h"

#include "BRX_Commu_PtpCodes.h"
#include "BRX_Debug.h"
#include "BRX_Logic_DownloadRetry.h"
#include "BRX_Logic_ExifHeader.h"
#include "BRX_Logic_FolderSettings.h"
#include "BRX_Logic_ObjectReader.h"
#include "BRX_Logic_TransferState.h"
#include "BRX_Logic_TransferThread.h"

#include <mutex>

namespace {

typedef BRX_Logic_TransferThread Transfer;
typedef BRX_Logic_ObjectReader ObjectReader;

} // namespace

BRX_Logic_CardDelivery::BRX_Logic_CardDelivery(const BRX_Logic_DownloadContext& context,
                                               const BRX_Logic_CardListing::Entry& file)
    : m_context(context)
    , m_file(file)
{
}

void BRX_Logic_CardDelivery::run()
{
    std::lock_guard<std::mutex> downloading(m_context.transfer->downloadMutex());
    debugPrint(kDebugTransfer, "%s - %s from the card", BRX_METHOD, qUtf8Printable(m_file.fileName));
    const QByteArray name = m_file.fileName.toUtf8();
    m_context.deliver(kFrameFromCard, name.constData(), unsigned(name.size()));
    const bool isJpg = m_file.format == BRX_Commu_PtpCodes::kFormatJpg;
    if (m_context.transfer->wantsQuickView())
        sendQuickView();
    m_context.deliver(isJpg ? Transfer::kFrameJpgStarts : Transfer::kFrameDngStarts, nullptr, 0);
    // Whole or not at all, as a tethered download.
    const QByteArray object = m_context.downloads->fetchObject(m_file.handle, m_file.size, m_file.fileName);
    if (object.isEmpty()) {
        m_context.deliver(Transfer::kFrameNoData, nullptr, 0);
        return;
    }
    m_context.deliver(isJpg ? Transfer::kFrameJpg : Transfer::kFrameDng, object.constData(), unsigned(object.size()));
    m_context.delivered(m_file.cameraName);
}

// A thumbnail that cannot be read leaves the quick view out, as for a
// tethered picture.
void BRX_Logic_CardDelivery::sendQuickView()
{
    ObjectReader reader(*m_context.access, m_file.handle);
    const ObjectReader::ThumbKind kind = ObjectReader::kSmallThumb;
    ObjectReader::Info info;
    if (!reader.readInfo(kind, info))
        return;
    const std::unique_ptr<QByteArray> thumbnail = reader.readThumbnail(kind, info.thumbSize);
    if (!thumbnail)
        return;
    const int orientation = readOrientation();
    // Without its ending, as a tethered picture's.
    const QByteArray name = BRX_Logic_FolderSettings::withoutPictureExtension(m_file.fileName).toLatin1();
    m_context.deliver(Transfer::kFrameFileName, name.constData(), unsigned(name.size()));
    m_context.deliver(Transfer::kFrameOrientation, &orientation, sizeof(orientation));
    m_context.deliver(Transfer::kFrameThumbnail, thumbnail->constData(), unsigned(thumbnail->size()));
}

// The Exif orientation code; 0 when the picture's head cannot be read.
int BRX_Logic_CardDelivery::readOrientation()
{
    ObjectReader reader(*m_context.access, m_file.handle);
    QByteArray head;
    if (!reader.readHead(head))
        return 0;
    const BRX_Logic_ExifHeader exif(head);
    return exif.hasOrientation() ? exif.orientationCode() : 0;
}
