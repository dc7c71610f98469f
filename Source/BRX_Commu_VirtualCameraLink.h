#ifndef BRX_COMMU_VIRTUALCAMERALINK_H
#define BRX_COMMU_VIRTUALCAMERALINK_H

#include "BRX_Commu_PtpContainer.h"
#include "BRX_Commu_UsbPipe.h"
#include "BRX_Commu_VirtualCameraDevice.h"

#include <QByteArray>
#include <QList>
#include <QVector>

// The USB side of the virtual camera's bulk endpoints: assembles the host's
// packets into containers, checks the framing as a device must, hands
// operations to the device logic and queues its containers as packets.
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

    BRX_Commu_VirtualCameraLink(BRX_Commu_VirtualCameraDevice* device, quint32 packetSize);

    quint32 packetSize() const { return m_packetSize; }
    // One bulk-out transfer from the host.
    BRX_Commu_UsbPipe::Status receive(const quint8* data, quint32 size, quint32* accepted);
    // One bulk-in transfer to the host, by the pipe's rules.
    BRX_Commu_UsbPipe::Status send(quint8* data, quint32 capacity, quint32* received);
    // Clear-halt or device reset: drops partial containers and queued packets.
    void reset();

    void setQuirks(int quirks) { m_quirks = quirks; }
    // The next data phase to the host stops after bytes payload bytes.
    void truncateNextDataPhase(quint32 bytes);
    // The command of opCode pulls the plug instead of being answered.
    void unplugOnOperation(quint16 opCode) { m_unplugOperation = opCode; }
    bool takeUnplugRequest();
    // The next response carries a transaction ID one too high.
    void misnumberNextResponse() { m_misnumberResponse = true; }
    // The next bulk-in transfer stalls the endpoint until reset.
    void stallNextBulkIn() { m_stallPending = true; }
    // Framing errors seen from the host (missing or spurious zero-length
    // packets, truncated or unexpected containers).
    int protocolErrors() const { return m_protocolErrors; }

private:
    // Bytes the host reads as one unit, kept as the parts they were queued
    // in: a data phase's payload stays shared with the object it came from.
    struct Segment {
        QVector<QByteArray> parts;
        int part = 0;       // the part the next byte comes from
        int partOffset = 0; // the next byte within that part
        quint32 size = 0;
        quint32 sent = 0;
        bool zeroLengthPacket = true;
    };

    void receivePacket(const quint8* data, quint32 size);
    void containerComplete(const QByteArray& bytes);
    void commandReceived(const BRX_Commu_PtpContainer& command, const QByteArray& bytes);
    void dataReceived(const BRX_Commu_PtpContainer& header, const QByteArray& bytes);
    void execute(const BRX_Commu_PtpContainer& command, const QByteArray& dataOut);
    void queueReply(const BRX_Commu_PtpContainer& command, const BRX_Commu_VirtualCameraDevice::Reply& reply);
    void queueResponse(quint16 code, quint32 transactionId);
    void queue(const QVector<QByteArray>& parts, bool endWithShortPacket);
    static void copyOut(Segment& segment, quint8* data, quint32 count);

    BRX_Commu_VirtualCameraDevice* m_device;
    const quint32 m_packetSize;
    int m_quirks = 0;
    qint64 m_truncateAt = -1;
    quint16 m_unplugOperation = 0;
    bool m_unplugRequested = false;
    bool m_misnumberResponse = false;
    bool m_stallPending = false;
    bool m_stalled = false;
    int m_protocolErrors = 0;

    QByteArray m_incoming;
    bool m_expectZeroLengthPacket = false;
    bool m_awaitingData = false;
    BRX_Commu_PtpContainer m_pendingCommand;
    QList<Segment> m_outgoing;
};

#endif
