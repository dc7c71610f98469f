#include "EmulatedUsbDevice.h"
#include "EmulatedFunction.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <umockdev.h>

namespace {

UMockdevTestbed* g_testbed = nullptr;
int g_nextDeviceNumber = 2; // 1 is the root hub's

const quint8 kEndpointBulkIn = 0x81;
const quint8 kEndpointBulkOut = 0x02;
const quint8 kEndpointInterrupt = 0x83;
const int kSetupBytes = 8;
const int kCancelBytes = 6;
const quint8 kSerialNumberText = 3; // the string index the device descriptor names

qint64 steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

BRX_Commu_UsbPipe::Endpoint endpointAt(quint32 address)
{
    if ((address & 0x7F) == (kEndpointBulkOut & 0x7F))
        return BRX_Commu_UsbPipe::kBulkOut;
    return (address & 0x7F) == (kEndpointInterrupt & 0x7F) ? BRX_Commu_UsbPipe::kInterruptIn
                                                           : BRX_Commu_UsbPipe::kBulkIn;
}

quint8 addressOf(BRX_Commu_UsbPipe::Endpoint endpoint)
{
    const quint8 addresses[] = {kEndpointBulkOut, kEndpointBulkIn, kEndpointInterrupt};
    return addresses[endpoint];
}

QByteArray le16(quint16 value)
{
    QByteArray bytes(2, 0);
    bytes[0] = char(value & 0xFF);
    bytes[1] = char(value >> 8);
    return bytes;
}

int urbStatus(BRX_Commu_UsbPipe::Status status)
{
    static const int statuses[] = {0, -ETIMEDOUT, -EPIPE, -EOVERFLOW, -ESHUTDOWN, -EPROTO};
    return statuses[status];
}

usbdevfs_urb* urbOf(UMockdevIoctlData* data)
{
    return reinterpret_cast<usbdevfs_urb*>(data->data);
}

// The argument of these ioctls points at an unsigned int in the caller's
// memory: umockdev's copy of it, written back when the ioctl completes.
// Null for a null pointer.
UMockdevIoctlData* pointedWord(UMockdevIoctlData* argument)
{
    GError* error = nullptr;
    UMockdevIoctlData* word = umockdev_ioctl_data_resolve(argument, 0, sizeof(quint32), &error);
    g_clear_error(&error);
    return word;
}

quint32* wordOf(UMockdevIoctlData* data)
{
    return reinterpret_cast<quint32*>(data->data);
}

} // namespace

const quint32 EmulatedUsbDevice::kCurrentKernel = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION
    | USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_BULK_SCATTER_GATHER;

bool EmulatedUsbDevice::createTestbed()
{
    g_testbed = umockdev_testbed_new();
    return umockdev_in_mock_environment();
}

UMockdevTestbed* EmulatedUsbDevice::testbed()
{
    return g_testbed;
}

EmulatedUsbDevice::EmulatedUsbDevice(const Descriptor& descriptor, EmulatedFunction* function)
    : m_descriptor(descriptor)
    , m_function(function)
    , m_handler(umockdev_ioctl_base_new())
{
    g_signal_connect(m_handler, "handle-ioctl", G_CALLBACK(&EmulatedUsbDevice::handleIoctl), this);
    g_signal_connect(m_handler, "client-vanished", G_CALLBACK(&EmulatedUsbDevice::clientVanished), this);
    m_clockThread = std::thread(&EmulatedUsbDevice::serveDueBytes, this);
}

EmulatedUsbDevice::~EmulatedUsbDevice()
{
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_clockThread.join();
    unplug();
    g_object_unref(m_handler);
}

QString EmulatedUsbDevice::devicePath() const
{
    return QStringLiteral("usb:1-%1").arg(m_descriptor.port);
}

void EmulatedUsbDevice::plug()
{
    std::lock_guard<std::mutex> locker(m_mutex);
    if (m_plugged)
        return;
    m_deviceNumber = g_nextDeviceNumber++;
    // The device's ioctl socket listens before its node appears: a host
    // scanning the bus meanwhile must not find the node without a listener,
    // which ends its process in umockdev's preload library.
    GError* error = nullptr;
    umockdev_testbed_attach_ioctl(g_testbed, deviceNode().toUtf8().constData(), m_handler, &error);
    if (!error)
        umockdev_testbed_add_from_string(g_testbed, sysfsRecord().toUtf8().constData(), &error);
    if (error) {
        std::fprintf(stderr, "testbed: %s\n", error->message);
        g_error_free(error);
        return;
    }
    m_sysfsPath = sysfsPath();
    m_plugged = true;
    umockdev_testbed_uevent(g_testbed, m_sysfsPath.toUtf8().constData(), "add");
}

