#ifndef BRX_COMMU_LIBUSBBULKQUEUE_H
#define BRX_COMMU_LIBUSBBULKQUEUE_H

#include <QDeadlineTimer>
#include <QVector>
#include <QtGlobal>

#include <deque>
#include <mutex>
#include <vector>

struct libusb_context;
struct libusb_device_handle;
struct libusb_transfer;

// One bulk endpoint of an open device, its transfers kept queued: a transfer
// is split into pieces of at most kPieceBytes, of which up to kPiecesInFlight
// are submitted at once, so that the device finds the next one waiting when
// it ends one and never waits for the host.
//
// A piece that ends short ends the transfer, as a short packet does; the
// pieces already queued behind it may have taken the bytes the device sent
// next (on bulk-in, the next container). Those are held and handed out first
// by the next transfer, so the byte stream stays as the device sent it.
//
// Called by one thread at a time (the pipe's bulk side); libusb's callbacks
// run in whichever thread handles its events. No piece is left with libusb
// when transfer() returns.
class BRX_Commu_LibusbBulkQueue
{
public:
    // Each piece costs the host a completion and a submission: large pieces
    // make that vanish. The two in flight, 8 MiB, stay well below the 16 MiB
    // the kernel lends usbfs in all by default; while the device fills one,
    // the next is queued, so it never waits.
    static constexpr quint32 kPieceBytes = 4u << 20;
    static constexpr int kPiecesInFlight = 2;

    BRX_Commu_LibusbBulkQueue(libusb_context* context, libusb_device_handle* handle, quint8 endpoint);
    ~BRX_Commu_LibusbBulkQueue();
    BRX_Commu_LibusbBulkQueue(const BRX_Commu_LibusbBulkQueue&) = delete;
    BRX_Commu_LibusbBulkQueue& operator=(const BRX_Commu_LibusbBulkQueue&) = delete;

    // One transfer of size bytes (0: a zero-length packet out). Ends when
    // size bytes have moved, after a short piece, on an error, or when a
    // piece has not ended within pieceTimeout() of the one before it; *done
    // holds the bytes moved, also on an error or timeout. Returns a libusb
    // error code (LIBUSB_SUCCESS for a transfer that ended).
    int transfer(quint8* data, quint32 size, quint32* done, int timeoutMs);
    // Drops held bytes: after a Device Reset they are stale.
    void clear();

    // How long a piece of size bytes may take: timeoutMs for the device to
    // start, plus the time the bytes take at the slowest rate a camera keeps up.
    static int pieceTimeout(int timeoutMs, quint32 size);
    // A transfer's completion status as the error code the synchronous
    // calls report for it.
    static int errorOf(int transferStatus);

private:
    struct Slot {
        libusb_transfer* transfer = nullptr;
        quint32 offset = 0;
        quint32 length = 0;
        bool finished = false;
        int status = 0;
        quint32 actual = 0;
    };
    // The pieces of the transfer under way.
    struct Run {
        quint8* data;
        quint32 start;
        quint32 size;
        int pieces;
        int submitted;
        int timeoutMs;
    };

    bool takeHeld(quint8* data, quint32 size, quint32* done);
    int collect(Run& run, int result, quint32* done);
    QDeadlineTimer headDeadline(const Run& run) const;
    int submitPieces(Run& run);
    int submit(Run& run);
    bool waitForHead(const QDeadlineTimer& deadline);
    Slot takeHead();
    void cancelInFlight();
    void hold(const quint8* data, const Slot& piece);
    void pieceDone(libusb_transfer* transfer);
    static void callback(libusb_transfer* transfer);

    libusb_context* const m_context;
    libusb_device_handle* const m_handle;
    const quint8 m_endpoint;
    // Guards the slots, whose results the callback writes (a standard
    // mutex, so that ThreadSanitizer sees the hand-over).
    std::mutex m_mutex;
    Slot m_slots[kPiecesInFlight];
    // Slot indices, owned by the calling thread: submitted in this order.
    std::deque<int> m_inFlight;
    std::deque<int> m_free;
    // libusb's "completed" flag: set when a piece has ended.
    int m_news = 0;
    // Bytes that came after a short piece, and where transfers ended in them.
    std::vector<quint8> m_held;
    QVector<quint32> m_heldEnds;
};

#endif
