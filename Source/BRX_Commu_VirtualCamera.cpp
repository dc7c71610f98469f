#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Commu_VirtualCameraPipe.h"
#include "BRX_Commu_VirtualCameraProfile.h"
#include "BRX_Commu_VirtualCameraScanner.h"
#include "BRX_Debug.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

std::mutex g_selectionMutex;
std::shared_ptr<BRX_Commu_VirtualCamera> g_selected;

// A settings file is a few kilobytes; anything beyond this is not one.
const qint64 kMaxSettingsFileBytes = 64 * 1024;

} // namespace

std::shared_ptr<BRX_Commu_VirtualCamera> BRX_Commu_VirtualCamera::create(int productId, quint32 packetSize,
                                                                         const QString& serialNumber)
{
    if (!BRX_Commu_VirtualCameraProfile::isSupported(productId) || packetSize == 0)
        return nullptr;
    return std::make_shared<BRX_Commu_VirtualCamera>(productId, packetSize, serialNumber);
}

BRX_Commu_VirtualCamera::BRX_Commu_VirtualCamera(int productId, quint32 packetSize, const QString& serialNumber)
    : m_productId(productId)
    , m_device(productId, serialNumber)
    , m_link(&m_device, packetSize)
    , m_writer([this](const BRX_Commu_VirtualCameraStore::Object& file, bool last) { storeWritten(file, last); })
{
    m_started.start();
    m_link.setClock([this] { return clockMs(); });
    m_device.setCardWriter([this](const BRX_Commu_VirtualCameraStore::Order& order) { m_writer.write(order); });
}

bool BRX_Commu_VirtualCamera::select(int productId, const QString& serialNumber)
{
    std::shared_ptr<BRX_Commu_VirtualCamera> camera = create(productId, kDefaultPacketSize, serialNumber);
    if (productId != 0 && !camera)
        return false;
    std::lock_guard<std::mutex> locker(g_selectionMutex);
    g_selected = camera;
    debugPrint(kDebugSimulation, "%s - ProductId = 0x%X", BRX_METHOD, productId);
    return true;
}

std::shared_ptr<BRX_Commu_VirtualCamera> BRX_Commu_VirtualCamera::selected()
{
    std::lock_guard<std::mutex> locker(g_selectionMutex);
    return g_selected;
}

QString BRX_Commu_VirtualCamera::deviceId() const
{
    return QStringLiteral("virtual:0x%1").arg(m_productId, 4, 16, QChar('0'));
}

bool BRX_Commu_VirtualCamera::isPlugged() const
{
    std::unique_lock<std::mutex> locker(m_mutex);
    return m_plugged;
}

void BRX_Commu_VirtualCamera::setPlugged(bool plugged)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    if (plugged == m_plugged)
        return;
    if (plugged) {
        m_plugged = true;
        m_device.newConnection();
    } else {
        unplugLocked();
    }
}

void BRX_Commu_VirtualCamera::unplugLocked()
{
    m_plugged = false;
    m_link.resetDevice();
    endConnectionLocked();
}

// Whatever still serves the old connection sees a generation that is not
// current and gets no more events.
void BRX_Commu_VirtualCamera::endConnectionLocked()
{
    ++m_generation;
    m_device.powerCycle();
    m_events.clear();
    m_eventQueued.notify_all();
}

std::shared_ptr<BRX_Commu_UsbScanner> BRX_Commu_VirtualCamera::createScanner()
{
    return std::make_shared<BRX_Commu_VirtualCameraScanner>(shared_from_this());
}

std::shared_ptr<BRX_Commu_UsbPipe> BRX_Commu_VirtualCamera::open()
{
    std::unique_lock<std::mutex> locker(m_mutex);
    if (!m_plugged || clockMs() < m_heldUntil)
        return nullptr;
    return std::make_shared<BRX_Commu_VirtualCameraPipe>(shared_from_this(), m_generation);
}

void BRX_Commu_VirtualCamera::holdElsewhere(int ms)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_heldUntil = clockMs() + ms;
}

bool BRX_Commu_VirtualCamera::isHeldElsewhere() const
{
    std::unique_lock<std::mutex> locker(m_mutex);
    return clockMs() < m_heldUntil;
}

