#include "FrameRecorder.h"

#include "BRX_Logic_Camera.h"

void FrameRecorder::attach(BRX_Logic_Camera& camera)
{
    camera.setFrameCallback(&FrameRecorder::callback, this);
}

QList<FrameRecorder::Record> FrameRecorder::records() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_records;
}

QList<int> FrameRecorder::types() const
{
    QList<int> types;
    for (const Record& record : records())
        types << record.type;
    return types;
}

int FrameRecorder::count() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_records.size();
}

int FrameRecorder::countOf(int type) const
{
    return types().count(type);
}

QByteArray FrameRecorder::bytesOf(int type, int index) const
{
    for (const Record& record : records()) {
        if (record.type == type && index-- == 0)
            return record.bytes;
    }
    return QByteArray();
}

void FrameRecorder::clear()
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_records.clear();
}

void FrameRecorder::holdAt(int type)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_holdType = type;
}

void FrameRecorder::release()
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_holdType = -1;
    m_released.notify_all();
}

void FrameRecorder::waitIfHeld(int type)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    if (type == m_holdType)
        m_released.wait(locker, [this] { return m_holdType == -1; });
}

// The data is valid only during the call, so it is copied at once.
void FrameRecorder::callback(void* context, int type, const void* data, unsigned int size)
{
    auto* recorder = static_cast<FrameRecorder*>(context);
    const QByteArray bytes = data ? QByteArray(static_cast<const char*>(data), int(size)) : QByteArray();
    {
        std::lock_guard<std::mutex> locker(recorder->m_mutex);
        recorder->m_records.append({type, size, bytes});
    }
    recorder->waitIfHeld(type);
}
