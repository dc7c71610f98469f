#include "BRX_Commu_LibusbBulkQueue.h"

#include <algorithm>
#include <cstring>
#include <libusb.h>

namespace {

// The slowest rate a camera still counts as working: 1 MB/s.
const quint32 kSlowestBytesPerMs = 1024;
// How long one wait for libusb's events lasts when no deadline limits it.
const qint64 kWaitSliceMs = 1000;

bool isIn(quint8 endpoint)
{
    return endpoint & LIBUSB_ENDPOINT_IN;
}

} // namespace

BRX_Commu_LibusbBulkQueue::BRX_Commu_LibusbBulkQueue(libusb_context* context, libusb_device_handle* handle,
                                                     quint8 endpoint)
    : m_context(context)
    , m_handle(handle)
    , m_endpoint(endpoint)
{
    for (int i = 0; i < kPiecesInFlight; ++i) {
        m_slots[i].transfer = libusb_alloc_transfer(0);
        m_free.push_back(i);
    }
}

BRX_Commu_LibusbBulkQueue::~BRX_Commu_LibusbBulkQueue()
{
    for (Slot& slot : m_slots)
        libusb_free_transfer(slot.transfer);
}

int BRX_Commu_LibusbBulkQueue::pieceTimeout(int timeoutMs, quint32 size)
{
    return timeoutMs + int(size / kSlowestBytesPerMs);
}

int BRX_Commu_LibusbBulkQueue::errorOf(int transferStatus)
{
    static const struct {
        int transferStatus;
        int error;
    } table[] = {
        {LIBUSB_TRANSFER_COMPLETED, LIBUSB_SUCCESS},  {LIBUSB_TRANSFER_TIMED_OUT, LIBUSB_ERROR_TIMEOUT},
        {LIBUSB_TRANSFER_STALL, LIBUSB_ERROR_PIPE},   {LIBUSB_TRANSFER_NO_DEVICE, LIBUSB_ERROR_NO_DEVICE},
        {LIBUSB_TRANSFER_OVERFLOW, LIBUSB_ERROR_OVERFLOW},
    };
    for (const auto& entry : table) {
        if (entry.transferStatus == transferStatus)
            return entry.error;
    }
    return LIBUSB_ERROR_IO;
}

void BRX_Commu_LibusbBulkQueue::clear()
{
    m_held.clear();
    m_heldEnds.clear();
}

// Pieces are taken from the front in the order they were submitted, which is
// the order the device fills them in. Once one ends short or fails, nothing
// more is submitted, the rest are cancelled, and what they brought is held.
int BRX_Commu_LibusbBulkQueue::transfer(quint8* data, quint32 size, quint32* done, int timeoutMs)
{
    *done = 0;
    if (takeHeld(data, size, done))
        return LIBUSB_SUCCESS;
    const quint32 rest = size - *done;
    Run run{data, *done, size, int(std::max(1u, (rest + kPieceBytes - 1) / kPieceBytes)), 0, timeoutMs};
    const int result = submitPieces(run);
    if (result != LIBUSB_SUCCESS)
        cancelInFlight();
    return collect(run, result, done);
}

// Takes the pieces as they end, submitting more while the transfer goes on.
int BRX_Commu_LibusbBulkQueue::collect(Run& run, int result, quint32* done)
{
    bool stopped = result != LIBUSB_SUCCESS;
    bool ended = false;
    QDeadlineTimer deadline = headDeadline(run);
    while (!m_inFlight.empty()) {
        if (!waitForHead(stopped ? QDeadlineTimer(QDeadlineTimer::Forever) : deadline)) {
            cancelInFlight();
            stopped = true;
            result = LIBUSB_ERROR_TIMEOUT;
            continue;
        }
        const Slot piece = takeHead();
        if (ended) {
            hold(run.data, piece);
            continue;
        }
        *done += piece.actual;
        const bool full = piece.status == LIBUSB_TRANSFER_COMPLETED && piece.actual == piece.length;
        if (!full) {
            ended = true;
            result = result == LIBUSB_SUCCESS ? errorOf(piece.status) : result;
        } else if (!stopped) {
            result = submitPieces(run);
            deadline = headDeadline(run);
        }
        if (!stopped && (!full || result != LIBUSB_SUCCESS)) {
            cancelInFlight();
            stopped = true;
        }
    }
    return result;
}