void BRX_Commu_VirtualCamera::raiseEvent(quint16 code, const QVector<quint32>& params)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_device.raiseEvent(code, params);
    collectEventsLocked();
}

bool BRX_Commu_VirtualCamera::changeProperty(quint16 code, qint64 value)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    const bool changed = m_device.changeProperty(code, value);
    collectEventsLocked();
    return changed;
}

void BRX_Commu_VirtualCamera::injectBusy(int count)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_device.injectBusy(count);
}

void BRX_Commu_VirtualCamera::failOperation(quint16 opCode, quint16 responseCode, int times)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_device.failOperation(opCode, responseCode, times);
}

void BRX_Commu_VirtualCamera::failOperationOn(quint16 opCode, quint32 param, quint16 responseCode, int times)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_device.failOperationOn(opCode, param, responseCode, times);
}

void BRX_Commu_VirtualCamera::dropNextShot()
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_device.dropNextShot();
}

void BRX_Commu_VirtualCamera::cutNextData(quint16 opCode, quint32 bytes)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_device.cutNextData(opCode, bytes);
}

void BRX_Commu_VirtualCamera::promiseMorePictures(int extra)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_device.store().promiseMorePictures(extra);
}

void BRX_Commu_VirtualCamera::truncateNextDataPhase(quint32 bytes)
{
    injectFault({BRX_Commu_VirtualCameraLink::Fault::kShortData, 0, bytes, 0});
}

void BRX_Commu_VirtualCamera::unplugOnOperation(quint16 opCode)
{
    injectFault({BRX_Commu_VirtualCameraLink::Fault::kVanish, opCode, 0, 0});
}

void BRX_Commu_VirtualCamera::misnumberNextResponse()
{
    injectFault({BRX_Commu_VirtualCameraLink::Fault::kMisnumbered, 0, 0, 0});
}

void BRX_Commu_VirtualCamera::stallNextBulkIn()
{
    injectFault({BRX_Commu_VirtualCameraLink::Fault::kStallBulkIn, 0, 0, 0});
}

void BRX_Commu_VirtualCamera::injectFault(const BRX_Commu_VirtualCameraLink::Fault& fault)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_link.injectFault(fault);
}

void BRX_Commu_VirtualCamera::setQuirks(int quirks)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_link.setQuirks(quirks);
}

void BRX_Commu_VirtualCamera::setCustomOperation(quint16 opCode, BRX_Commu_VirtualCameraDevice::Direction direction,
                                                 const BRX_Commu_VirtualCameraDevice::Handler& handler)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_device.setCustomOperation(opCode, direction, handler);
}

void BRX_Commu_VirtualCamera::setOperationObserver(const BRX_Commu_VirtualCameraDevice::Observer& observer)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_device.setOperationObserver(observer);
}

QVector<quint32> BRX_Commu_VirtualCamera::objectHandles() const
{
    std::unique_lock<std::mutex> locker(m_mutex);
    return m_device.store().handles();
}

QByteArray BRX_Commu_VirtualCamera::objectData(quint32 handle) const
{
    std::unique_lock<std::mutex> locker(m_mutex);
    const BRX_Commu_VirtualCameraStore::Object* object = m_device.store().find(handle);
    return object ? object->data : QByteArray();
}

QString BRX_Commu_VirtualCamera::objectFileName(quint32 handle) const
{
    std::unique_lock<std::mutex> locker(m_mutex);
    const BRX_Commu_VirtualCameraStore::Object* object = m_device.store().find(handle);
    return object ? object->fileName : QString();
}

int BRX_Commu_VirtualCamera::pendingTransfers() const
{
    std::unique_lock<std::mutex> locker(m_mutex);
    return m_device.store().pendingCount();
}

// The picture records the camera's time of the press.
void BRX_Commu_VirtualCamera::takePicture()
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_device.advanceTo(clockMs());
    m_device.takePicture();
    announceLocked();
}

int BRX_Commu_VirtualCamera::picturesInProgress() const
{
    return m_writer.picturesInProgress();
}

void BRX_Commu_VirtualCamera::pauseCard(bool paused)
{
    m_writer.setPaused(paused);
}

