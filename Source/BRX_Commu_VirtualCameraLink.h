#ifndef BRX_COMMU_VIRTUALCAMERALINK_H
#define BRX_COMMU_VIRTUALCAMERALINK_H

#include "BRX_Commu_PtpContainer.h"
#include "BRX_Commu_UsbPipe.h"
#include "BRX_Commu_VirtualCameraDevice.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QVector>
#include <functional>

// The USB side of the virtual camera's bulk endpoints: assembles the host's
// packets into containers, checks the framing as a device must, hands
// operations to the device logic and queues its containers as packets; it
// answers the class requests and misbehaves on request (faults).
// Not thread-safe: its owner locks.
class BRX_Commu_VirtualCameraLink
{
public:
    // Ways real devices differ in what they send; combined as flags.
    enum Quirk {
        kHeaderInOwnPacket = 0x1,  // a data container's header is a packet of its own
        kResponseGlued = 0x2,      // the response follows the data in the same packet
        kNoZeroLengthPacket = 0x4, // no zero-length packet after a container of whole packets
        kUnknownDataLength = 0x8,  // data length 0xFFFFFFFF, ended by a short packet
    };

    // A misbehaviour, fired by the next command of opCode (0: any command).
    // Faults fire in the order injected; a run of faults with the same cue
    // acts on one transaction. bytes counts payload bytes of the data phase
    // and is rounded down to whole packets where the device must stop
    // between packets.
    struct Fault {
        enum Kind {
            kLateAnswer,   // the whole reply goes out ms late, Cancel or not
            kPauseInData,  // the reply stops for ms after bytes
            kStallBulkIn,  // bulk-in halts after bytes; an error response follows
            kStallBulkOut, // bulk-out halts after bytes of the host's data phase; likewise
            kShortData,    // the data phase ends after bytes (its length field unchanged)
            kLongData,     // the data container carries bytes more than its length says
            kWrongType,    // the first container of the reply has the event type
            kMisnumbered,  // the response carries a transaction ID one too high
            kBusy,         // every operation answers Device Busy for ms (or until a reset)
            kVanish,       // the camera leaves the bus after bytes of the reply (0: on the command)
            kSilence,      // nothing answers for ms (0: for ever), the status says busy
        };
        Kind kind;
        quint16 opCode;
        quint32 bytes;
        int ms;
    };
    // Milliseconds on the camera's clock.
    typedef std::function<qint64()> Clock;

    BRX_Commu_VirtualCameraLink(BRX_Commu_VirtualCameraDevice* device, quint32 packetSize);

    quint32 packetSize() const { return m_packetSize; }
    // The clock that late and paused answers wait for; steady time unless set.
    void setClock(const Clock& clock) { m_clock = clock; }
    // One bulk-out transfer from the host; kStall while bulk-out is halted.
    BRX_Commu_UsbPipe::Status receive(const quint8* data, quint32 size, quint32* accepted);
    // One bulk-in transfer to the host, by the pipe's rules: kOk when it
    // ended, kTimeout while it waits for bytes that are not due yet
    // (*received holds the whole packets sent so far), kStall, and kNoDevice
    // when the camera leaves the bus (takeUnplugRequest then says so).
    BRX_Commu_UsbPipe::Status send(quint8* data, quint32 capacity, quint32* received);
    // Milliseconds until held bytes are due; -1 when nothing is held.
    qint64 msUntilDue() const;

    // The class requests and Clear Feature (halt).
    void cancel(quint32 transactionId);
    BRX_Commu_UsbPipe::DeviceStatus deviceStatus() const;
    void clearHalt(BRX_Commu_UsbPipe::Endpoint endpoint);
    // Drops partial containers, queued packets, halts and a busy spell;
    // ends the session.
    void resetDevice();

    void setQuirks(int quirks) { m_quirks = quirks; }
    void injectFault(const Fault& fault) { m_faults.append(fault); }
    // Faults injected and not fired yet.
    int pendingFaults() const { return m_faults.size(); }
    bool takeUnplugRequest();
    // Framing errors seen from the host (missing or spurious zero-length
    // packets, truncated or unexpected containers).
    int protocolErrors() const { return m_protocolErrors; }

private:
    enum Gate { kOpen, kStallGate, kVanishGate };
    // Bytes the host reads as one unit, kept as the parts they were queued
    // in: a data phase's payload stays shared with the object it came from.
    struct Segment {
        QVector<QByteArray> parts;
        int part = 0;       // the part the next byte comes from
        int partOffset = 0; // the next byte within that part
        quint32 size = 0;
        quint32 sent = 0;
        bool zeroLengthPacket = true;
        quint32 transactionId = 0;
        qint64 due = 0;            // not sent before this time
        bool keptOnCancel = false; // a late answer comes whatever the host says
        Gate gate = kOpen;         // what happens before its first byte
    };
    typedef QList<Segment> Reply;
    // What the reply's faults change in its containers.
    struct Shape {
        qint64 payloadLimit = -1;
        quint32 surplus = 0;
        bool eventType = false;
        quint32 responseIdOffset = 0;
    };

    qint64 now() const;
    bool isSilent() const;
    void receivePacket(const quint8* data, quint32 size);
    bool stallsDataOut(quint32 size);
    void containerComplete(const QByteArray& bytes);
    void commandReceived(const BRX_Commu_PtpContainer& command, const QByteArray& bytes);
    void takeFaults(quint16 opCode);
    void armCommandFaults();
    void dataReceived(const BRX_Commu_PtpContainer& header, const QByteArray& bytes);
    void execute(const BRX_Commu_PtpContainer& command, const QByteArray& dataOut);
    Shape shapeOfReply() const;
    Reply buildReply(const BRX_Commu_PtpContainer& command, const BRX_Commu_VirtualCameraDevice::Reply& reply,
                     const Shape& shape) const;
    void applyTimingFault(const Fault& fault, bool hasData, Reply& reply) const;
    int splitAt(Reply& reply, quint32 offset) const;
    void queueResponse(quint16 code, quint32 transactionId);
    Segment makeSegment(const QVector<QByteArray>& parts, bool endWithShortPacket, quint32 transactionId) const;
    BRX_Commu_UsbPipe::Status passGate(Segment& segment);
    void abortTransaction(quint32 transactionId);
    void dropSegments(quint32 transactionId, bool keepLateAnswers);
    static void copyOut(Segment& segment, quint8* data, quint32 count);

    BRX_Commu_VirtualCameraDevice* m_device;
    const quint32 m_packetSize;
    Clock m_clock;
    int m_quirks = 0;
    int m_protocolErrors = 0;

    QList<Fault> m_faults;
    // The faults fired by the command being served.
    QList<Fault> m_active;
    bool m_unplugRequested = false;
    bool m_stalledIn = false;
    bool m_stalledOut = false;
    qint64 m_stallOutAt = -1;
    qint64 m_busyUntil = 0;
    qint64 m_silentUntil = 0;

    QByteArray m_incoming;
    bool m_expectZeroLengthPacket = false;
    bool m_awaitingData = false;
    BRX_Commu_PtpContainer m_pendingCommand;
    QList<Segment> m_outgoing;
};

Q_DECLARE_METATYPE(BRX_Commu_VirtualCameraLink::Fault)

#endif
