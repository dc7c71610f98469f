#include "BRX_Commu_CameraAccess_Usb_PTP.h"
#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_PtpTransaction.h"
#include "BRX_Commu_UsbEventThread.h"
#include "BRX_Commu_UsbPipe.h"
#include "BRX_Commu_UsbScanner.h"
#include "BRX_Debug.h"

#include <algorithm>
#include <iterator>

namespace {

const quint32 kSessionId = 1;
// A camera silent through this many recoveries in a row has gone.
const int kMaxSilentTransactions = 2;
// Room for a DeviceInfo dataset up to its operation codes and well beyond.
const int kDeviceInfoBytes = 2048;
const quint32 kVendorExtensionDescOffset = 8;

// The sessions a connection opens, in order: the standard one around the
// vendor one.
struct SessionOpening
{
    quint16 opCode;
    const quint32* param;
    BRX_Commu_PtpTransaction transaction(const char* label) const
    {
        return BRX_Commu_PtpTransaction::make(opCode, 1, param, BRX_Commu_PtpUsbLink::kNoData, nullptr, 0, label);
    }
};
const SessionOpening kSessionOpenings[] = {
    {BRX_Commu_CameraAccess_Base::kOpOpenSession, &kSessionId},
    {BRX_Commu_CameraAccess_Base::kOpOpenVQSession, &BRX_Commu_CameraAccess_Base::kVQSessionKey},
};

// The vendor operations every product is driven with on every connection:
// the vendor session around it, the lens data read when it opens and the
// acknowledgement of each download.
const quint16 kOperationsOfOurCameras[] = {
    BRX_Commu_CameraAccess_Base::kOpOpenVQSession,
    BRX_Commu_CameraAccess_Base::kOpCloseVQSession,
    BRX_Commu_CameraAccess_Base::kOpGetLensData,
    BRX_Commu_CameraAccess_Base::kOpTransferObjectReady,
};

// The operation codes of a DeviceInfo dataset, which follow the standard
// version, the vendor extension's ID, version and description and the
// functional mode; empty when the dataset ends before they do.
QVector<quint16> operationsOf(const QByteArray& deviceInfo)
{
    BRX_Commu_ByteReader bytes(deviceInfo.constData(), quint32(deviceInfo.size()));
    bytes.skip(kVendorExtensionDescOffset);
    bytes.readPtpString();
    bytes.readU16();
    const quint32 count = bytes.readU32();
    QVector<quint16> codes;
    for (quint32 i = 0; i < count && bytes.ok(); ++i)
        codes.append(bytes.readU16());
    return bytes.ok() ? codes : QVector<quint16>();
}

} // namespace

BRX_Commu_CameraAccess_Usb_PTP::BRX_Commu_CameraAccess_Usb_PTP(std::shared_ptr<BRX_Commu_UsbScanner> scanner)
    : BRX_Commu_CameraAccess_Link(kConnectionUsb)
    , m_scanner(std::move(scanner))
{
    if (!m_scanner)
        debugPrint(kDebugAlways, "%s - no USB binding available, no camera will be found", BRX_METHOD);
}

BRX_Commu_CameraAccess_Usb_PTP::~BRX_Commu_CameraAccess_Usb_PTP()
{
    unregisterForEventNotifications();
}

// Only a camera the library can use is reported open: one whose interface
// could not be claimed, that is no camera of ours or whose sessions did not
// open is left closed, without signalConnectionOpened.
bool BRX_Commu_CameraAccess_Usb_PTP::openConnection(quint64 cameraId, int productId, QString deviceId)
{
    if (m_cameraId != 0 || m_productId != 0)
        return false;
    debugPrint(kDebugPtp, "%s - CameraId = 0x%X - ProductId = 0x%X", BRX_METHOD, unsigned(cameraId),
               unsigned(productId));
    m_productId = productId;
    m_cameraId = quint32(cameraId);
    m_deviceId = deviceId;
    const OpenOutcome outcome = openDevice(deviceId);
    if (outcome != kOpened) {
        abandonDevice(deviceId, outcome);
        return false;
    }
    m_unopenedDevices.removeAll(deviceId);
    Q_EMIT signalConnectionOpened(kConnectionUsb);
    return true;
}

BRX_Commu_CameraAccess_Usb_PTP::OpenOutcome BRX_Commu_CameraAccess_Usb_PTP::openDevice(const QString& deviceId)
{
    if (!openPipe(deviceId))
        return kNotOpened;
    const OpenOutcome identity = checkIdentity(deviceId);
    if (identity != kOpened)
        return identity;
    registerForEventNotifications();
    return openSessions(deviceId) ? kOpened : kNotOpened;
}

