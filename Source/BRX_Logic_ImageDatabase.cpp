#include "BRX_Logic_ImageDatabase.h"

#include "BRX_Logic_CardListing.h"
#include "BRX_Logic_ImageEntry.h"

#include <QFile>
#include <QHash>

namespace {

const int kRebuildInterval = 3000;
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
    QVector<quint32> handles;
    BRX_Logic_CardListing(*m_access).pictureHandles(&handles);
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
