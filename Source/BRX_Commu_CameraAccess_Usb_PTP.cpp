#include "BRX_Commu_CameraAccess_Usb_PTP.h"
#include "BRX_Commu_LibusbHotplugWatcher.h"
#include "BRX_Commu_LibusbScanner.h"
#include "BRX_Commu_UsbEventThread.h"
#include "BRX_Commu_UsbPipe.h"
#include "BRX_Commu_UsbScanner.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Debug.h"

#include <QThread>

namespace {

const quint16 kOpOpenSession = 0x1002;
const quint16 kOpCloseSession = 0x1003;
const quint32 kSessionId = 1;
const quint32 kVendorSessionKey = 0xFF55;
const quint16 kResponseSessionAlreadyOpen = 0x201E;
// Device Busy repeats the whole transaction: six attempts in all.
const int kMaxBusyRepetitions = 5;
const unsigned long kBusySleepMs = 100;

enum EventAction {
    kActionSettings,
    kActionLens,
    kActionBulb,
    kActionSelfTimer,
    kActionGeotagging,
    kActionDeviceProperty,
    kAction3DAxis,
    kActionTransferRequest,
    kActionImageDatabase,
    kActionObjectRemoved,
};

struct EventRule {
    quint32 eventCode;
    const char* name;
    EventAction action;
    bool structProductsOnly;
};

// Vendor events and the standard events the USB class delivers.
const EventRule kEventRules[] = {
    {0xC0000000, "kVQCameraSettingsChanged", kActionSettings, false},
    {0xC0020000, "kVQLensChanged", kActionLens, true},
    {0xC0060000, "kVQBulbTick", kActionBulb, true},
    {0xC0070000, "kVQSelfTimerTick", kActionSelfTimer, true},
    {0xC0080000, "kVQGeoTackingStatusChanged", kActionGeotagging, false},
    {0xC00A0000, "kVQDevicePropChanged", kActionDeviceProperty, false},
    {0xC00C0000, "kVQ3DAxisDataChanged", kAction3DAxis, false},
    {0x40090000, "RequestObjectTransfer", kActionTransferRequest, false},
    {0x40020000, "ObjectAdded", kActionImageDatabase, false},
    {0x40030000, "ObjectRemoved", kActionObjectRemoved, false},
    {0x40040000, "StoreAdded", kActionImageDatabase, false},
    {0x40050000, "StoreRemoved", kActionImageDatabase, false},
    {0x400C0000, "StorageInfoChanged", kActionImageDatabase, false},
};

bool isStructProduct(int productId)
{
    return productId == 0x2009 || productId == 0x2011 || productId == 0x2021 || productId == 0x2051;
}

bool needsParameter(EventAction action)
{
    return action == kActionBulb || action == kActionSelfTimer || action == kActionDeviceProperty
        || action == kActionObjectRemoved;
}

} // namespace

BRX_Commu_CameraAccess_Usb_PTP* BRX_Commu_CameraAccess_Usb_PTP::create()
{
    const std::shared_ptr<BRX_Commu_VirtualCamera> camera = BRX_Commu_VirtualCamera::selected();
    if (camera)
        return new BRX_Commu_CameraAccess_Usb_PTP(camera->createScanner());
    const auto scanner = std::make_shared<BRX_Commu_LibusbScanner>();
    BRX_Commu_CameraAccess_Usb_PTP* access = new BRX_Commu_CameraAccess_Usb_PTP(scanner);
    // A plugged camera is looked for at once; the periodic scan stays the fallback.
    auto* watcher = new BRX_Commu_LibusbHotplugWatcher(scanner->context(), access);
    connect(watcher, &BRX_Commu_LibusbHotplugWatcher::signalDevicesChanged, access,
            &BRX_Commu_CameraAccess_Usb_PTP::checkDeviceAvailable);
    return access;
}

BRX_Commu_CameraAccess_Usb_PTP::BRX_Commu_CameraAccess_Usb_PTP(std::shared_ptr<BRX_Commu_UsbScanner> scanner)
    : BRX_Commu_CameraAccess_Base(kConnectionUsb)
    , m_scanner(std::move(scanner))
{
    if (!m_scanner)
        debugPrint(kDebugAlways, "%s - no USB binding available, no camera will be found", BRX_METHOD);
}

BRX_Commu_CameraAccess_Usb_PTP::~BRX_Commu_CameraAccess_Usb_PTP()
{
    unregisterForEventNotifications();
}

