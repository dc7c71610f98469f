#include "BRX_Commu_CameraAccess_WLAN.h"
#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_PtpIpEventThread.h"
#include "BRX_Commu_PtpIpLink.h"
#include "BRX_Commu_PtpIpPacket.h"
#include "BRX_Commu_VirtualCameraProfile.h"
#include "BRX_Debug.h"

#include <QCoreApplication>
#include <QStringList>
#include <QUuid>

#ifndef BRX_NETWORK_CAMERA_MODELS
#define BRX_NETWORK_CAMERA_MODELS ""
#endif

namespace {

const quint32 kDeviceInfoSize = 2048;

std::mutex g_selectionMutex;
QString g_selected;

// The model field of a DeviceInfo dataset; empty when it is not there.
QString modelOf(const QByteArray& deviceInfo, quint32 size)
{
    BRX_Commu_ByteReader reader(deviceInfo.constData(), size);
    reader.skip(2 + 4 + 2);
    reader.readPtpString(); // vendor extension description
    reader.skip(2);         // functional mode
    for (int list = 0; list < 5 && reader.ok(); ++list)
        reader.skip(2 * quint64(reader.readU32()));
    reader.readPtpString(); // manufacturer
    const QString model = reader.readPtpString();
    return reader.ok() ? model : QString();
}

// "Model=0x2031|Other model=0x2061", as the build configured it.
int configuredProductId(const QString& model)
{
    for (const QString& entry : QString::fromUtf8(BRX_NETWORK_CAMERA_MODELS).split('|', Qt::SkipEmptyParts)) {
        const int separator = entry.lastIndexOf('=');
        if (separator > 0 && entry.left(separator) == model)
            return entry.mid(separator + 1).toInt(nullptr, 0);
    }
    return 0;
}

QString initiatorName()
{
    const QString application = QCoreApplication::applicationName();
    return application.isEmpty() ? QStringLiteral("BRX SDK") : application;
}

} // namespace

bool BRX_Commu_CameraAccess_WLAN::select(const QString& address)
{
    QString host;
    quint16 port = 0;
    if (!address.isEmpty() && !parseAddress(address, &host, &port))
        return false;
    std::lock_guard<std::mutex> locker(g_selectionMutex);
    g_selected = address;
    return true;
}

QString BRX_Commu_CameraAccess_WLAN::selected()
{
    std::lock_guard<std::mutex> locker(g_selectionMutex);
    return g_selected;
}

bool BRX_Commu_CameraAccess_WLAN::parseAddress(const QString& address, QString* host, quint16* port)
{
    const QString text = address.trimmed();
    QString portText;
    if (text.startsWith('[')) {
        const int end = text.indexOf(']');
        if (end < 0 || (end + 1 < text.size() && text.at(end + 1) != ':'))
            return false;
        *host = text.mid(1, end - 1);
        portText = text.mid(end + 2);
    } else if (text.count(':') == 1) {
        *host = text.section(':', 0, 0);
        portText = text.section(':', 1);
    } else {
        *host = text;
    }
    bool ok = true;
    const uint value = portText.isEmpty() ? BRX_Commu_PtpIpPacket::kDefaultPort : portText.toUInt(&ok);
    *port = quint16(value);
    return ok && value > 0 && value <= 0xFFFF && !host->isEmpty() && !host->contains(QLatin1Char(' '));
}

int BRX_Commu_CameraAccess_WLAN::productIdOfModel(const QString& model)
{
    const int configured = configuredProductId(model);
    return configured ? configured : BRX_Commu_VirtualCameraProfile::productIdOfModel(model);
}

BRX_Commu_CameraAccess_WLAN::BRX_Commu_CameraAccess_WLAN(const QString& address)
    : BRX_Commu_CameraAccess_Link(kConnectionWlan)
    , m_guid(QUuid::createUuid().toRfc4122())
{
    if (!address.isEmpty() && !parseAddress(address, &m_host, &m_port))
        debugPrint(kDebugAlways, "%s - \"%s\" is no network address", BRX_METHOD, qPrintable(address));
}

BRX_Commu_CameraAccess_WLAN::~BRX_Commu_CameraAccess_WLAN()
{
    dropLink();
}

QString BRX_Commu_CameraAccess_WLAN::deviceId() const
{
    return QStringLiteral("ptpip:%1:%2").arg(m_host).arg(m_port);
}

// A camera found stays connected until the controller opens it.
bool BRX_Commu_CameraAccess_WLAN::checkDeviceAvailable()
{
    if (m_host.isEmpty() || m_productId != 0 || m_link)
        return false;
    const std::string label = BRX_METHOD;
    std::unique_ptr<BRX_Commu_PtpIpLink> link =
        BRX_Commu_PtpIpLink::open(m_host, m_port, {m_guid, initiatorName()}, label.c_str());
    if (!link)
        return false;
    {
        std::lock_guard<std::mutex> locker(m_deviceMutex);
        m_link = std::move(link);
    }
    const int productId = identifyCamera();
    if (productId == 0) {
        dropLink();
        return false;
    }
    debugPrint(kDebugPtp, "%s - CameraId = 0x%X - ProductId = 0x%X", BRX_METHOD, 0u, unsigned(productId));
    Q_EMIT signalDeviceAvailable(kConnectionWlan, 0, productId, deviceId());
    return true;
}

