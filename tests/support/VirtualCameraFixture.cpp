#include "VirtualCameraFixture.h"

#include "BRX_Commu_CameraAccess_Usb_PTP.h"
#include "BRX_Commu_VirtualCamera.h"

#include <QSignalSpy>

namespace {

typedef BRX_Commu_VirtualCameraDevice Device;

void appendU16(QByteArray& data, quint16 value)
{
    data.append(char(value & 0xFF));
    data.append(char(value >> 8));
}

void appendU32(QByteArray& data, quint32 value)
{
    appendU16(data, quint16(value & 0xFFFF));
    appendU16(data, quint16(value >> 16));
}

void appendArray(QByteArray& data, const QVector<quint16>& codes)
{
    appendU32(data, quint32(codes.size()));
    for (quint16 code : codes)
        appendU16(data, code);
}

void appendString(QByteArray& data, const QString& text)
{
    data.append(char(text.size() + 1));
    for (QChar c : text)
        appendU16(data, c.unicode());
    appendU16(data, 0);
}

}  // namespace

VirtualCameraFixture::VirtualCameraFixture(int productId)
    : m_device(BRX_Commu_VirtualCamera::create(productId))
    , m_releasesMutex(std::make_shared<std::mutex>())
    , m_releases(std::make_shared<QVector<QVector<quint32>>>())
    , m_failReleases(std::make_shared<bool>(false))
{
    if (!m_device)
        return;
    m_access = new BRX_Commu_CameraAccess_Usb_PTP(m_device->createScanner());
    QSignalSpy available(m_access, &BRX_Commu_CameraAccess_Base::signalDeviceAvailable);
    m_access->checkDeviceAvailable();
    if (available.count() != 1)
        return;
    const QList<QVariant> found = available.first();
    m_access->openConnection(found.at(1).toULongLong(), found.at(2).toInt(), found.at(3).toString());
}

VirtualCameraFixture::~VirtualCameraFixture()
{
    if (isOpen())
        m_access->closeConnection();
    delete m_access;
}

bool VirtualCameraFixture::isOpen() const
{
    return m_access && m_access->productId() != 0;
}

int VirtualCameraFixture::operationCount(quint16 opCode) const
{
    return m_device->operationLog().count(opCode);
}

void VirtualCameraFixture::recordReleases()
{
    auto mutex = m_releasesMutex;
    auto releases = m_releases;
    auto fail = m_failReleases;
    m_device->setCustomOperation(
        BRX_Commu_CameraAccess_Base::kOpRelease, Device::kNoData,
        [mutex, releases, fail](const QVector<quint32>& params, const QByteArray&, QByteArray*) {
            std::lock_guard<std::mutex> locker(*mutex);
            releases->append(params);
            return quint16(*fail ? Device::kResponseGeneralError : Device::kResponseOK);
        });
}

void VirtualCameraFixture::setFailReleases(bool fail)
{
    std::lock_guard<std::mutex> locker(*m_releasesMutex);
    *m_failReleases = fail;
}

QVector<QVector<quint32>> VirtualCameraFixture::releases() const
{
    std::lock_guard<std::mutex> locker(*m_releasesMutex);
    return *m_releases;
}

void VirtualCameraFixture::clearReleases()
{
    std::lock_guard<std::mutex> locker(*m_releasesMutex);
    m_releases->clear();
}

void VirtualCameraFixture::serveDeviceInfo(const QVector<quint16>& operations,
                                           const QVector<quint16>& events)
{
    const QByteArray dataset = deviceInfoDataset(operations, events);
    m_device->setCustomOperation(BRX_Commu_CameraAccess_Base::kOpGetDeviceInfo, Device::kDataIn,
                                 [dataset](const QVector<quint32>&, const QByteArray&, QByteArray* in) {
                                     *in = dataset;
                                     return quint16(Device::kResponseOK);
                                 });
}

void VirtualCameraFixture::serveSupportedStreams(quint32 word)
{
    QByteArray value;
    appendU32(value, word);
    m_device->setCustomOperation(
        BRX_Commu_CameraAccess_Base::kOpGetDevicePropValue, Device::kDataIn,
        [value](const QVector<quint32>& params, const QByteArray&, QByteArray* in) {
            if (params.value(0) != BRX_Commu_CameraAccess_Base::kDevicePropSupportedStreams)
                return quint16(Device::kResponseDevicePropNotSupported);
            *in = value;
            return quint16(Device::kResponseOK);
        });
}

void VirtualCameraFixture::serveSettingsBlock(const QByteArray& block)
{
    m_device->setCustomOperation(BRX_Commu_CameraAccess_Base::kOpGetCameraSettings, Device::kDataIn,
                                 [block](const QVector<quint32>&, const QByteArray&, QByteArray* in) {
                                     *in = block;
                                     return quint16(Device::kResponseOK);
                                 });
}

QByteArray VirtualCameraFixture::deviceInfoDataset(const QVector<quint16>& operations,
                                                   const QVector<quint16>& events)
{
    QByteArray data;
    appendU16(data, 100);
    appendU32(data, 0);
    appendU16(data, 0);
    data.append(char(0));
    appendU16(data, 0);
    appendArray(data, operations);
    appendArray(data, events);
    appendArray(data, {});
    appendArray(data, {});
    appendArray(data, {});
    for (const char* text : {"Test", "Virtual", "1.0", "1"})
        appendString(data, QString::fromLatin1(text));
    return data;
}