// The piece now at the front may take its time from now on.
QDeadlineTimer BRX_Commu_LibusbBulkQueue::headDeadline(const Run& run) const
{
    const quint32 length = m_inFlight.empty() ? 0 : m_slots[m_inFlight.front()].length;
    return QDeadlineTimer(pieceTimeout(run.timeoutMs, length));
}

// Held bytes up to the next place where a transfer ended, as much as fits;
// true when that completes this transfer.
bool BRX_Commu_LibusbBulkQueue::takeHeld(quint8* data, quint32 size, quint32* done)
{
    if (m_held.empty() && m_heldEnds.isEmpty())
        return false;
    const quint32 end = m_heldEnds.isEmpty() ? quint32(m_held.size()) : m_heldEnds.first();
    const quint32 count = std::min(size, end);
    std::memcpy(data, m_held.data(), count);
    m_held.erase(m_held.begin(), m_held.begin() + count);
    for (quint32& heldEnd : m_heldEnds)
        heldEnd -= count;
    const bool ended = !m_heldEnds.isEmpty() && m_heldEnds.first() == 0;
    if (ended)
        m_heldEnds.removeFirst();
    *done = count;
    return ended || count == size;
}

int BRX_Commu_LibusbBulkQueue::submitPieces(Run& run)
{
    while (!m_free.empty() && run.submitted < run.pieces) {
        const int result = submit(run);
        if (result != LIBUSB_SUCCESS)
            return result;
    }
    return LIBUSB_SUCCESS;
}

// libusb's own timeout stays off: the time a piece may take counts from the
// end of the one before it, which the queue watches.
int BRX_Commu_LibusbBulkQueue::submit(Run& run)
{
    const int index = m_free.front();
    Slot& slot = m_slots[index];
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        slot.offset = run.start + quint32(run.submitted) * kPieceBytes;
        slot.length = std::min(kPieceBytes, run.size - slot.offset);
        slot.finished = false;
        slot.actual = 0;
    }
    libusb_fill_bulk_transfer(slot.transfer, m_handle, m_endpoint, run.data + slot.offset, int(slot.length),
                              &BRX_Commu_LibusbBulkQueue::callback, this, 0);
    const int result = libusb_submit_transfer(slot.transfer);
    if (result != LIBUSB_SUCCESS)
        return result;
    m_free.pop_front();
    m_inFlight.push_back(index);
    ++run.submitted;
    return LIBUSB_SUCCESS;
}

bool BRX_Commu_LibusbBulkQueue::waitForHead(const QDeadlineTimer& deadline)
{
    for (;;) {
        {
            std::lock_guard<std::mutex> locker(m_mutex);
            if (m_slots[m_inFlight.front()].finished)
                return true;
            m_news = 0;
        }
        if (deadline.hasExpired())
            return false;
        const qint64 left = deadline.isForever() ? kWaitSliceMs : deadline.remainingTime();
        timeval timeout = {long(left / 1000), long(left % 1000) * 1000};
        libusb_handle_events_timeout_completed(m_context, &timeout, &m_news);
    }
}

BRX_Commu_LibusbBulkQueue::Slot BRX_Commu_LibusbBulkQueue::takeHead()
{
    const int index = m_inFlight.front();
    m_inFlight.pop_front();
    m_free.push_back(index);
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_slots[index];
}

// A piece that has ended already is not found; it comes back as it is.
void BRX_Commu_LibusbBulkQueue::cancelInFlight()
{
    for (int index : m_inFlight)
        libusb_cancel_transfer(m_slots[index].transfer);
}

// A piece that ended with a short packet (or a zero-length one) marks where
// a transfer of the device ended.
void BRX_Commu_LibusbBulkQueue::hold(const quint8* data, const Slot& piece)
{
    if (!isIn(m_endpoint))
        return;
    m_held.insert(m_held.end(), data + piece.offset, data + piece.offset + piece.actual);
    if (piece.status == LIBUSB_TRANSFER_COMPLETED && piece.actual < piece.length)
        m_heldEnds.append(quint32(m_held.size()));
}

void BRX_Commu_LibusbBulkQueue::pieceDone(libusb_transfer* transfer)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    for (Slot& slot : m_slots) {
        if (slot.transfer == transfer) {
            slot.finished = true;
            slot.status = transfer->status;
            slot.actual = quint32(transfer->actual_length);
        }
    }
    m_news = 1;
}

void BRX_Commu_LibusbBulkQueue::callback(libusb_transfer* transfer)
{
    static_cast<BRX_Commu_LibusbBulkQueue*>(transfer->user_data)->pieceDone(transfer);
}
