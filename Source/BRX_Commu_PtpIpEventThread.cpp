#include "BRX_Commu_PtpIpEventThread.h"
#include "BRX_Commu_PtpIpPacket.h"
#include "BRX_Commu_PtpIpReader.h"
#include "BRX_Debug.h"

namespace {

typedef BRX_Commu_PtpIpPacket Packet;
typedef BRX_Commu_PtpIpReader Reader;

} // namespace

BRX_Commu_PtpIpEventThread::BRX_Commu_PtpIpEventThread(BRX_Commu_PtpIpStream& stream,
                                                       const BRX_Commu_PtpTransaction::Timeouts& timeouts,
                                                       EventCallback onEvent, GoneCallback onGone)
    : m_stream(stream)
    , m_timeouts(timeouts)
    , m_onEvent(std::move(onEvent))
    , m_onGone(std::move(onGone))
    , m_thread(&BRX_Commu_PtpIpEventThread::run, this)
{
}

BRX_Commu_PtpIpEventThread::~BRX_Commu_PtpIpEventThread()
{
    m_stop = true;
    m_stream.shutdown();
    m_thread.join();
}

void BRX_Commu_PtpIpEventThread::run()
{
    const std::string label = BRX_METHOD;
    Reader reader(m_stream, label.c_str());
    bool probing = false;
    while (readPacket(reader, &probing)) {
    }
    if (!m_stop)
        m_onGone();
}

// False once the connection is over.
bool BRX_Commu_PtpIpEventThread::readPacket(BRX_Commu_PtpIpReader& reader, bool* probing)
{
    Packet packet;
    const Reader::Result result = reader.next(&packet, m_timeouts.firstAnswerMs, m_timeouts.progressMs);
    if (m_stop)
        return false;
    if (result == Reader::kTimeout && !*probing) {
        *probing = true;
        return send(Packet::kProbeRequest);
    }
    if (result != Reader::kOk) {
        debugPrint(kDebugAlways, "%s - the event connection ended (%d)", BRX_METHOD, int(result));
        return false;
    }
    *probing = false;
    if (packet.type == Packet::kEvent) {
        m_onEvent(BRX_Commu_PtpContainer(BRX_Commu_PtpContainer::kEvent, packet.code, packet.transactionId,
                                         packet.params));
        return true;
    }
    if (packet.type == Packet::kProbeRequest)
        return send(Packet::kProbeResponse);
    if (packet.type == Packet::kProbeResponse)
        return true;
    debugPrint(kDebugAlways, "%s - unexpected %s on the event connection", BRX_METHOD, Packet::typeName(packet.type));
    return false;
}

bool BRX_Commu_PtpIpEventThread::send(quint32 probeType)
{
    const QByteArray packet = Packet::bare(Packet::Type(probeType));
    return m_stream.write(reinterpret_cast<const quint8*>(packet.constData()), quint32(packet.size()),
                          m_timeouts.progressMs)
        == BRX_Commu_PtpIpStream::kOk;
}