void EmulatedUsbDevice::unplug()
{
    std::lock_guard<std::mutex> locker(m_mutex);
    remove();
}

// Called with the lock held.
void EmulatedUsbDevice::remove()
{
    disconnect();
    if (m_sysfsPath.isEmpty())
        return;
    // The handler stays attached: the host still reaps the ended transfers.
    umockdev_testbed_uevent(g_testbed, m_sysfsPath.toUtf8().constData(), "remove");
    umockdev_testbed_remove_device(g_testbed, m_sysfsPath.toUtf8().constData());
    m_sysfsPath.clear();
}

bool EmulatedUsbDevice::isPlugged() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_plugged;
}

void EmulatedUsbDevice::withFunction(const std::function<void(EmulatedFunction*)>& change)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    change(m_function);
    pump();
    m_wake.notify_all();
}

void EmulatedUsbDevice::holdElsewhere(int ms)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_heldUntil = steadyMs() + ms;
}

void EmulatedUsbDevice::stallSerialNumberReads(int count)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_serialNumberStalls = count;
}

bool EmulatedUsbDevice::isClaimedElsewhere() const
{
    return steadyMs() < m_heldUntil;
}

// Bytes the function holds back go out when they are due, as a device's
// would, whether or not the host asks at that moment.
void EmulatedUsbDevice::serveDueBytes()
{
    std::unique_lock<std::mutex> locker(m_mutex);
    while (!m_stopping) {
        const qint64 due = m_function->msUntilDue();
        if (due < 0)
            m_wake.wait(locker);
        else
            m_wake.wait_for(locker, std::chrono::milliseconds(due));
        pump();
    }
}

int EmulatedUsbDevice::setConfigurationCalls() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_setConfigurationCalls;
}

int EmulatedUsbDevice::claimRequests() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_claimRequests;
}

int EmulatedUsbDevice::zeroLengthPacketsOut() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_zeroLengthPacketsOut;
}

int EmulatedUsbDevice::largestBulkTransfer() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_largestBulkTransfer;
}

int EmulatedUsbDevice::submittedInterruptTransfers() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_submittedInterruptTransfers;
}

int EmulatedUsbDevice::bulkInWaiting() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return int(std::count_if(m_waiting.begin(), m_waiting.end(),
                             [](const Urb& urb) { return urb.type == USBDEVFS_URB_TYPE_BULK; }));
}

// The kernel ends every transfer of a vanished device with -ESHUTDOWN and
// answers every later request with ENODEV. Called with the lock held.
void EmulatedUsbDevice::disconnect()
{
    if (m_plugged)
        m_function->unplugged();
    m_plugged = false;
    m_claimedBy = nullptr;
    for (const Urb& urb : qAsConst(m_waiting))
        complete(urb, -ESHUTDOWN, 0);
    m_waiting.clear();
    m_interruptPackets.clear();
}

int EmulatedUsbDevice::handleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self)
{
    return static_cast<EmulatedUsbDevice*>(self)->handle(client);
}

void EmulatedUsbDevice::clientVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self)
{
    static_cast<EmulatedUsbDevice*>(self)->forgetClient(client);
}

// The kernel frees the URBs of a file when it is closed; a client that
// comes later must never reap them.
void EmulatedUsbDevice::forgetClient(UMockdevIoctlClient* client)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    if (m_claimedBy == client)
        m_claimedBy = nullptr;
    for (QList<Urb>* list : {&m_waiting, &m_done}) {
        for (int i = list->size() - 1; i >= 0; --i) {
            if (list->at(i).client == client)
                g_object_unref(list->takeAt(i).data);
        }
    }
}

