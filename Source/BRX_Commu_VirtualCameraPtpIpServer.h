#ifndef BRX_COMMU_VIRTUALCAMERAPTPIPSERVER_H
#define BRX_COMMU_VIRTUALCAMERAPTPIPSERVER_H

#include "BRX_Commu_TcpListener.h"

#include <QHash>
#include <QList>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class BRX_Commu_PtpIpPacket;
class BRX_Commu_PtpIpReader;
class BRX_Commu_PtpIpStream;
class BRX_Commu_VirtualCamera;

// The virtual camera as a PTP/IP responder, beside its USB link on the same
// device logic: any initiator that introduces itself (any GUID and name)
// gets a command/data connection and an event connection, one host at a
// time, as a camera; another is answered Init Fail (busy). The camera's
// events go out on the event connection and probes are answered.
// Unplugging the camera closes both connections, as a camera switched off
// does, and refuses new ones until it is plugged in again. Everything the
// peer sends is bounded: a new connection must introduce itself within the
// handshake limit, and only so many may be waiting for that at once; more
// are closed as they come. Threads of its own: one accepts, one serves each
// connection, so at most the waiting limit and two more serve. Every
// function may be called from any thread.
class BRX_Commu_VirtualCameraPtpIpServer
{
public:
    // Ways to break the protocol, for tests of a host: each is fired by the
    // reply to the next operation of its code.
    enum Misbehaviour {
        kOversizedLength, // the reply's length field runs far past any packet
        kUnknownType,     // a packet of a type the standard does not know instead of the reply
        kStopInData,      // the data phase stops inside a packet; the connection stays open, silent
        kSilence,         // no reply at all, not even to Cancel
    };

    struct Limits {
        int waitingConnections = 4; // connections not yet introduced
        int handshakeMs = 5000;     // from a connection's acceptance to its first packet, whole
    };

    // Listens on address at port (0: a free port that port() tells).
    BRX_Commu_VirtualCameraPtpIpServer(std::shared_ptr<BRX_Commu_VirtualCamera> camera, quint16 port = 0,
                                       const QString& address = QStringLiteral("127.0.0.1"));
    BRX_Commu_VirtualCameraPtpIpServer(std::shared_ptr<BRX_Commu_VirtualCamera> camera, quint16 port,
                                       const QString& address, const Limits& limits);
    // Closes every connection and joins the threads.
    ~BRX_Commu_VirtualCameraPtpIpServer();

    BRX_Commu_VirtualCameraPtpIpServer(const BRX_Commu_VirtualCameraPtpIpServer&) = delete;
    BRX_Commu_VirtualCameraPtpIpServer& operator=(const BRX_Commu_VirtualCameraPtpIpServer&) = delete;

    bool isListening() const { return m_listener.isListening(); }
    QString error() const { return m_listener.error(); }
    quint16 port() const { return m_listener.port(); }
    // "address:port", as a host names it.
    QString hostAndPort() const;
    void misbehave(quint16 opCode, Misbehaviour misbehaviour);
    // Hosts that have opened a command connection so far.
    int connectionCount() const;
    // Connections closed at once because too many were waiting.
    int turnedAwayCount() const;

private:
    struct Session;
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    void acceptConnections();
    void admitConnection(std::unique_ptr<BRX_Commu_PtpIpStream> stream);
    void reapWorkers();
    void greetHost(BRX_Commu_PtpIpStream* stream);
    void serveCommands(BRX_Commu_PtpIpStream& stream, BRX_Commu_PtpIpReader& reader,
                       const BRX_Commu_PtpIpPacket& request);
    void serveEvents(BRX_Commu_PtpIpStream& stream, BRX_Commu_PtpIpReader& reader,
                     const BRX_Commu_PtpIpPacket& request);
    bool serveOperation(Session& session, BRX_Commu_PtpIpReader& reader, const BRX_Commu_PtpIpPacket& request);
    bool receiveData(BRX_Commu_PtpIpReader& reader, quint32 transactionId, QByteArray* data);
    bool sendReply(Session& session, quint32 transactionId, quint16 code, const QByteArray* data);
    bool sendData(Session& session, quint32 transactionId, const QByteArray& data, bool stopHalfway);
    bool passEvent(Session& session, BRX_Commu_PtpIpStream& stream);
    bool answerProbes(BRX_Commu_PtpIpStream& stream, BRX_Commu_PtpIpReader& reader);
    bool takeMisbehaviour(quint16 opCode, Misbehaviour* misbehaviour);
    void finishSession(const std::shared_ptr<Session>& session);
    void registerStream(BRX_Commu_PtpIpStream* stream, bool open);

    const std::shared_ptr<BRX_Commu_VirtualCamera> m_camera;
    const Limits m_limits;
    BRX_Commu_TcpListener m_listener;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::shared_ptr<Session> m_session;
    quint32 m_connections = 0;
    int m_waiting = 0;
    int m_turnedAway = 0;
    QList<BRX_Commu_PtpIpStream*> m_streams;
    QHash<quint16, Misbehaviour> m_misbehaviours;
    std::vector<Worker> m_workers; // the accepting thread's own
    std::thread m_acceptor;
};

#endif
