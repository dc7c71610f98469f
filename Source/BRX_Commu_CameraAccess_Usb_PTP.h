#ifndef BRX_COMMU_CAMERAACCESS_USB_PTP_H
#define BRX_COMMU_CAMERAACCESS_USB_PTP_H

#include "BRX_Commu_CameraAccess_Link.h"
#include "BRX_Commu_DeviceEntry.h"
#include "BRX_Commu_PtpUsbLink.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>

class BRX_Commu_UsbEventThread;
class BRX_Commu_UsbPipe;
class BRX_Commu_UsbScanner;

// The camera access over PTP on USB (connection type 1): discovery through a
// scanner, transactions over a USB pipe, events from the pipe's interrupt
// endpoint. The same class drives real hardware and the virtual camera.
// Lives in the controller thread; the three transactions may also be called
// from transfer threads.
class BRX_Commu_CameraAccess_Usb_PTP : public BRX_Commu_CameraAccess_Link
{
    Q_OBJECT
public:
    // scanner may be null when no USB binding is available: nothing is found.
    explicit BRX_Commu_CameraAccess_Usb_PTP(std::shared_ptr<BRX_Commu_UsbScanner> scanner);
    ~BRX_Commu_CameraAccess_Usb_PTP() override;

    bool openConnection(quint64 cameraId, int productId, QString deviceId) override;
    bool closeConnection() override;

    // Ends the connection after the device has gone (or after closeConnection).
    // False when no camera is open.
    bool closeDevice();
    bool closeVQSession();
    // The virtual camera in this process has no socket.
    QString portPath() const override;

public slots:
    bool checkDeviceAvailable() override;

protected:
    void deviceDeparted(bool silent) override;
    void deviceFlooded() override;
    bool isLinkReady(const char* name) override;
    bool attempt(const Transaction& transaction, quint16* responseCode, quint32* received) override;
    int patientAnswerMs() const override;

private:
    // kForeign: a PTP device that is no camera of ours.
    enum OpenOutcome { kOpened, kNotOpened, kForeign };

    void afterFailure(BRX_Commu_PtpUsbLink::Result result);
    void reopenSessionsLocked();
    OpenOutcome openDevice(const QString& deviceId);
    OpenOutcome checkIdentity(const QString& deviceId);
    bool readDeviceInfo(const QString& deviceId, QByteArray& deviceInfo);
    void endEarlierSession();
    void abandonDevice(const QString& deviceId, OpenOutcome outcome);
    bool openPipe(const QString& deviceId);
    void closePipe();
    bool openSessions(const QString& deviceId);
    bool closePtpSession();
    void registerForEventNotifications();
    void unregisterForEventNotifications();
    QList<BRX_Commu_DeviceEntry> scanCandidates();
    void holdBackSilentDevices(QList<BRX_Commu_DeviceEntry>& candidates);
    void forgetAbsentDevices(const QList<BRX_Commu_DeviceEntry>& present);
    bool answersAgain(const QString& deviceId);
    void forgetDevice(const QString& deviceId);

    QList<BRX_Commu_DeviceEntry> m_knownDevices;
    // Cameras closed because they stopped answering; announced again once
    // they report ready.
    QStringList m_silentDevices;
    // Devices whose last opening failed; tried again after the others.
    QStringList m_unopenedDevices;
    std::shared_ptr<BRX_Commu_UsbScanner> m_scanner;
    std::shared_ptr<BRX_Commu_UsbPipe> m_pipe;
    std::unique_ptr<BRX_Commu_PtpUsbLink> m_link;
    QString m_deviceId;
    quint32 m_cameraId = 0;
    std::unique_ptr<BRX_Commu_UsbEventThread> m_eventThread;
    // Transactions in a row that found the camera silent even after a
    // reset; guarded by m_deviceMutex.
    int m_silentTransactions = 0;
};

#endif