// Without vendor IDs from the build, any still-image device is a candidate:
// one is taken for ours only when its DeviceInfo, which needs no session,
// lists the vendor operations our cameras have. Anything else gets no other
// request.
BRX_Commu_CameraAccess_Usb_PTP::OpenOutcome BRX_Commu_CameraAccess_Usb_PTP::checkIdentity(const QString& deviceId)
{
    if (!m_scanner->acceptedVendorIds().isEmpty())
        return kOpened;
    QByteArray deviceInfo(kDeviceInfoBytes, '\0');
    if (!readDeviceInfo(deviceId, deviceInfo))
        return kNotOpened;
    const QVector<quint16> operations = operationsOf(deviceInfo);
    const bool ours = std::all_of(std::begin(kOperationsOfOurCameras), std::end(kOperationsOfOurCameras),
                                  [&operations](quint16 code) { return operations.contains(code); });
    if (ours)
        return kOpened;
    debugPrint(kDebugAlways, "%s - %s lacks the vendor operations of our cameras, left alone", BRX_METHOD,
               qPrintable(deviceId));
    return kForeign;
}

// GetDeviceInfo needs no session, but a camera still in one (left open by a
// program that ended without closing it, or by an earlier run of the host)
// checks the transaction ID against that session and refuses. A Device
// Reset ends the session; the request is then made afresh.
bool BRX_Commu_CameraAccess_Usb_PTP::readDeviceInfo(const QString& deviceId, QByteArray& deviceInfo)
{
    // The label must outlive the transactions, whose log lines use it.
    const std::string label = BRX_METHOD;
    const Transaction request = Transaction::make(kOpGetDeviceInfo, 0, nullptr, BRX_Commu_PtpUsbLink::kDataIn,
                                                  deviceInfo.data(), quint32(deviceInfo.size()), label.c_str());
    quint16 code = 0;
    if (!exchange(request, &code))
        return false;
    if (code == kResponseInvalidTransactionID) {
        debugPrint(kDebugAlways, "%s - %s still holds an earlier session, resetting it", BRX_METHOD,
                   qPrintable(deviceId));
        endEarlierSession();
        if (!exchange(request, &code))
            return false;
    }
    return BRX_Commu_PtpTransaction::isAccepted(code, label.c_str());
}

void BRX_Commu_CameraAccess_Usb_PTP::endEarlierSession()
{
    std::lock_guard<std::mutex> locker(m_deviceMutex);
    if (!m_pipe || !m_link)
        return;
    m_pipe->resetDevice();
    m_link->resetTransactionId();
}

// A device that is no camera of ours stays known, so it is not announced
// again while it stays plugged in. Any other is tried again by the next
// scans, after the devices they find new; one that went silent on the way
// waits until it reports ready.
void BRX_Commu_CameraAccess_Usb_PTP::abandonDevice(const QString& deviceId, OpenOutcome outcome)
{
    bool silent;
    {
        std::lock_guard<std::mutex> locker(m_deviceMutex);
        silent = m_silentTransactions > 0;
    }
    unregisterForEventNotifications();
    closePipe();
    m_deviceId.clear();
    m_cameraId = 0;
    m_productId = 0;
    if (outcome == kForeign)
        return;
    forgetDevice(deviceId);
    if (silent && !m_silentDevices.contains(deviceId))
        m_silentDevices.append(deviceId);
    if (!m_unopenedDevices.contains(deviceId))
        m_unopenedDevices.append(deviceId);
}

QString BRX_Commu_CameraAccess_Usb_PTP::portPath() const
{
    return m_deviceId.startsWith(QLatin1String("usb:")) ? m_deviceId : QString();
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
    dropQueuedEvents();
    m_deviceId.clear();
    m_cameraId = 0;
    m_productId = 0;
    Q_EMIT signalConnectionClosed(kConnectionUsb);
    return true;
}

bool BRX_Commu_CameraAccess_Usb_PTP::closeVQSession()
{
    return sendCommand(kOpCloseVQSession, 1, &kVQSessionKey, BRX_METHOD);
}