void BRX_Commu_VirtualCamera::setCardSpeed(int megabytesPerSecond)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_device.store().setCardSpeed(megabytesPerSecond);
}

void BRX_Commu_VirtualCamera::reusePictureFiles(bool reusing)
{
    m_writer.setReusingFiles(reusing);
}

std::chrono::steady_clock::time_point BRX_Commu_VirtualCamera::lastPictureAnnounced() const
{
    std::unique_lock<std::mutex> locker(m_mutex);
    return m_lastPictureAnnounced;
}

void BRX_Commu_VirtualCamera::storeWritten(const BRX_Commu_VirtualCameraStore::Object& file, bool last)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    // Taken before the events leave, so that none of the host's time is missed.
    if (last)
        m_lastPictureAnnounced = std::chrono::steady_clock::now();
    m_device.fileWritten(file, last);
    announceLocked();
}

void BRX_Commu_VirtualCamera::fillCard(int count)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_device.fillCard(count);
}

void BRX_Commu_VirtualCamera::formatCard()
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_device.store().format();
}

void BRX_Commu_VirtualCamera::setCardCapacity(quint64 bytes)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_device.store().setCapacity(bytes);
}

void BRX_Commu_VirtualCamera::withdrawOperation(quint16 opCode)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_device.withdrawOperation(opCode);
}

void BRX_Commu_VirtualCamera::deleteObjectOnCamera(quint32 handle)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_device.deleteObjectOnCamera(handle);
    announceLocked();
}

void BRX_Commu_VirtualCamera::setPictureSizes(quint32 dngBytes, quint32 jpgBytes)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_device.store().setPictureSizes(dngBytes, jpgBytes);
}

void BRX_Commu_VirtualCamera::setPictureOrientation(int exifCode)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_device.store().setPictureOrientation(exifCode);
}

void BRX_Commu_VirtualCamera::setPictureWidth(int width)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_device.store().setPictureWidth(width);
}

void BRX_Commu_VirtualCamera::setThumbnailSize(int kind, quint32 bytes)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_device.store().setThumbnailSize(kind, bytes);
}

void BRX_Commu_VirtualCamera::setPicturesKept(int count)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_device.store().setPicturesKept(count);
}

void BRX_Commu_VirtualCamera::useManualClock()
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_manualNowMs = m_started.elapsed();
}

void BRX_Commu_VirtualCamera::advanceClock(int ms)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    if (m_manualNowMs >= 0)
        m_manualNowMs += qMax(0, ms);
    advanceLocked();
}

int BRX_Commu_VirtualCamera::seriesInterval() const
{
    std::unique_lock<std::mutex> locker(m_mutex);
    return m_device.seriesInterval();
}

bool BRX_Commu_VirtualCamera::isSeriesRunning() const
{
    std::unique_lock<std::mutex> locker(m_mutex);
    return m_device.isSeriesRunning();
}

qint64 BRX_Commu_VirtualCamera::clockMs() const
{
    return (m_manualNowMs >= 0 ? m_manualNowMs : m_started.elapsed()) + m_skippedMs;
}

// The pictures a running series took by now are stored and announced.
void BRX_Commu_VirtualCamera::advanceLocked()
{
    m_device.advanceTo(clockMs());
    announceLocked();
}

void BRX_Commu_VirtualCamera::setLiveViewFrameSize(quint32 bytes)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_device.setLiveViewFrameSize(bytes);
}

QVector<quint16> BRX_Commu_VirtualCamera::operationLog() const
{
    std::unique_lock<std::mutex> locker(m_mutex);
    return m_device.operationLog();
}

int BRX_Commu_VirtualCamera::protocolErrors() const
{
    std::unique_lock<std::mutex> locker(m_mutex);
    return m_link.protocolErrors();
}

bool BRX_Commu_VirtualCamera::isSessionOpen() const
{
    std::unique_lock<std::mutex> locker(m_mutex);
    return m_device.isSessionOpen();
}

bool BRX_Commu_VirtualCamera::isVendorSessionOpen() const
{
    std::unique_lock<std::mutex> locker(m_mutex);
    return m_device.isVendorSessionOpen();
}

