#include "BRX_Commu_LibusbPipe.h"
#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_ByteWriter.h"
#include "BRX_Commu_LibusbContext.h"
#include "BRX_Debug.h"

#include <QDeadlineTimer>
#include <algorithm>
#include <cstring>
#include <libusb.h>

namespace {

const quint8 kClassRequestIn = LIBUSB_ENDPOINT_IN | LIBUSB_REQUEST_TYPE_CLASS | LIBUSB_RECIPIENT_INTERFACE;
const quint8 kClassRequestOut = LIBUSB_ENDPOINT_OUT | LIBUSB_REQUEST_TYPE_CLASS | LIBUSB_RECIPIENT_INTERFACE;
const quint8 kRequestCancel = 0x64;
const quint8 kRequestDeviceReset = 0x66;
const quint8 kRequestGetDeviceStatus = 0x67;
const quint16 kCancellationCode = 0x4001;
const quint16 kCancelBytes = 6;
// wLength, the response code and one parameter (an endpoint address) per
// halted endpoint.
const quint16 kDeviceStatusBytes = 32;
const quint32 kDeviceStatusMinBytes = 4;
const int kControlTimeoutMs = 2000;
// How long closing waits for the cancelled event transfer to come back.
const int kCancelTimeoutMs = 2000;

} // namespace

BRX_Commu_LibusbPipe::BRX_Commu_LibusbPipe(std::shared_ptr<BRX_Commu_LibusbContext> context,
                                           libusb_device_handle* handle, int interfaceNumber,
                                           const BRX_Commu_UsbDeviceFilter::Endpoints& endpoints)
    : m_context(std::move(context))
    , m_handle(handle)
    , m_interface(interfaceNumber)
    , m_endpoints(endpoints)
    , m_bulkIn(m_context->get(), handle, endpoints.bulkIn)
    , m_bulkOut(m_context->get(), handle, endpoints.bulkOut)
    , m_eventTransfer(libusb_alloc_transfer(0))
    , m_eventBuffer(endpoints.interruptPacketSize)
    , m_assembler(endpoints.interruptPacketSize)
{
    std::lock_guard<std::mutex> locker(m_eventMutex);
    submitEventTransfer(); // a failure is retried by the first interruptIn
}

BRX_Commu_LibusbPipe::~BRX_Commu_LibusbPipe()
{
    cancelEventTransfer();
    libusb_release_interface(m_handle, m_interface); // fails harmlessly when the device has gone
    libusb_close(m_handle);
}

quint32 BRX_Commu_LibusbPipe::maxPacketSize() const
{
    return m_endpoints.bulkPacketSize;
}

BRX_Commu_UsbPipe::Status BRX_Commu_LibusbPipe::bulkOut(const quint8* data, quint32 size, quint32* sent,
                                                        int timeoutMs)
{
    // libusb's buffer is not const, but an out transfer only reads it.
    return bulkTransfer(m_bulkOut, const_cast<quint8*>(data), size, sent, timeoutMs);
}

BRX_Commu_UsbPipe::Status BRX_Commu_LibusbPipe::bulkIn(quint8* data, quint32 capacity, quint32* received,
                                                       int timeoutMs)
{
    return bulkTransfer(m_bulkIn, data, capacity, received, timeoutMs);
}

BRX_Commu_UsbPipe::Status BRX_Commu_LibusbPipe::interruptIn(quint8* data, quint32 capacity, quint32* received,
                                                            int timeoutMs)
{
    *received = 0;
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        Status status = takeEvent(data, capacity, received);
        if (status == kTimeout)
            status = restartEvents();
        if (status != kTimeout)
            return status;
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            return kTimeout;
        waitForEvents(left);
    }
}

BRX_Commu_UsbPipe::Status BRX_Commu_LibusbPipe::cancelTransaction(quint32 transactionId)
{
    quint8 data[kCancelBytes];
    BRX_Commu_ByteWriter::writeU16(data, 0, kCancellationCode);
    BRX_Commu_ByteWriter::writeU32(data, 2, transactionId);
    quint32 length = 0;
    return controlRequest(kClassRequestOut, kRequestCancel, data, kCancelBytes, &length);
}

