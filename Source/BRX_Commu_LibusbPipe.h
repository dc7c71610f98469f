#ifndef BRX_COMMU_LIBUSBPIPE_H
#define BRX_COMMU_LIBUSBPIPE_H

#include "BRX_Commu_LibusbBulkQueue.h"
#include "BRX_Commu_UsbDeviceFilter.h"
#include "BRX_Commu_UsbEventAssembler.h"
#include "BRX_Commu_UsbPipe.h"

#include <QByteArray>
#include <QList>
#include <mutex>
#include <atomic>
#include <memory>
#include <vector>

class BRX_Commu_LibusbContext;
struct libusb_device_handle;
struct libusb_transfer;

// The USB pipe over libusb.
//
// Bulk transfers keep several pieces queued (BRX_Commu_LibusbBulkQueue), so
// that a large data phase streams at the link's rate.
//
// Events: while the pipe is open, one asynchronous interrupt transfer of one
// packet stays submitted, so no event is lost between two interruptIn calls;
// its packets are joined into containers, which interruptIn hands out while
// it runs libusb's event handling. Only the destructor cancels that transfer;
// it must not run while another thread is inside a pipe function.
class BRX_Commu_LibusbPipe : public BRX_Commu_UsbPipe
{
public:
    // Takes over handle, whose interface interfaceNumber has been claimed.
    BRX_Commu_LibusbPipe(std::shared_ptr<BRX_Commu_LibusbContext> context, libusb_device_handle* handle,
                         int interfaceNumber, const BRX_Commu_UsbDeviceFilter::Endpoints& endpoints);
    ~BRX_Commu_LibusbPipe() override;
    BRX_Commu_LibusbPipe(const BRX_Commu_LibusbPipe&) = delete;
    BRX_Commu_LibusbPipe& operator=(const BRX_Commu_LibusbPipe&) = delete;

    quint32 maxPacketSize() const override;
    Status bulkOut(const quint8* data, quint32 size, quint32* sent, int timeoutMs) override;
    Status bulkIn(quint8* data, quint32 capacity, quint32* received, int timeoutMs) override;
    Status interruptIn(quint8* data, quint32 capacity, quint32* received, int timeoutMs) override;
    Status cancelTransaction(quint32 transactionId) override;
    Status getDeviceStatus(DeviceStatus* status) override;
    Status resetDevice() override;
    Status clearHalt(Endpoint endpoint) override;

    // Maps a libusb error code (0 for success) to a pipe status.
    static Status toStatus(int libusbError);

private:
    Status bulkTransfer(BRX_Commu_LibusbBulkQueue& queue, quint8* data, quint32 size, quint32* done,
                        int timeoutMs);
    Status controlRequest(quint8 requestType, quint8 request, quint8* data, quint16 length,
                          quint32* transferred);
    Status check(const char* label, int libusbError);
    Endpoint endpointAt(quint32 address) const;
    Status takeEvent(quint8* data, quint32 capacity, quint32* received);
    Status restartEvents();
    Status submitEventTransfer();
    void waitForEvents(qint64 timeoutMs);
    void cancelEventTransfer();
    void eventTransferDone(libusb_transfer* transfer);
    static void eventCallback(libusb_transfer* transfer);

    std::shared_ptr<BRX_Commu_LibusbContext> m_context;
    libusb_device_handle* m_handle;
    const int m_interface;
    const BRX_Commu_UsbDeviceFilter::Endpoints m_endpoints;
    std::atomic<bool> m_gone{false};
    BRX_Commu_LibusbBulkQueue m_bulkIn;
    BRX_Commu_LibusbBulkQueue m_bulkOut;

    // Event side; the callback runs in whichever thread handles libusb's
    // events, so everything below is guarded by m_eventMutex (a standard
    // mutex, so that ThreadSanitizer sees the hand-over).
    std::mutex m_eventMutex;
    libusb_transfer* m_eventTransfer = nullptr;
    std::vector<quint8> m_eventBuffer;
    BRX_Commu_UsbEventAssembler m_assembler;
    QList<QByteArray> m_events;
    Status m_eventFailure = kOk;
    bool m_eventPending = false;
    bool m_closing = false;
    // libusb's "completed" flag: set when there is news for the waiting thread.
    int m_eventNews = 0;
};

#endif