QByteArray BRX_Commu_VirtualCamera::settingsBlock() const
{
    std::unique_lock<std::mutex> locker(m_mutex);
    return m_device.settingsBlock();
}

qint64 BRX_Commu_VirtualCamera::propertyValue(quint16 code) const
{
    std::unique_lock<std::mutex> locker(m_mutex);
    return m_device.propertyValue(code);
}

int BRX_Commu_VirtualCamera::recoveryCount() const
{
    std::unique_lock<std::mutex> locker(m_mutex);
    return m_recoveries;
}

BRX_Commu_UsbPipe::Status BRX_Commu_VirtualCamera::bulkOut(int generation, const quint8* data, quint32 size,
                                                           quint32* sent)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    *sent = 0;
    if (!isCurrent(generation))
        return BRX_Commu_UsbPipe::kNoDevice;
    m_device.advanceTo(clockMs());
    const BRX_Commu_UsbPipe::Status status = m_link.receive(data, size, sent);
    if (m_link.takeUnplugRequest()) {
        unplugLocked();
        return BRX_Commu_UsbPipe::kNoDevice;
    }
    collectEventsLocked();
    return status;
}

BRX_Commu_UsbPipe::Status BRX_Commu_VirtualCamera::bulkIn(int generation, quint8* data, quint32 capacity,
                                                          quint32* received, int timeoutMs)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    *received = 0;
    if (!isCurrent(generation))
        return BRX_Commu_UsbPipe::kNoDevice;
    const BRX_Commu_UsbPipe::Status status = waitForBulkIn(data, capacity, received, timeoutMs);
    if (m_link.takeUnplugRequest()) {
        unplugLocked();
        return BRX_Commu_UsbPipe::kNoDevice;
    }
    return status;
}

// Waiting costs no real time: the clock skips ahead to when the next held
// bytes are due, or to the end of the timeout.
BRX_Commu_UsbPipe::Status BRX_Commu_VirtualCamera::waitForBulkIn(quint8* data, quint32 capacity, quint32* received,
                                                                 int timeoutMs)
{
    const qint64 deadline = clockMs() + timeoutMs;
    for (;;) {
        quint32 chunk = 0;
        const BRX_Commu_UsbPipe::Status status = m_link.send(data + *received, capacity - *received, &chunk);
        *received += chunk;
        const qint64 due = m_link.msUntilDue();
        if (status != BRX_Commu_UsbPipe::kTimeout || due < 0 || clockMs() + due > deadline) {
            if (status == BRX_Commu_UsbPipe::kTimeout)
                m_skippedMs += std::max<qint64>(0, deadline - clockMs());
            return status;
        }
        m_skippedMs += due;
    }
}

BRX_Commu_UsbPipe::Status BRX_Commu_VirtualCamera::interruptIn(int generation, quint8* data, quint32 capacity,
                                                               quint32* received, int timeoutMs)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    *received = 0;
    if (m_plugged)
        advanceLocked();
    m_eventQueued.wait_for(locker, std::chrono::milliseconds(timeoutMs),
                           [&] { return !isCurrent(generation) || !m_events.isEmpty(); });
    if (m_plugged)
        advanceLocked();
    if (!isCurrent(generation))
        return BRX_Commu_UsbPipe::kNoDevice;
    if (m_events.isEmpty())
        return BRX_Commu_UsbPipe::kTimeout;
    if (quint32(m_events.first().size()) > capacity)
        return BRX_Commu_UsbPipe::kOverflow;
    const QByteArray event = m_events.takeFirst();
    std::memcpy(data, event.constData(), size_t(event.size()));
    *received = quint32(event.size());
    return BRX_Commu_UsbPipe::kOk;
}

BRX_Commu_UsbPipe::Status BRX_Commu_VirtualCamera::cancelTransaction(int generation, quint32 transactionId)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    if (!isCurrent(generation))
        return BRX_Commu_UsbPipe::kNoDevice;
    m_link.cancel(transactionId);
    return BRX_Commu_UsbPipe::kOk;
}