BRX_Commu_UsbPipe::Status BRX_Commu_LibusbPipe::getDeviceStatus(DeviceStatus* deviceStatus)
{
    *deviceStatus = DeviceStatus();
    quint8 buffer[kDeviceStatusBytes] = {};
    quint32 length = 0;
    const Status status = controlRequest(kClassRequestIn, kRequestGetDeviceStatus, buffer, sizeof buffer, &length);
    if (status != kOk)
        return status;
    if (length < kDeviceStatusMinBytes) {
        debugPrint(kDebugAlways, "%s - device status of %u bytes", BRX_METHOD, length);
        return kError;
    }
    BRX_Commu_ByteReader reader(buffer, length);
    deviceStatus->code = reader.readU16At(2);
    for (quint32 offset = kDeviceStatusMinBytes; offset + 4 <= length; offset += 4)
        deviceStatus->halted.append(endpointAt(reader.readU32At(offset)));
    return kOk;
}

// Bytes held from before the reset are stale.
BRX_Commu_UsbPipe::Status BRX_Commu_LibusbPipe::resetDevice()
{
    m_bulkIn.clear();
    quint32 length = 0;
    return controlRequest(kClassRequestOut, kRequestDeviceReset, nullptr, 0, &length);
}

BRX_Commu_UsbPipe::Status BRX_Commu_LibusbPipe::clearHalt(Endpoint endpoint)
{
    const quint8 addresses[] = {m_endpoints.bulkOut, m_endpoints.bulkIn, m_endpoints.interruptIn};
    if (m_gone)
        return kNoDevice;
    return check(BRX_METHOD, libusb_clear_halt(m_handle, addresses[endpoint]));
}

BRX_Commu_UsbPipe::Status BRX_Commu_LibusbPipe::toStatus(int libusbError)
{
    switch (libusbError) {
    case LIBUSB_SUCCESS:
        return kOk;
    case LIBUSB_ERROR_TIMEOUT:
        return kTimeout;
    case LIBUSB_ERROR_PIPE:
        return kStall;
    case LIBUSB_ERROR_OVERFLOW:
        return kOverflow;
    case LIBUSB_ERROR_NO_DEVICE:
        return kNoDevice;
    default:
        return kError;
    }
}

BRX_Commu_UsbPipe::Status BRX_Commu_LibusbPipe::bulkTransfer(BRX_Commu_LibusbBulkQueue& queue, quint8* data,
                                                             quint32 size, quint32* done, int timeoutMs)
{
    *done = 0;
    if (m_gone)
        return kNoDevice;
    return check(BRX_METHOD, queue.transfer(data, size, done, timeoutMs));
}

BRX_Commu_UsbPipe::Status BRX_Commu_LibusbPipe::controlRequest(quint8 requestType, quint8 request, quint8* data,
                                                               quint16 length, quint32* transferred)
{
    *transferred = 0;
    if (m_gone)
        return kNoDevice;
    const int result = libusb_control_transfer(m_handle, requestType, request, 0, quint16(m_interface), data,
                                               length, kControlTimeoutMs);
    *transferred = quint32(std::max(result, 0));
    return check(BRX_METHOD, std::min(result, 0));
}

BRX_Commu_UsbPipe::Status BRX_Commu_LibusbPipe::check(const char* label, int libusbError)
{
    const Status status = toStatus(libusbError);
    if (status == kNoDevice) {
        if (!m_gone.exchange(true))
            debugPrint(kDebugAlways, "%s - the camera has gone", label);
    } else if (status != kOk) {
        debugPrint(kDebugAlways, "%s - %s", label, libusb_error_name(libusbError));
    }
    return status;
}

// Devices name an endpoint by its address; an unknown one is taken for
// bulk-in, the pipe a halt most often leaves stuck.
BRX_Commu_UsbPipe::Endpoint BRX_Commu_LibusbPipe::endpointAt(quint32 address) const
{
    if (address == m_endpoints.bulkOut)
        return kBulkOut;
    return address == m_endpoints.interruptIn ? kInterruptIn : kBulkIn;
}

