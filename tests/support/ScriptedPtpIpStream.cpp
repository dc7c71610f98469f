#include "ScriptedPtpIpStream.h"
#include "BRX_Commu_ByteReader.h"

#include <QDeadlineTimer>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

// A quiet spell is waited out in slices, so that shutdown ends it early.
const int kSliceMs = 5;
// A fuzz script's control byte that repeats the previous piece, and the
// most bytes its repeats add.
const quint8 kRepeat = 0xFD;
const qint64 kMaxRepeated = 32 << 20;

} // namespace

ScriptedPtpIpStream::ScriptedPtpIpStream(const QByteArray& script)
{
    BRX_Commu_ByteReader reader(script.constData(), quint32(script.size()));
    QByteArray previous;
    qint64 repeated = 0;
    while (reader.hasRemaining(1)) {
        const quint8 control = reader.readU8();
        if (control == kRepeat) {
            for (int times = reader.readU16(); times > 0 && repeated < kMaxRepeated; --times) {
                addBytes(previous);
                repeated += previous.size() + 1;
            }
            continue;
        }
        if (control % 8 == 6) {
            addTimeout();
            continue;
        }
        if (control % 8 == 7)
            break;
        const quint32 count = std::min<quint32>(reader.readU16(), quint32(script.size()) - reader.position());
        previous = script.mid(int(reader.position()), int(count));
        addBytes(previous);
        reader.skip(count);
    }
}

void ScriptedPtpIpStream::addQuiet(int ms)
{
    if (ms > 0)
        m_steps << Step{kTimeout, QByteArray(), ms, 0};
}

void ScriptedPtpIpStream::addTrickle(const QByteArray& bytes, int intervalMs)
{
    for (const char byte : bytes) {
        addQuiet(intervalMs);
        addBytes(QByteArray(1, byte));
    }
}

BRX_Commu_PtpIpStream::Status ScriptedPtpIpStream::read(quint8* data, quint32 capacity, quint32* received,
                                                        int timeoutMs)
{
    *received = 0;
    if (m_shutdown)
        return kClosed;
    if (m_steps.isEmpty())
        return m_end;
    Step& step = m_steps.first();
    if (step.status != kOk && step.quietMs > 0) {
        if (!waitQuietly(step, timeoutMs))
            return m_shutdown ? kClosed : kTimeout;
        m_steps.removeFirst();
        return read(data, capacity, received, 0);
    }
    if (step.status != kOk) {
        m_steps.removeFirst();
        return kTimeout;
    }
    if (step.quietMs > 0)
        waitQuietly(step, step.quietMs);
    *received = std::min(capacity, quint32(step.bytes.size() - step.taken));
    std::memcpy(data, step.bytes.constData() + step.taken, *received);
    step.taken += int(*received);
    if (step.taken == step.bytes.size())
        m_steps.removeFirst();
    return *received ? kOk : read(data, capacity, received, 0);
}

// Waits out as much of the spell as timeoutMs allows; true once it is over.
bool ScriptedPtpIpStream::waitQuietly(Step& step, int timeoutMs)
{
    const int waitMs = std::min(step.quietMs, std::max(timeoutMs, 0));
    const QDeadlineTimer end(waitMs);
    while (!end.hasExpired() && !m_shutdown)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min<qint64>(kSliceMs, end.remainingTime())));
    step.quietMs -= waitMs;
    return step.quietMs == 0;
}

BRX_Commu_PtpIpStream::Status ScriptedPtpIpStream::write(const quint8* data, quint32 size, int)
{
    if (m_shutdown)
        return kClosed;
    m_written.append(reinterpret_cast<const char*>(data), int(size));
    return kOk;
}