// DeviceInfo is the one operation a camera answers outside a session.
int BRX_Commu_CameraAccess_WLAN::identifyCamera()
{
    QByteArray deviceInfo(int(kDeviceInfoSize), '\0');
    quint32 received = 0;
    const std::string label = BRX_METHOD;
    if (!run(Transaction::make(kOpGetDeviceInfo, 0, nullptr, Transaction::kDataIn, deviceInfo.data(),
                               kDeviceInfoSize, label.c_str()),
             &received))
        return 0;
    const QString model = modelOf(deviceInfo, received);
    const int productId = productIdOfModel(model);
    if (productId == 0 && m_lastProblem != model) {
        debugPrint(kDebugAlways, "%s - unknown camera model \"%s\" at %s", BRX_METHOD, qPrintable(model),
                   qPrintable(deviceId()));
        m_lastProblem = model;
    }
    return productId;
}

bool BRX_Commu_CameraAccess_WLAN::openConnection(quint64 cameraId, int productId, QString)
{
    if (m_host.isEmpty() || m_productId != 0)
        return false;
    debugPrint(kDebugPtp, "%s - CameraId = 0x%X - ProductId = 0x%X", BRX_METHOD, unsigned(cameraId),
               unsigned(productId));
    m_productId = productId;
    m_lastProblem.clear();
    beginConnection();
    startEventThread();
    openSessions();
    Q_EMIT signalConnectionOpened(kConnectionWlan);
    return true;
}

bool BRX_Commu_CameraAccess_WLAN::closeConnection()
{
    if (m_productId == 0)
        return false;
    debugPrint(kDebugPtp, "%s - ProductId = 0x%X", BRX_METHOD, unsigned(m_productId));
    sendCommand(kOpCloseVQSession, 1, &kVQSessionKey, BRX_METHOD);
    sendCommand(kOpCloseSession, 0, nullptr, BRX_METHOD);
    return closeDevice();
}

bool BRX_Commu_CameraAccess_WLAN::closeDevice()
{
    if (m_productId == 0)
        return false;
    debugPrint(kDebugPtp, "%s - ProductId = 0x%X", BRX_METHOD, unsigned(m_productId));
    dropLink();
    dropQueuedEvents();
    m_productId = 0;
    Q_EMIT signalConnectionClosed(kConnectionWlan);
    return true;
}

void BRX_Commu_CameraAccess_WLAN::deviceDeparted(bool)
{
    closeDevice();
}

// The session takes the connection number as its ID; its transaction IDs
// start again with 0.
bool BRX_Commu_CameraAccess_WLAN::openSessions()
{
    quint32 sessionId = 1;
    {
        std::lock_guard<std::mutex> locker(m_deviceMutex);
        if (!m_link) {
            debugPrint(kDebugAlways, "%s - Failed to Open the device %s", BRX_METHOD, qPrintable(deviceId()));
            return false;
        }
        m_link->resetTransactionId();
        sessionId = qMax(1u, m_link->connectionNumber());
    }
    const std::string label = BRX_METHOD;
    quint16 code = 0;
    if (!exchange(Transaction::make(kOpOpenSession, 1, &sessionId, Transaction::kNoData, nullptr, 0, label.c_str()),
                  &code, nullptr)
        || !Transaction::isSessionOpened(code, label.c_str()))
        return false;
    return sendCommand(kOpOpenVQSession, 1, &kVQSessionKey, label.c_str());
}

void BRX_Commu_CameraAccess_WLAN::startEventThread()
{
    if (!m_link || !m_link->eventStream())
        return;
    const quint32 connection = currentConnection();
    m_eventThread.reset(new BRX_Commu_PtpIpEventThread(
        *m_link->eventStream(), m_link->timeouts(),
        [this, connection](const BRX_Commu_PtpContainer& event) { queueEvent(connection, event); },
        [this, connection] { queueDeparture(connection, false); }));
}

// Shut down first, so that a transaction blocked on the connection returns
// and lets go of the device mutex.
void BRX_Commu_CameraAccess_WLAN::dropLink()
{
    m_eventThread.reset();
    if (m_link)
        m_link->shutdown();
    std::lock_guard<std::mutex> locker(m_deviceMutex);
    m_link.reset();
}

bool BRX_Commu_CameraAccess_WLAN::isLinkReady(const char* name)
{
    if (m_link)
        return true;
    debugPrint(kDebugAlways, "%s - Error: no device connected", name);
    return false;
}

// A broken connection is the camera leaving.
bool BRX_Commu_CameraAccess_WLAN::attempt(const Transaction& transaction, quint16* responseCode, quint32* received)
{
    const BRX_Commu_PtpIpLink::Result result = m_link->transact(transaction, responseCode);
    *received = m_link->payloadReceived();
    if (result == BRX_Commu_PtpIpLink::kLost) {
        m_link->shutdown();
        queueDeparture(currentConnection(), false);
    }
    return result == BRX_Commu_PtpIpLink::kResponded;
}

int BRX_Commu_CameraAccess_WLAN::patientAnswerMs() const
{
    return m_link->timeouts().patientAnswerMs;
}