// Queued containers first, then a failure of the event transfer, each once.
BRX_Commu_UsbPipe::Status BRX_Commu_LibusbPipe::takeEvent(quint8* data, quint32 capacity, quint32* received)
{
    std::lock_guard<std::mutex> locker(m_eventMutex);
    if (!m_events.isEmpty()) {
        const QByteArray container = m_events.takeFirst();
        *received = std::min(capacity, quint32(container.size()));
        std::memcpy(data, container.constData(), *received);
        return quint32(container.size()) > capacity ? kOverflow : kOk;
    }
    if (m_gone)
        return kNoDevice;
    const Status failure = m_eventFailure;
    m_eventFailure = kOk;
    m_eventNews = 0;
    return failure == kOk ? kTimeout : failure;
}

// After a failed event transfer: the endpoint may be halted, so clear it and
// submit again.
BRX_Commu_UsbPipe::Status BRX_Commu_LibusbPipe::restartEvents()
{
    {
        std::lock_guard<std::mutex> locker(m_eventMutex);
        if (m_eventPending)
            return kTimeout;
    }
    libusb_clear_halt(m_handle, m_endpoints.interruptIn);
    std::lock_guard<std::mutex> locker(m_eventMutex);
    const Status status = submitEventTransfer();
    return status == kOk ? kTimeout : status;
}

// Called with m_eventMutex held.
BRX_Commu_UsbPipe::Status BRX_Commu_LibusbPipe::submitEventTransfer()
{
    if (!m_eventTransfer)
        return kError;
    libusb_fill_interrupt_transfer(m_eventTransfer, m_handle, m_endpoints.interruptIn, m_eventBuffer.data(),
                                   int(m_eventBuffer.size()), &BRX_Commu_LibusbPipe::eventCallback, this, 0);
    const Status status = check(BRX_METHOD, libusb_submit_transfer(m_eventTransfer));
    m_eventPending = status == kOk;
    return status;
}

void BRX_Commu_LibusbPipe::waitForEvents(qint64 timeoutMs)
{
    timeval timeout = {long(timeoutMs / 1000), long(timeoutMs % 1000) * 1000};
    libusb_handle_events_timeout_completed(m_context->get(), &timeout, &m_eventNews);
}

void BRX_Commu_LibusbPipe::cancelEventTransfer()
{
    {
        std::lock_guard<std::mutex> locker(m_eventMutex);
        m_closing = true;
        if (m_eventPending)
            libusb_cancel_transfer(m_eventTransfer);
    }
    const QDeadlineTimer deadline(kCancelTimeoutMs);
    for (;;) {
        {
            std::lock_guard<std::mutex> locker(m_eventMutex);
            m_eventNews = 0;
            if (!m_eventPending) {
                libusb_free_transfer(m_eventTransfer);
                return;
            }
        }
        if (deadline.hasExpired())
            break;
        waitForEvents(deadline.remainingTime());
    }
    // Freeing a transfer the kernel still owns would corrupt memory.
    debugPrint(kDebugAlways, "%s - the event transfer did not end, left allocated", BRX_METHOD);
}

void BRX_Commu_LibusbPipe::eventTransferDone(libusb_transfer* transfer)
{
    std::lock_guard<std::mutex> locker(m_eventMutex);
    m_eventPending = false;
    m_eventNews = 1;
    if (transfer->status == LIBUSB_TRANSFER_CANCELLED || m_closing)
        return;
    const Status status = check(BRX_METHOD, BRX_Commu_LibusbBulkQueue::errorOf(transfer->status));
    QByteArray container;
    if (status == kOk && m_assembler.addPacket(transfer->buffer, quint32(transfer->actual_length), &container))
        m_events.append(container);
    const Status next = status == kOk ? submitEventTransfer() : status;
    if (next != kOk)
        m_eventFailure = next;
}

void BRX_Commu_LibusbPipe::eventCallback(libusb_transfer* transfer)
{
    static_cast<BRX_Commu_LibusbPipe*>(transfer->user_data)->eventTransferDone(transfer);
}