BRX_Commu_UsbPipe::Status BRX_Commu_VirtualCamera::getDeviceStatus(int generation,
                                                                   BRX_Commu_UsbPipe::DeviceStatus* status)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    if (!isCurrent(generation))
        return BRX_Commu_UsbPipe::kNoDevice;
    *status = m_link.deviceStatus();
    return BRX_Commu_UsbPipe::kOk;
}

BRX_Commu_UsbPipe::Status BRX_Commu_VirtualCamera::clearHalt(int generation, BRX_Commu_UsbPipe::Endpoint endpoint)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    if (!isCurrent(generation))
        return BRX_Commu_UsbPipe::kNoDevice;
    ++m_recoveries;
    m_link.clearHalt(endpoint);
    return BRX_Commu_UsbPipe::kOk;
}

BRX_Commu_UsbPipe::Status BRX_Commu_VirtualCamera::resetDevice(int generation)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    if (!isCurrent(generation))
        return BRX_Commu_UsbPipe::kNoDevice;
    ++m_recoveries;
    m_link.resetDevice();
    return BRX_Commu_UsbPipe::kOk;
}

int BRX_Commu_VirtualCamera::currentGeneration() const
{
    std::unique_lock<std::mutex> locker(m_mutex);
    return m_plugged ? m_generation : -1;
}

bool BRX_Commu_VirtualCamera::expectsDataOut(quint16 opCode) const
{
    std::unique_lock<std::mutex> locker(m_mutex);
    return m_device.expectsDataOut(opCode);
}

bool BRX_Commu_VirtualCamera::execute(int generation, quint16 opCode, quint32 transactionId,
                                      const QVector<quint32>& params, const QByteArray& dataOut,
                                      BRX_Commu_VirtualCameraDevice::Reply* reply)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    if (!isCurrent(generation))
        return false;
    m_device.advanceTo(clockMs());
    *reply = m_device.handle(opCode, transactionId, params, dataOut);
    collectEventsLocked();
    return true;
}

void BRX_Commu_VirtualCamera::cancelOperation(int generation, quint32 transactionId)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    if (isCurrent(generation))
        m_device.cancelTransaction(transactionId);
}

void BRX_Commu_VirtualCamera::endSessions(int generation)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    if (isCurrent(generation))
        endConnectionLocked();
}

// Every change of a setting is reported, so the reports say when to write
// the settings down.
void BRX_Commu_VirtualCamera::collectEventsLocked()
{
    const QVector<BRX_Commu_PtpContainer> events = m_device.takeEvents();
    bool settingsChanged = false;
    for (const BRX_Commu_PtpContainer& event : events) {
        m_events.append(event.encode());
        settingsChanged = settingsChanged || event.code == BRX_Commu_PtpCodes::kVQDevicePropChanged
                          || event.code == BRX_Commu_PtpCodes::kVQCameraSettingsChanged;
    }
    if (!events.isEmpty())
        m_eventQueued.notify_all();
    if (settingsChanged)
        saveSettingsLocked();
}

void BRX_Commu_VirtualCamera::keepSettingsIn(const QString& file, bool afresh)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_settingsFile = file;
    QFile saved(file);
    if (file.isEmpty() || afresh || !saved.open(QIODevice::ReadOnly))
        return;
    m_device.restoreSettings(saved.read(kMaxSettingsFileBytes));
    debugPrint(kDebugSimulation, "%s - settings of %s", BRX_METHOD, qPrintable(file));
}

void BRX_Commu_VirtualCamera::saveSettingsLocked()
{
    if (m_settingsFile.isEmpty())
        return;
    QSaveFile file(m_settingsFile);
    if (!QDir().mkpath(QFileInfo(m_settingsFile).path()) || !file.open(QIODevice::WriteOnly)
        || file.write(m_device.settingsState()) < 0 || !file.commit()) {
        debugPrint(kDebugAlways, "%s - cannot write %s: %s", BRX_METHOD, qPrintable(m_settingsFile),
                   qPrintable(file.errorString()));
        m_settingsFile.clear();
    }
}

// A camera off the bus has nobody to tell: its new files are not queued for
// a host that connects later.
void BRX_Commu_VirtualCamera::announceLocked()
{
    if (m_plugged)
        collectEventsLocked();
    else
        m_device.dropAnnouncements();
}