// The USB class needs the standard session around the vendor one; its
// transaction IDs start again with 0. A camera that refuses them is tried
// again by every scan while it stays plugged in: the refusal is said once
// per plug.
bool BRX_Commu_CameraAccess_Usb_PTP::openSessions(const QString& deviceId)
{
    {
        std::lock_guard<std::mutex> locker(m_deviceMutex);
        if (m_link)
            m_link->resetTransactionId();
    }
    // The label must outlive the transactions, whose log lines use it.
    const std::string label = BRX_METHOD;
    for (const SessionOpening& opening : kSessionOpenings) {
        quint16 code = 0;
        exchange(opening.transaction(label.c_str()), &code);
        if (code != kResponseOK && code != kResponseSessionAlreadyOpen) {
            debugPrint(m_unopenedDevices.contains(deviceId) ? kDebugPtp : kDebugAlways,
                       "%s - %s refused session 0x%04X (response 0x%04X), tried again while it stays plugged in",
                       label.c_str(), qPrintable(deviceId), opening.opCode, code);
            return false;
        }
    }
    debugPrint(kDebugPtp, "%s - successful", label.c_str());
    return true;
}

bool BRX_Commu_CameraAccess_Usb_PTP::closePtpSession()
{
    return sendCommand(kOpCloseSession, 0, nullptr, BRX_METHOD);
}

// A camera silent through the recoveries of several transactions in a row
// has gone: nothing more is sent to it.
bool BRX_Commu_CameraAccess_Usb_PTP::isLinkReady(const char*)
{
    return m_link && m_silentTransactions < kMaxSilentTransactions;
}

bool BRX_Commu_CameraAccess_Usb_PTP::attempt(const Transaction& transaction, quint16* responseCode,
                                             quint32* received)
{
    const BRX_Commu_PtpUsbLink::Result result = m_link->transact(transaction, responseCode);
    *received = m_link->payloadReceived();
    if (result != BRX_Commu_PtpUsbLink::kResponded) {
        afterFailure(result);
        return false;
    }
    m_silentTransactions = 0;
    return true;
}

int BRX_Commu_CameraAccess_Usb_PTP::patientAnswerMs() const
{
    return m_link->timeouts().patientAnswerMs;
}

// Called with m_deviceMutex held.
void BRX_Commu_CameraAccess_Usb_PTP::afterFailure(BRX_Commu_PtpUsbLink::Result result)
{
    if (result == BRX_Commu_PtpUsbLink::kNoDevice)
        queueDeparture(currentConnection(), false);
    else if (result == BRX_Commu_PtpUsbLink::kSessionLost)
        reopenSessionsLocked();
    if (result != BRX_Commu_PtpUsbLink::kSilent || ++m_silentTransactions < kMaxSilentTransactions)
        return;
    debugPrint(kDebugAlways, "%s - the camera does not answer any more, closing the connection", BRX_METHOD);
    queueDeparture(currentConnection(), true);
}

// After a Device Reset the camera has no session: both are opened again, as
// at connection. Called with m_deviceMutex held.
void BRX_Commu_CameraAccess_Usb_PTP::reopenSessionsLocked()
{
    // The label must outlive the transactions, whose log lines use it.
    const std::string label = BRX_METHOD;
    for (const SessionOpening& opening : kSessionOpenings) {
        quint16 code = 0;
        if (m_link->transact(opening.transaction(label.c_str()), &code) != BRX_Commu_PtpUsbLink::kResponded
            || code != kResponseOK) {
            debugPrint(kDebugAlways, "%s - the sessions did not open again after the reset", BRX_METHOD);
            return;
        }
    }
    debugPrint(kDebugPtp, "%s - sessions open again after the reset", BRX_METHOD);
}

// The scanner says why a device cannot be opened; a device that keeps
// failing is not reported again on every scan.
bool BRX_Commu_CameraAccess_Usb_PTP::openPipe(const QString& deviceId)
{
    std::shared_ptr<BRX_Commu_UsbPipe> pipe = m_scanner ? m_scanner->open(deviceId) : nullptr;
    if (!pipe && !m_unopenedDevices.contains(deviceId))
        debugPrint(kDebugAlways, "%s - Failed to Open the device %s", BRX_METHOD, qPrintable(deviceId));
    std::lock_guard<std::mutex> locker(m_deviceMutex);
    m_pipe = pipe;
    m_link.reset(pipe ? new BRX_Commu_PtpUsbLink(pipe) : nullptr);
    m_silentTransactions = 0;
    beginConnection();
    return bool(pipe);
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
    const quint32 connection = currentConnection();
    m_eventThread.reset(new BRX_Commu_UsbEventThread(
        m_pipe, [this, connection](const BRX_Commu_PtpContainer& event) { queueEvent(connection, event); },
        [this, connection] { queueDeparture(connection, false); }));
    debugPrint(kDebugPtp, "%s - Registered for device event notifications", BRX_METHOD);
}

