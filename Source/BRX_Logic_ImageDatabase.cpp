#include "BRX_Logic_ImageDatabase.h"

#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Debug.h"
#include "BRX_Logic_ImageEntry.h"

#include <QFile>
#include <QHash>
#include <QSet>

namespace {

const int kRebuildInterval = 3000;
const quint32 kAllStorages = 0xFFFFFFFF;
const quint32 kStorageIDsBufferSize = 4 + 16 * 4;
// Room for the count and this many handles; a camera that lists more is
// cut off here.
const quint32 kMaxObjectHandles = 65536;
const char* const kPlaceholderResource = ":/images/download.png";

// The library has no resources of its own; the host may provide the picture.
QByteArray readPlaceholder()
{
    QFile file(QString::fromLatin1(kPlaceholderResource));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

BRX_Logic_ImageDatabase::BRX_Logic_ImageDatabase(BRX_Commu_CameraAccess_Base* access, QObject* parent)
    : QObject(parent)
    , m_access(access)
{
    m_throttleTimer.setSingleShot(true);
    connect(&m_throttleTimer, &QTimer::timeout, this, &BRX_Logic_ImageDatabase::rebuildIfPending);
}

BRX_Logic_ImageDatabase::~BRX_Logic_ImageDatabase()
{
    m_throttleTimer.stop();
    qDeleteAll(m_entries);
}

void BRX_Logic_ImageDatabase::rebuild()
{
    if (m_throttleTimer.isActive()) {
        m_rebuildPending = true;
        return;
    }
    m_rebuildPending = false;
    emit signalChangeBegin();
    const QVector<quint32> handles = readPictureHandles(m_access);
    const QByteArray placeholder = readPlaceholder();
    QHash<quint32, BRX_Logic_ImageEntry*> previous;
    for (BRX_Logic_ImageEntry* entry : qAsConst(m_entries))
        previous.insert(entry->handle(), entry);
    QList<BRX_Logic_ImageEntry*> rebuilt;
    const int count = handles.size();
    for (int i = 0; i < count; ++i) {
        BRX_Logic_ImageEntry* entry = previous.take(handles.at(i));
        rebuilt.append(entry ? entry : new BRX_Logic_ImageEntry(handles.at(i), tr("index %1").arg(count - i),
                                                                 placeholder));
    }
    // What is left is gone from the camera.
    qDeleteAll(previous);
    m_entries = rebuilt;
    emit signalChangeEnd();
    m_throttleTimer.start(kRebuildInterval);
}

void BRX_Logic_ImageDatabase::rebuildIfPending()
{
    m_throttleTimer.stop();
    if (m_rebuildPending)
        rebuild();
}

bool BRX_Logic_ImageDatabase::isPictureHandle(quint32 handle)
{
    const quint32 type = handle & 0xF;
    return type == 1 || type == 2 || type == 6;
}

// The picture handles of all storages in the camera's order, each once (a
// camera that lists one twice must not get two entries for it); empty when
// the camera does not answer.
QVector<quint32> BRX_Logic_ImageDatabase::readPictureHandles(BRX_Commu_CameraAccess_Base* access)
{
    QByteArray storageIDs(int(kStorageIDsBufferSize), '\0');
    access->getStorageIDs(storageIDs.data(), kStorageIDsBufferSize);
    const quint32 size = 4 + kMaxObjectHandles * 4;
    QByteArray answer(int(size), '\0');
    QVector<quint32> handles;
    QSet<quint32> listed;
    if (!access->getObjectHandles(answer.data(), size, kAllStorages)) {
        debugPrint(kDebugAlways, "%s - getObjectHandles failed", BRX_METHOD);
        return handles;
    }
    BRX_Commu_ByteReader reader(answer.constData(), size);
    const quint32 count = qMin(reader.readU32(), kMaxObjectHandles);
    for (quint32 i = 0; i < count; ++i) {
        const quint32 handle = reader.readU32();
        if (isPictureHandle(handle) && !listed.contains(handle)) {
            listed.insert(handle);
            handles.append(handle);
        }
    }
    return handles;
}

BRX_Logic_ImageEntry* BRX_Logic_ImageDatabase::entry(int index) const
{
    return m_entries.value(index, nullptr);
}

int BRX_Logic_ImageDatabase::indexOfHandle(uint handle) const
{
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i)->handle() == handle)
            return i;
    }
    return -1;
}

uint BRX_Logic_ImageDatabase::handle(int index) const
{
    const BRX_Logic_ImageEntry* found = entry(index);
    return found ? found->handle() : 0;
}

int BRX_Logic_ImageDatabase::orientation(int index) const
{
    const BRX_Logic_ImageEntry* found = entry(index);
    return found ? found->orientation() : 0;
}

bool BRX_Logic_ImageDatabase::remove(uint handle)
{
    const int index = indexOfHandle(handle);
    if (index < 0)
        return false;
    emit signalChangeBegin();
    delete m_entries.takeAt(index);
    emit signalChangeEnd();
    return true;
}