bool EmulatedUsbDevice::handle(UMockdevIoctlClient* client)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* argument = umockdev_ioctl_client_get_arg(client);
    const bool current = m_plugged && deviceNode() == QString::fromUtf8(umockdev_ioctl_client_get_devnode(client));
    int error = current ? 0 : ENODEV;
    switch (request) {
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
        error = reap(client, argument); // the transfers ended by a removal still come back
        break;
    case USBDEVFS_GET_CAPABILITIES:
    case USBDEVFS_CLEAR_HALT:
        if (current)
            error = handleWordIoctl(request, argument);
        break;
    case USBDEVFS_GETDRIVER:
        error = current ? driverOf(argument) : ENODEV;
        break;
    case USBDEVFS_IOCTL:
        error = current ? ENODATA : ENODEV; // no kernel driver bound
        break;
    case USBDEVFS_DISCONNECT_CLAIM:
    case USBDEVFS_CLAIMINTERFACE:
        error = current ? claim(client) : error;
        break;
    case USBDEVFS_SETCONFIGURATION:
        ++m_setConfigurationCalls;
        break;
    case USBDEVFS_RELEASEINTERFACE:
        m_claimedBy = m_claimedBy == client ? nullptr : m_claimedBy;
        break;
    case USBDEVFS_RESETEP:
    case USBDEVFS_RESET:
    case USBDEVFS_SETINTERFACE:
        break;
    case USBDEVFS_SUBMITURB:
        error = current ? submit(client, argument) : ENODEV;
        break;
    case USBDEVFS_DISCARDURB:
        error = discard(argument);
        break;
    default:
        std::fprintf(stderr, "emulated USB device: unhandled ioctl 0x%lx\n", request);
        return false;
    }
    umockdev_ioctl_client_complete(client, error ? -1 : 0, error);
    m_wake.notify_all();
    return true;
}

int EmulatedUsbDevice::claim(UMockdevIoctlClient* client)
{
    ++m_claimRequests;
    if (isClaimedElsewhere() || (m_claimedBy && m_claimedBy != client))
        return EBUSY;
    m_claimedBy = client;
    return 0;
}

// A claimed interface is bound to "usbfs", the driver of the programs
// that claim one; otherwise no driver is bound.
int EmulatedUsbDevice::driverOf(UMockdevIoctlData* argument) const
{
    if (!m_claimedBy && !isClaimedElsewhere())
        return ENODATA;
    GError* error = nullptr;
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(argument, 0, sizeof(usbdevfs_getdriver), &error);
    g_clear_error(&error);
    if (!data)
        return EFAULT;
    usbdevfs_getdriver* driver = reinterpret_cast<usbdevfs_getdriver*>(data->data);
    std::snprintf(driver->driver, sizeof driver->driver, "usbfs");
    g_object_unref(data);
    return 0;
}

// The capabilities go where the caller's pointer points; Clear Halt reads
// the endpoint from there.
int EmulatedUsbDevice::handleWordIoctl(gulong request, UMockdevIoctlData* argument)
{
    UMockdevIoctlData* word = pointedWord(argument);
    if (!word)
        return EFAULT;
    if (request == USBDEVFS_GET_CAPABILITIES)
        *wordOf(word) = m_descriptor.capabilities;
    else
        m_function->clearHalt(endpointAt(*wordOf(word)));
    g_object_unref(word);
    return 0;
}

int EmulatedUsbDevice::submit(UMockdevIoctlClient* client, UMockdevIoctlData* argument)
{
    GError* error = nullptr;
    UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(argument, 0, sizeof(usbdevfs_urb), &error);
    usbdevfs_urb* urb = urbOf(urbData);
    UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(urbData, offsetof(usbdevfs_urb, buffer),
                                                            std::size_t(urb->buffer_length), &error);
    g_clear_object(&buffer); // the URB keeps its buffer
    if (error) {
        g_error_free(error);
        g_clear_object(&urbData);
        return EFAULT;
    }
    quint8* data = static_cast<quint8*>(urb->buffer);
    const Urb entry{urbData, urb->type, client, 0};
    if (urb->type == USBDEVFS_URB_TYPE_CONTROL)
        return submitControl(entry, data, urb->buffer_length);
    if (urb->type == USBDEVFS_URB_TYPE_BULK)
        m_largestBulkTransfer = std::max(m_largestBulkTransfer, urb->buffer_length);
    if (urb->type == USBDEVFS_URB_TYPE_INTERRUPT)
        ++m_submittedInterruptTransfers;
    if (urb->type == USBDEVFS_URB_TYPE_BULK && !(urb->endpoint & 0x80)) {
        m_zeroLengthPacketsOut += urb->buffer_length == 0;
        quint32 accepted = 0;
        const BRX_Commu_UsbPipe::Status status = m_function->receive(data, quint32(urb->buffer_length), &accepted);
        complete(entry, urbStatus(status), int(accepted));
        checkUnplugRequest();
    } else {
        m_waiting.append(entry);
    }
    pump();
    return 0;
}

