#ifndef FRAMERECORDER_H
#define FRAMERECORDER_H

#include <QByteArray>
#include <QList>

#include <condition_variable>
#include <mutex>

class BRX_Logic_Camera;

// A host frame callback that keeps every record it is handed: the type, the
// size and a copy of the bytes. The camera calls it on transfer threads and
// the controller thread while tests read it.
class FrameRecorder
{
public:
    struct Record {
        int type;
        unsigned int size;
        QByteArray bytes;
    };

    // Registers this recorder as the camera's frame callback.
    void attach(BRX_Logic_Camera& camera);

    QList<Record> records() const;
    QList<int> types() const;
    int count() const;
    // How many records of type arrived.
    int countOf(int type) const;
    // The bytes of the index-th record of type; empty when there is none.
    QByteArray bytesOf(int type, int index = 0) const;
    void clear();

    // From now on a record of type keeps its sender waiting (after it
    // was recorded) until release(); for holding a download at one point.
    void holdAt(int type);
    void release();

    static void callback(void* context, int type, const void* data, unsigned int size);

private:
    void waitIfHeld(int type);

    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    QList<Record> m_records;
    int m_holdType = -1;
};

#endif
