#ifndef BRX_COMMU_CAMERAACCESS_WLAN_H
#define BRX_COMMU_CAMERAACCESS_WLAN_H

#include "BRX_Commu_CameraAccess_Link.h"

#include <QByteArray>
#include <QString>
#include <memory>

class BRX_Commu_PtpIpEventThread;
class BRX_Commu_PtpIpLink;

// The camera access over the network (connection type 2): PTP over TCP/IP
// to one camera at a known address. Discovery connects, introduces the host,
// reads the camera's DeviceInfo and recognises the product by its model;
// transactions run on the command connection, events arrive on the event
// connection's thread. A connection that closes, breaks the protocol or
// falls silent is the camera leaving; discovery tries the address again at
// every period. Without an address it finds nothing and fails every
// transaction. Lives in the controller thread; the three transactions may
// also be called from transfer threads.
class BRX_Commu_CameraAccess_WLAN : public BRX_Commu_CameraAccess_Link
{
    Q_OBJECT
public:
    // The process-wide choice that the factory reads when it creates the
    // access: "host" or "host:port" ("[v6 address]:port"), port 15740 when
    // none is given; empty for none. False (the choice unchanged) for a
    // text that is no address. Any thread.
    static bool select(const QString& address);
    static QString selected();
    // Splits "host[:port]"; false for a text that is no address.
    static bool parseAddress(const QString& address, QString* host, quint16* port);
    // The product of a camera model: the configured models, then the
    // virtual cameras'; 0 for an unknown model.
    static int productIdOfModel(const QString& model);

    explicit BRX_Commu_CameraAccess_WLAN(const QString& address = QString());
    ~BRX_Commu_CameraAccess_WLAN() override;

    bool openConnection(quint64 cameraId, int productId, QString deviceId) override;
    bool closeConnection() override;

    // Ends the connection after the camera has gone (or after closeConnection).
    // False when no camera is open.
    bool closeDevice();

public slots:
    bool checkDeviceAvailable() override;

protected:
    void deviceDeparted(bool silent) override;
    bool isLinkReady(const char* name) override;
    bool attempt(const Transaction& transaction, quint16* responseCode, quint32* received) override;
    int patientAnswerMs() const override;

private:
    int identifyCamera();
    bool openSessions();
    void startEventThread();
    void dropLink();
    QString deviceId() const;

    QString m_host;
    quint16 m_port = 0;
    QByteArray m_guid;
    // The last reason the address could not be used, logged once.
    QString m_lastProblem;
    // Guarded by the device mutex.
    std::unique_ptr<BRX_Commu_PtpIpLink> m_link;
    std::unique_ptr<BRX_Commu_PtpIpEventThread> m_eventThread;
};

#endif