// The still-image class requests Cancel, Device Reset and Get Device
// Status; anything else stalls, as a device does with a request it does
// not know.
int EmulatedUsbDevice::submitControl(const Urb& urb, quint8* buffer, int length)
{
    const quint8 requestType = buffer[0];
    const quint8 request = buffer[1];
    quint8* data = buffer + kSetupBytes;
    if (requestType == 0xA1 && request == 0x67 && length >= kSetupBytes + 4) {
        complete(urb, 0, deviceStatus(data, length - kSetupBytes));
    } else if (requestType == 0x21 && request == 0x64 && length >= kSetupBytes + kCancelBytes) {
        m_function->cancel(quint32(data[2] | data[3] << 8 | data[4] << 16 | quint32(data[5]) << 24));
        complete(urb, 0, kCancelBytes);
    } else if (requestType == 0x21 && request == 0x66) {
        m_function->reset();
        complete(urb, 0, 0);
    } else if (requestType == 0x80 && request == 0x06 && buffer[3] == 3 && length >= kSetupBytes) {
        const QByteArray text = takeSerialNumberStall(buffer[2]) ? QByteArray() : stringDescriptor(buffer[2]);
        const int count = std::min({length - kSetupBytes, int(buffer[6] | buffer[7] << 8), text.size()});
        std::memcpy(data, text.constData(), std::size_t(count));
        complete(urb, text.isEmpty() ? -EPIPE : 0, count);
    } else {
        complete(urb, -EPIPE, 0);
    }
    return 0;
}

// Index 0 lists the languages (US English only); 1 to 3 are the texts the
// device descriptor names. Empty for any other index: the request stalls.
QByteArray EmulatedUsbDevice::stringDescriptor(quint8 index) const
{
    if (index == 0)
        return QByteArray::fromHex("04030904");
    const QString texts[] = {m_descriptor.manufacturer, m_descriptor.product, m_descriptor.serialNumber};
    if (index > 3 || texts[index - 1].isEmpty())
        return QByteArray();
    QByteArray bytes(2, 3);
    for (QChar c : texts[index - 1])
        bytes += le16(c.unicode());
    bytes[0] = char(bytes.size());
    return bytes;
}

bool EmulatedUsbDevice::takeSerialNumberStall(quint8 index)
{
    if (index != kSerialNumberText || m_serialNumberStalls == 0)
        return false;
    --m_serialNumberStalls;
    return true;
}

// wLength, the code, then the address of each halted endpoint; cut to the
// host's buffer as a device does.
int EmulatedUsbDevice::deviceStatus(quint8* data, int length) const
{
    const BRX_Commu_UsbPipe::DeviceStatus status = m_function->deviceStatus();
    QByteArray bytes = le16(quint16(4 + 4 * status.halted.size())) + le16(status.code);
    for (BRX_Commu_UsbPipe::Endpoint endpoint : status.halted)
        bytes += le16(addressOf(endpoint)) + le16(0);
    const int count = std::min(length, bytes.size());
    std::memcpy(data, bytes.constData(), std::size_t(count));
    return count;
}

int EmulatedUsbDevice::reap(UMockdevIoctlClient* client, UMockdevIoctlData* argument)
{
    int index = 0;
    while (index < m_done.size() && m_done.at(index).client != client)
        ++index;
    if (index == m_done.size())
        return m_plugged ? EAGAIN : ENODEV;
    GError* error = nullptr;
    UMockdevIoctlData* pointer = umockdev_ioctl_data_resolve(argument, 0, sizeof(gpointer), &error);
    UMockdevIoctlData* urbData = m_done.takeAt(index).data;
    umockdev_ioctl_data_set_ptr(pointer, 0, urbData);
    g_object_unref(urbData);
    g_clear_object(&pointer);
    g_clear_error(&error);
    return 0;
}

int EmulatedUsbDevice::discard(UMockdevIoctlData* argument)
{
    const gulong address = *reinterpret_cast<gulong*>(argument->data);
    for (int i = 0; i < m_waiting.size(); ++i) {
        if (m_waiting.at(i).data->client_addr == address) {
            const Urb urb = m_waiting.takeAt(i);
            complete(urb, -ENOENT, urb.received); // what arrived before the host gave up stays
            return 0;
        }
    }
    return EINVAL;
}

void EmulatedUsbDevice::pump()
{
    while (serveBulkIn() || serveInterrupt()) {
    }
    checkUnplugRequest();
}

bool EmulatedUsbDevice::serveBulkIn()
{
    for (int i = 0; i < m_waiting.size(); ++i) {
        if (m_waiting.at(i).type != USBDEVFS_URB_TYPE_BULK)
            continue;
        Urb& entry = m_waiting[i];
        usbdevfs_urb* urb = urbOf(entry.data);
        quint32 received = 0;
        quint8* free = static_cast<quint8*>(urb->buffer) + entry.received;
        const BRX_Commu_UsbPipe::Status status =
            m_function->send(free, quint32(urb->buffer_length - entry.received), &received);
        entry.received += int(received);
        if (status == BRX_Commu_UsbPipe::kTimeout)
            return false;
        complete(entry, urbStatus(status), entry.received);
        m_waiting.removeAt(i);
        return true;
    }
    return false;
}

