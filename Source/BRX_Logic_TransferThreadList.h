#ifndef BRX_LOGIC_TRANSFERTHREADLIST_H
#define BRX_LOGIC_TRANSFERTHREADLIST_H

#include <QVector>

#include <mutex>

class QThread;

// The camera model's transfer threads: each is started here and kept until
// it has finished, then deleted when the next one starts or, at the latest,
// when the list is finished. Controller thread.
class BRX_Logic_TransferThreadList
{
public:
    BRX_Logic_TransferThreadList() = default;
    BRX_Logic_TransferThreadList(const BRX_Logic_TransferThreadList&) = delete;
    BRX_Logic_TransferThreadList& operator=(const BRX_Logic_TransferThreadList&) = delete;
    ~BRX_Logic_TransferThreadList() { finishAll(); }

    // Takes thread into the list and starts it.
    void start(QThread* thread);
    // Waits for every thread, asking each to quit, and deletes them. Runs a
    // local event loop rather than blocking, so that what the threads queue
    // for this thread is still delivered while they finish.
    void finishAll();

private:
    void deleteFinished();
    // After a thread has been waited for: what it wrote is seen from here on.
    void seeEnd();

    QVector<QThread*> m_threads;
    // Each thread's last act is to take this: Qt's own wait is no
    // synchronisation ThreadSanitizer sees, this standard mutex is.
    std::mutex m_endMutex;
};

#endif
