#ifndef BRX_COMMU_VIRTUALCAMERAWRITER_H
#define BRX_COMMU_VIRTUALCAMERAWRITER_H

#include "BRX_Commu_VirtualCameraStore.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// The virtual camera's card writer: a thread of its own that makes the files
// of each picture ordered and writes them to the card, one picture after
// another in the order of their releases and each file after the one before
// it. Writing a file takes at least its bytes over the card's speed. A file
// is handed on only once it is written, so that the camera answers its
// release at once and shows a file once it is on the card, as a real
// camera does. Every function may be called from any thread; written is
// called on the writer's thread, with none of the writer's locks held.
class BRX_Commu_VirtualCameraWriter
{
public:
    typedef BRX_Commu_VirtualCameraStore Store;
    // A file on the card; last: the last file of its picture.
    typedef std::function<void(const Store::Object& file, bool last)> Written;

    explicit BRX_Commu_VirtualCameraWriter(const Written& written);
    // Stops and joins the thread: the picture being made is not handed on,
    // the pictures not begun are dropped.
    ~BRX_Commu_VirtualCameraWriter();
    BRX_Commu_VirtualCameraWriter(const BRX_Commu_VirtualCameraWriter&) = delete;
    BRX_Commu_VirtualCameraWriter& operator=(const BRX_Commu_VirtualCameraWriter&) = delete;

    void write(const Store::Order& order);
    // Pictures ordered whose last file is not written yet.
    int picturesInProgress() const;
    // While paused, the card takes no file: files are made and wait.
    void setPaused(bool paused);
    // For benchmarks of a host's downloads: see Store::ReusedFiles.
    void setReusingFiles(bool reusing);

    // What a card of megabytesPerSecond takes to write bytes.
    static std::chrono::microseconds writeTime(qint64 bytes, int megabytesPerSecond);

private:
    typedef std::chrono::steady_clock CardClock;

    void writeOrders();
    // False once the writer stops.
    bool takeOrder(Store::Order* order);
    QVector<Store::Object> filesFor(const Store::Order& order);
    bool waitForCard(CardClock::time_point due);
    void finishPicture();

    const Written m_written;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Store::Order> m_orders;
    int m_inProgress = 0;
    bool m_paused = false;
    bool m_stopping = false;
    bool m_reusingFiles = false;
    // The writer thread's own.
    Store::ReusedFiles m_reused;
    // Last: the thread starts once everything it uses is there.
    std::thread m_thread;
};

#endif