// Event containers go out in packets of the endpoint's size; a transfer
// takes packets until it is full or a packet is short.
bool EmulatedUsbDevice::serveInterrupt()
{
    const int packetSize = m_descriptor.interruptPacketSize;
    for (QByteArray event = m_function->takeEvent(); !event.isEmpty(); event = m_function->takeEvent()) {
        for (int offset = 0; offset < event.size(); offset += packetSize)
            m_interruptPackets.append(event.mid(offset, packetSize));
        if (event.size() % packetSize == 0)
            m_interruptPackets.append(QByteArray());
    }
    for (int i = 0; i < m_waiting.size() && !m_interruptPackets.isEmpty(); ++i) {
        if (m_waiting.at(i).type != USBDEVFS_URB_TYPE_INTERRUPT)
            continue;
        const Urb entry = m_waiting.takeAt(i);
        usbdevfs_urb* urb = urbOf(entry.data);
        int received = 0;
        while (!m_interruptPackets.isEmpty() && m_interruptPackets.first().size() <= urb->buffer_length - received) {
            const QByteArray packet = m_interruptPackets.takeFirst();
            std::memcpy(static_cast<quint8*>(urb->buffer) + received, packet.constData(), std::size_t(packet.size()));
            received += packet.size();
            if (packet.size() < packetSize)
                break;
        }
        complete(entry, 0, received);
        return true;
    }
    return false;
}

void EmulatedUsbDevice::complete(const Urb& urb, int status, int actualLength)
{
    usbdevfs_urb* data = urbOf(urb.data);
    data->status = status;
    data->actual_length = actualLength;
    m_done.append(urb);
}

void EmulatedUsbDevice::checkUnplugRequest()
{
    if (m_plugged && m_function->takeUnplugRequest())
        remove();
}

QString EmulatedUsbDevice::sysfsPath() const
{
    return QStringLiteral("/sys/devices/pci0000:00/usb1/1-%1").arg(m_descriptor.port);
}

QString EmulatedUsbDevice::deviceNode() const
{
    return QStringLiteral("/dev/bus/usb/001/%1").arg(m_deviceNumber, 3, 10, QLatin1Char('0'));
}

QString EmulatedUsbDevice::sysfsRecord() const
{
    const QString node = deviceNode().mid(5);
    const QString number = QStringLiteral("%1").arg(m_deviceNumber, 3, 10, QLatin1Char('0'));
    return QStringLiteral("P: /devices/pci0000:00/usb1/1-%1\nN: %2\n"
                          "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\n"
                          "E: BUSNUM=001\nE: DEVNUM=%3\nE: DEVNAME=/dev/%2\n"
                          "A: busnum=1\\n\nA: devnum=%4\\n\nA: speed=480\\n\nA: bConfigurationValue=1\\n\n"
                          "H: descriptors=%5\n")
        .arg(m_descriptor.port)
        .arg(node, number)
        .arg(m_deviceNumber)
        .arg(QString::fromLatin1(descriptors().toHex()));
}

// Device descriptor, then configuration 1 with one interface of three
// endpoints: bulk in, bulk out and interrupt in.
QByteArray EmulatedUsbDevice::descriptors() const
{
    const Descriptor& d = m_descriptor;
    QByteArray bytes = QByteArray::fromHex("1201000200000040") + le16(d.vendorId) + le16(d.productId)
        + QByteArray::fromHex("00010102") + QByteArray(1, d.serialNumber.isEmpty() ? 0 : kSerialNumberText)
        + QByteArray(1, 1);
    bytes += QByteArray::fromHex("09022700010100c001");
    bytes += QByteArray::fromHex("0904000003") + QByteArray(1, char(d.interfaceClass))
        + QByteArray(1, char(d.interfaceSubClass)) + QByteArray(1, char(d.interfaceProtocol)) + QByteArray(1, 0);
    bytes += QByteArray::fromHex("0705") + QByteArray(1, char(kEndpointBulkIn)) + QByteArray(1, 2)
        + le16(d.bulkPacketSize) + QByteArray(1, 0);
    bytes += QByteArray::fromHex("0705") + QByteArray(1, char(kEndpointBulkOut)) + QByteArray(1, 2)
        + le16(d.bulkPacketSize) + QByteArray(1, 0);
    bytes += QByteArray::fromHex("0705") + QByteArray(1, char(kEndpointInterrupt)) + QByteArray(1, 3)
        + le16(d.interruptPacketSize) + QByteArray(1, 10);
    return bytes;
}