bool BRX_Commu_CameraAccess_Usb_PTP::openConnection(quint64 cameraId, int productId, QString deviceId)
{
    if (m_cameraId != 0 || m_productId != 0)
        return false;
    debugPrint(kDebugPtp, "%s - CameraId = 0x%X - ProductId = 0x%X", BRX_METHOD, unsigned(cameraId),
               unsigned(productId));
    m_productId = productId;
    m_cameraId = quint32(cameraId);
    m_deviceId = deviceId;
    openPipe(deviceId);
    registerForEventNotifications();
    openPtpSession();
    openVQSession();
    Q_EMIT signalConnectionOpened(kConnectionUsb);
    return true;
}

bool BRX_Commu_CameraAccess_Usb_PTP::closeConnection()
{
    if (m_cameraId == 0 || m_productId == 0)
        return false;
    debugPrint(kDebugPtp, "%s - CameraId = 0x%X - ProductId = 0x%X", BRX_METHOD, m_cameraId, unsigned(m_productId));
    closeVQSession();
    closePtpSession();
    closePipe();
    return closeDevice();
}

bool BRX_Commu_CameraAccess_Usb_PTP::closeDevice()
{
    if (m_cameraId == 0 || m_productId == 0)
        return false;
    debugPrint(kDebugPtp, "%s - CameraId = 0x%X - ProductId = 0x%X", BRX_METHOD, m_cameraId, unsigned(m_productId));
    unregisterForEventNotifications();
    closePipe();
    {
        std::lock_guard<std::mutex> locker(m_eventMutex);
        m_pendingEvents.clear();
    }
    m_deviceId.clear();
    m_cameraId = 0;
    m_productId = 0;
    Q_EMIT signalConnectionClosed(kConnectionUsb);
    return true;
}