void BRX_Commu_CameraAccess_Usb_PTP::unregisterForEventNotifications()
{
    if (!m_eventThread)
        return;
    m_eventThread.reset(); // stops and joins it
    debugPrint(kDebugPtp, "%s - Unregistered for device event notifications", BRX_METHOD);
}

// Forgotten at once, so that a camera plugged back in before the next scan
// is announced again.
void BRX_Commu_CameraAccess_Usb_PTP::deviceDeparted(bool silent)
{
    if (silent)
        m_silentDevices.append(m_deviceId);
    forgetDevice(m_deviceId);
    closeDevice();
}

// Forgotten, so that the next scan announces it again.
void BRX_Commu_CameraAccess_Usb_PTP::deviceFlooded()
{
    const QString deviceId = m_deviceId;
    closeConnection();
    forgetDevice(deviceId);
}

void BRX_Commu_CameraAccess_Usb_PTP::forgetDevice(const QString& deviceId)
{
    for (int i = m_knownDevices.size() - 1; i >= 0; --i) {
        if (m_knownDevices.at(i).deviceId == deviceId)
            m_knownDevices.removeAt(i);
    }
}

// Announces at most one device per scan: the first that is not known yet.
// Only the announced one becomes known, so that a device found in the
// same scan is announced by the next. One that could not be opened comes
// after the others, so that it cannot keep another camera waiting.
bool BRX_Commu_CameraAccess_Usb_PTP::checkDeviceAvailable()
{
    QList<BRX_Commu_DeviceEntry> candidates = scanCandidates();
    holdBackSilentDevices(candidates);
    forgetAbsentDevices(candidates);
    std::stable_partition(candidates.begin(), candidates.end(), [this](const BRX_Commu_DeviceEntry& candidate) {
        return !m_unopenedDevices.contains(candidate.deviceId);
    });
    for (const BRX_Commu_DeviceEntry& candidate : candidates) {
        if (m_knownDevices.contains(candidate))
            continue;
        debugPrint(kDebugPtp, "%s - CameraId = 0x%X - ProductId = 0x%X", BRX_METHOD, unsigned(candidate.cameraId),
                   unsigned(candidate.productId));
        m_knownDevices.append(candidate);
        Q_EMIT signalDeviceAvailable(kConnectionUsb, candidate.cameraId, candidate.productId, candidate.deviceId);
        return true;
    }
    return false;
}

// A device that left the bus is announced again when it comes back.
void BRX_Commu_CameraAccess_Usb_PTP::forgetAbsentDevices(const QList<BRX_Commu_DeviceEntry>& present)
{
    for (int i = m_knownDevices.size() - 1; i >= 0; --i) {
        if (!present.contains(m_knownDevices.at(i)))
            m_knownDevices.removeAt(i);
    }
    for (int i = m_unopenedDevices.size() - 1; i >= 0; --i) {
        const QString& deviceId = m_unopenedDevices.at(i);
        if (std::none_of(present.begin(), present.end(),
                         [&deviceId](const BRX_Commu_DeviceEntry& entry) { return entry.deviceId == deviceId; }))
            m_unopenedDevices.removeAt(i);
    }
}

// A camera closed for its silence is no candidate until it answers again;
// one that has left the bus is forgotten.
void BRX_Commu_CameraAccess_Usb_PTP::holdBackSilentDevices(QList<BRX_Commu_DeviceEntry>& candidates)
{
    QStringList present;
    for (int i = candidates.size() - 1; i >= 0; --i) {
        const QString& deviceId = candidates.at(i).deviceId;
        present << deviceId;
        if (m_silentDevices.contains(deviceId) && !answersAgain(deviceId))
            candidates.removeAt(i);
    }
    for (int i = m_silentDevices.size() - 1; i >= 0; --i) {
        if (!present.contains(m_silentDevices.at(i)))
            m_silentDevices.removeAt(i);
    }
}

// Ready by Get Device Status; a device without the request answers by
// refusing it.
bool BRX_Commu_CameraAccess_Usb_PTP::answersAgain(const QString& deviceId)
{
    const std::shared_ptr<BRX_Commu_UsbPipe> pipe = m_scanner->open(deviceId);
    BRX_Commu_UsbPipe::DeviceStatus status;
    const BRX_Commu_UsbPipe::Status result = pipe ? pipe->getDeviceStatus(&status) : BRX_Commu_UsbPipe::kNoDevice;
    if (result == BRX_Commu_UsbPipe::kStall || (result == BRX_Commu_UsbPipe::kOk && status.code == kResponseOK)) {
        debugPrint(kDebugAlways, "%s - %s answers again", BRX_METHOD, qPrintable(deviceId));
        m_silentDevices.removeAll(deviceId);
        return true;
    }
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
