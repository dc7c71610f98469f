#ifndef BRX_COMMU_USBEVENTASSEMBLER_H
#define BRX_COMMU_USBEVENTASSEMBLER_H

#include <QByteArray>
#include <QtGlobal>

// Joins the interrupt-endpoint packets of one event container. A container
// ends when its length field is reached or with a short packet, so devices
// that leave out the zero-length packet after a container of whole packets
// are served too; a zero-length packet between containers is skipped.
class BRX_Commu_UsbEventAssembler
{
public:
    explicit BRX_Commu_UsbEventAssembler(quint32 packetSize);

    // Adds one packet; true when it completes a container, which is then
    // stored in *container.
    bool addPacket(const quint8* data, quint32 size, QByteArray* container);

private:
    bool isComplete(quint32 lastPacketSize) const;

    const quint32 m_packetSize;
    QByteArray m_partial;
};

#endif