bool BRX_Commu_CameraAccess_Usb_PTP::openVQSession()
{
    return sendCommand(kOpOpenVQSession, 1, &kVendorSessionKey, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Usb_PTP::closeVQSession()
{
    return sendCommand(kOpCloseVQSession, 1, &kVendorSessionKey, BRX_METHOD);
}

// The USB class needs the standard session around the vendor one; its
// transaction IDs start again with 0.
bool BRX_Commu_CameraAccess_Usb_PTP::openPtpSession()
{
    {
        std::lock_guard<std::mutex> locker(m_deviceMutex);
        if (m_link)
            m_link->resetTransactionId();
    }
    quint16 code = 0;
    // The label must outlive the transaction, whose log lines use it.
    const std::string label = BRX_METHOD;
    const Transaction transaction{kOpOpenSession, 1, &kSessionId, BRX_Commu_PtpUsbLink::kNoData, nullptr, 0,
                                  label.c_str()};
    if (!exchange(transaction, &code))
        return false;
    if (code == kResponseSessionAlreadyOpen)
        code = kResponseOK;
    if (code != kResponseOK) {
        debugPrint(kDebugAlways, "%s - MTP Response code: 0x%08X", BRX_METHOD, code);
        return false;
    }
    debugPrint(kDebugPtp, "%s - successful", BRX_METHOD);
    return true;
}

bool BRX_Commu_CameraAccess_Usb_PTP::closePtpSession()
{
    return sendCommand(kOpCloseSession, 0, nullptr, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Usb_PTP::recvData(quint32 opCode, quint32 numParams, const quint32* params,
                                              void* buffer, quint32 bufferSize, const char* methodName)
{
    return run({quint16(opCode), numParams, params, BRX_Commu_PtpUsbLink::kDataIn, static_cast<quint8*>(buffer),
                buffer ? bufferSize : 0, methodName ? methodName : BRX_METHOD});
}

bool BRX_Commu_CameraAccess_Usb_PTP::sendCommand(quint32 opCode, quint32 numParams, const quint32* params,
                                                 const char* methodName)
{
    return run({quint16(opCode), numParams, params, BRX_Commu_PtpUsbLink::kNoData, nullptr, 0,
                methodName ? methodName : BRX_METHOD});
}

// The link only reads the buffer of an outgoing data phase.
bool BRX_Commu_CameraAccess_Usb_PTP::sendData(quint32 opCode, quint32 numParams, const quint32* params,
                                              const void* buffer, quint32 bufferSize, const char* methodName)
{
    return run({quint16(opCode), numParams, params, BRX_Commu_PtpUsbLink::kDataOut,
                const_cast<quint8*>(static_cast<const quint8*>(buffer)), buffer ? bufferSize : 0,
                methodName ? methodName : BRX_METHOD});
}

bool BRX_Commu_CameraAccess_Usb_PTP::run(const Transaction& transaction)
{
    quint16 code = 0;
    if (!exchange(transaction, &code))
        return false;
    if (code != kResponseOK) {
        debugPrint(kDebugAlways, "%s - MTP Response code: 0x%08X", transaction.name, code);
        return false;
    }
    debugPrint(kDebugPtp, "%s - successful", transaction.name);
    return true;
}

// False when no answer came (no device, transfer error); else *responseCode
// is the answer after at most kMaxBusyRepetitions repetitions for Device Busy.
bool BRX_Commu_CameraAccess_Usb_PTP::exchange(const Transaction& transaction, quint16* responseCode)
{
    std::lock_guard<std::mutex> locker(m_deviceMutex);
    if (!m_link)
        return false;
    for (int repetition = 0;; ++repetition) {
        const BRX_Commu_PtpUsbLink::Result result =
            m_link->transact(transaction.opCode, transaction.params, transaction.numParams, transaction.direction,
                             transaction.buffer, transaction.size, transaction.name, responseCode);
        if (result == BRX_Commu_PtpUsbLink::kNoDevice)
            deviceVanished(m_connection);
        if (result != BRX_Commu_PtpUsbLink::kResponded)
            return false;
        if (*responseCode != kResponseDeviceBusy || repetition == kMaxBusyRepetitions)
            return true;
        QThread::msleep(kBusySleepMs);
    }
}

void BRX_Commu_CameraAccess_Usb_PTP::openPipe(const QString& deviceId)
{
    std::shared_ptr<BRX_Commu_UsbPipe> pipe = m_scanner ? m_scanner->open(deviceId) : nullptr;
    if (!pipe)
        debugPrint(kDebugAlways, "%s - Failed to Open the device %s", BRX_METHOD, qPrintable(deviceId));
    std::lock_guard<std::mutex> locker(m_deviceMutex);
    m_pipe = pipe;
    m_link.reset(pipe ? new BRX_Commu_PtpUsbLink(pipe) : nullptr);
    ++m_connection;
}

void BRX_Commu_CameraAccess_Usb_PTP::closePipe()
{
    std::lock_guard<std::mutex> locker(m_deviceMutex);
    m_link.reset();
    m_pipe.reset();
}

void BRX_Commu_CameraAccess_Usb_PTP::registerForEventNotifications()
{
    if (!m_pipe)
        return;
    if (m_eventThread) {
        debugPrint(kDebugAlways, "%s - Already registered to receive device events", BRX_METHOD);
        return;
    }
    const quint32 connection = m_connection;
    m_eventThread.reset(new BRX_Commu_UsbEventThread(
        m_pipe, [this, connection](const BRX_Commu_PtpContainer& event) { queueEvent({connection, false, event}); },
        [this, connection] { deviceVanished(connection); }));
    debugPrint(kDebugPtp, "%s - Registered for device event notifications", BRX_METHOD);
}

void BRX_Commu_CameraAccess_Usb_PTP::unregisterForEventNotifications()
{
    if (!m_eventThread)
        return;
    m_eventThread.reset(); // stops and joins it
    debugPrint(kDebugPtp, "%s - Unregistered for device event notifications", BRX_METHOD);
}

// Any thread. The connection is closed later on this object's own thread, so
// that no caller further up the stack loses the objects it works with.
void BRX_Commu_CameraAccess_Usb_PTP::deviceVanished(quint32 connection)
{
    queueEvent({connection, true, BRX_Commu_PtpContainer()});
}

// Any thread. The queue carries the data; the queued call only wakes this
// object's thread.
void BRX_Commu_CameraAccess_Usb_PTP::queueEvent(const PendingEvent& event)
{
    bool wasEmpty;
    {
        std::lock_guard<std::mutex> locker(m_eventMutex);
        wasEmpty = m_pendingEvents.isEmpty();
        m_pendingEvents.append(event);
    }
    if (wasEmpty)
        QMetaObject::invokeMethod(this, "drainEvents", Qt::QueuedConnection);
}

void BRX_Commu_CameraAccess_Usb_PTP::drainEvents()
{
    QVector<PendingEvent> events;
    {
        std::lock_guard<std::mutex> locker(m_eventMutex);
        events.swap(m_pendingEvents);
    }
    for (const PendingEvent& pending : events) {
        if (pending.connection != m_connection || m_productId == 0)
            continue;
        if (pending.vanished) {
            debugPrint(kDebugPtp, "%s - device removed", BRX_METHOD);
            // Forgotten at once, so that a camera plugged back in before the
            // next scan is announced again.
            forgetDevice(m_deviceId);
            closeDevice();
        } else {
            deliverEvent(quint32(pending.event.code) << 16, pending.event.params);
        }
    }
}

void BRX_Commu_CameraAccess_Usb_PTP::deliverEvent(quint32 eventCode, const QVector<quint32>& params)
{
    const EventRule* rule = nullptr;
    for (const EventRule& candidate : kEventRules) {
        if (candidate.eventCode == eventCode)
            rule = &candidate;
    }
    if (!rule) {
        debugPrint(kDebugPtp, "%s - event 0x%08X is unknown", BRX_METHOD, eventCode);
        return;
    }
    debugPrint(kDebugPtp, "%s - event 0x%08X is %s", BRX_METHOD, eventCode, rule->name);
    if (rule->structProductsOnly && !isStructProduct(m_productId))
        return;
    if (needsParameter(rule->action) && params.isEmpty()) {
        debugPrint(kDebugAlways, "%s - event 0x%08X without parameter", BRX_METHOD, eventCode);
        return;
    }
    switch (rule->action) {
    case kActionSettings:
        Q_EMIT signalSettingsChanged();
        break;
    case kActionLens:
        Q_EMIT signalLensChanged();
        break;
    case kActionBulb:
        Q_EMIT signalBulbCounter(int(params.first()));
        break;
    case kActionSelfTimer:
        Q_EMIT signalSelfTimerCounter(int(params.first()));
        break;
    case kActionGeotagging:
        Q_EMIT signalGeotackingChanged();
        break;
    case kActionDeviceProperty:
        addChangedDeviceProperty(quint16(params.first()));
        break;
    case kAction3DAxis:
        Q_EMIT signal3DAxisDataChanged();
        break;
    case kActionTransferRequest:
        Q_EMIT signalTransferRequest();
        break;
    case kActionObjectRemoved:
        Q_EMIT signalObjectDeleted(params.first());
        Q_EMIT signalUpdateImageDB();
        break;
    case kActionImageDatabase:
        Q_EMIT signalUpdateImageDB();
        break;
    }
}

void BRX_Commu_CameraAccess_Usb_PTP::forgetDevice(const QString& deviceId)
{
    for (int i = m_knownDevices.size() - 1; i >= 0; --i) {
        if (m_knownDevices.at(i).deviceId == deviceId)
            m_knownDevices.removeAt(i);
    }
}

bool BRX_Commu_CameraAccess_Usb_PTP::checkDeviceAvailable()
{
    const QList<BRX_Commu_DeviceEntry> candidates = scanCandidates();
    for (const BRX_Commu_DeviceEntry& candidate : candidates) {
        if (m_knownDevices.contains(candidate))
            continue;
        debugPrint(kDebugPtp, "%s - CameraId = 0x%X - ProductId = 0x%X", BRX_METHOD, unsigned(candidate.cameraId),
                   unsigned(candidate.productId));
        m_knownDevices = candidates;
        Q_EMIT signalDeviceAvailable(kConnectionUsb, candidate.cameraId, candidate.productId, candidate.deviceId);
        return true;
    }
    m_knownDevices = candidates;
    return false;
}

QList<BRX_Commu_DeviceEntry> BRX_Commu_CameraAccess_Usb_PTP::scanCandidates()
{
    QList<BRX_Commu_DeviceEntry> candidates;
    if (!m_scanner)
        return candidates;
    const QList<quint16> vendors = m_scanner->acceptedVendorIds();
    for (const BRX_Commu_DeviceEntry& entry : m_scanner->scan()) {
        debugPrint(kDebugPtp, "%s - PnpDevice: %s", BRX_METHOD, qPrintable(entry.deviceId));
        if (entry.productId != 0 && entry.cameraId <= 0xFFFF
            && (vendors.isEmpty() || vendors.contains(quint16(entry.cameraId))))
            candidates.append(entry);
    }
    return candidates;
}
