#include "BRX_Commu_LibusbScanner.h"
#include "BRX_Commu_LibusbContext.h"
#include "BRX_Commu_LibusbPipe.h"
#include "BRX_Commu_UsbDeviceFilter.h"
#include "BRX_Debug.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <libusb.h>
#include <linux/usbdevice_fs.h>
#include <mutex>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

typedef BRX_Commu_UsbDeviceFilter Filter;

struct DeviceListDeleter {
    void operator()(libusb_device** list) const { libusb_free_device_list(list, 1); }
};
typedef std::unique_ptr<libusb_device*, DeviceListDeleter> DeviceList;

struct HandleDeleter {
    void operator()(libusb_device_handle* handle) const { libusb_close(handle); }
};
typedef std::unique_ptr<libusb_device_handle, HandleDeleter> Handle;

// The device discovery last found claimed by another program, for the host
// thread to ask (BRX_Commu_LibusbScanner::heldElsewhere). A standard mutex,
// whose hand-over ThreadSanitizer sees.
std::mutex g_heldMutex;
QString g_heldElsewhere;

void markHeldElsewhere(const QString& deviceId, bool held)
{
    std::lock_guard<std::mutex> locker(g_heldMutex);
    if (held)
        g_heldElsewhere = deviceId;
    else if (g_heldElsewhere == deviceId)
        g_heldElsewhere.clear();
}

// USB 3 allows seven tiers of hubs.
const int kMaxPortDepth = 7;

QVector<quint8> portNumbers(libusb_device* device)
{
    quint8 ports[kMaxPortDepth] = {};
    const int count = libusb_get_port_numbers(device, ports, kMaxPortDepth);
    return count > 0 ? QVector<quint8>(ports, ports + count) : QVector<quint8>();
}

Filter::Interface describeInterface(const libusb_interface_descriptor& descriptor)
{
    Filter::Interface interface;
    interface.number = descriptor.bInterfaceNumber;
    interface.interfaceClass = descriptor.bInterfaceClass;
    interface.subClass = descriptor.bInterfaceSubClass;
    interface.protocol = descriptor.bInterfaceProtocol;
    for (int i = 0; i < descriptor.bNumEndpoints; ++i) {
        const libusb_endpoint_descriptor& endpoint = descriptor.endpoint[i];
        interface.endpoints.append({endpoint.bEndpointAddress, endpoint.bmAttributes, endpoint.wMaxPacketSize});
    }
    return interface;
}

// The device's identity and the first alternate setting of every interface
// of its active configuration; false when the descriptors cannot be read.
bool describe(libusb_device* device, Filter::Device* description)
{
    libusb_device_descriptor descriptor;
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS
        || libusb_get_active_config_descriptor(device, &config) != LIBUSB_SUCCESS)
        return false;
    description->vendorId = descriptor.idVendor;
    description->productId = descriptor.idProduct;
    description->productText = descriptor.iProduct;
    description->serialNumberText = descriptor.iSerialNumber;
    description->busNumber = libusb_get_bus_number(device);
    description->address = libusb_get_device_address(device);
    description->portNumbers = portNumbers(device);
    for (int i = 0; i < config->bNumInterfaces; ++i) {
        if (config->interface[i].num_altsetting > 0)
            description->interfaces.append(describeInterface(config->interface[i].altsetting[0]));
    }
    libusb_free_config_descriptor(config);
    return true;
}

DeviceList deviceList(libusb_context* context, ssize_t* count)
{
    libusb_device** list = nullptr;
    *count = libusb_get_device_list(context, &list);
    if (*count < 0) {
        debugPrint(kDebugAlways, "%s - cannot list USB devices: %s", BRX_METHOD, libusb_error_name(int(*count)));
        *count = 0;
        return DeviceList();
    }
    return DeviceList(list);
}

// Cameras give their texts in US English.
QString stringDescriptor(libusb_device_handle* handle, quint8 index)
{
    if (index == 0)
        return QString();
    unsigned char text[256] = {};
    const int length = libusb_get_string_descriptor_ascii(handle, index, text, sizeof text - 1);
    return length > 0 ? QString::fromLatin1(reinterpret_cast<const char*>(text), length).trimmed() : QString();
}

// Opening the device without claiming it is enough to ask for its string
// descriptors; a process that tethers it goes on undisturbed. False unless
// every text the device names was read: one that cannot be opened (no
// permission, gone) or whose request failed (busy, timed out) leaves gaps.
bool readTexts(libusb_device* device, const Filter::Device& description, BRX_Commu_LibusbScanner::Texts* texts)
{
    libusb_device_handle* raw = nullptr;
    if (libusb_open(device, &raw) != LIBUSB_SUCCESS)
        return false;
    const Handle handle(raw);
    texts->model = stringDescriptor(raw, description.productText);
    texts->serialNumber = stringDescriptor(raw, description.serialNumberText);
    return (description.productText == 0 || !texts->model.isEmpty())
        && (description.serialNumberText == 0 || !texts->serialNumber.isEmpty());
}

// A program that claims an interface binds it to usbfs. libusb hides that
// driver (libusb_kernel_driver_active answers 0 for it), so the device file
// is asked directly; it is opened, not claimed.
bool isClaimed(const Filter::Device& description)
{
    const Filter::Interface* interface = Filter::stillImageInterface(description);
    if (!interface)
        return false;
    const QByteArray node = QStringLiteral("/dev/bus/usb/%1/%2")
                                .arg(description.busNumber, 3, 10, QLatin1Char('0'))
                                .arg(description.address, 3, 10, QLatin1Char('0'))
                                .toLatin1();
    int file = ::open(node.constData(), O_RDWR | O_CLOEXEC);
    if (file < 0)
        file = ::open(node.constData(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return false;
    usbdevfs_getdriver driver = {};
    driver.interface = interface->number;
    const bool claimed = ::ioctl(file, USBDEVFS_GETDRIVER, &driver) == 0 && std::strcmp(driver.driver, "usbfs") == 0;
    ::close(file);
    return claimed;
}

// Opens the device, lets libusb detach a kernel driver and claims the
// interface; *result is libusb's answer.
Handle claim(libusb_device* device, int interfaceNumber, int* result)
{
    libusb_device_handle* raw = nullptr;
    *result = libusb_open(device, &raw);
    Handle handle(raw);
    if (*result == LIBUSB_SUCCESS) {
        libusb_set_auto_detach_kernel_driver(raw, 1);
        *result = libusb_claim_interface(raw, interfaceNumber);
    }
    return *result == LIBUSB_SUCCESS ? std::move(handle) : Handle();
}

} // namespace

BRX_Commu_LibusbScanner::BRX_Commu_LibusbScanner()
    : BRX_Commu_LibusbScanner(configuredVendorIds())
{
}

BRX_Commu_LibusbScanner::BRX_Commu_LibusbScanner(const QList<quint16>& acceptedVendorIds)
    : m_context(std::make_shared<BRX_Commu_LibusbContext>())
    , m_acceptedVendorIds(acceptedVendorIds)
{
}

BRX_Commu_LibusbScanner::~BRX_Commu_LibusbScanner()
{
    for (auto failure = m_claimFailures.cbegin(); failure != m_claimFailures.cend(); ++failure)
        markHeldElsewhere(failure.key(), false);
}

QString BRX_Commu_LibusbScanner::heldElsewhere()
{
    std::lock_guard<std::mutex> locker(g_heldMutex);
    return g_heldElsewhere;
}

QList<BRX_Commu_DeviceEntry> BRX_Commu_LibusbScanner::scan()
{
    const QList<BRX_Commu_DeviceEntry> entries = candidates(false);
    forgetClaimFailuresOfAbsent(entries);
    return entries;
}

QList<BRX_Commu_DeviceEntry> BRX_Commu_LibusbScanner::list()
{
    return candidates(true);
}

// Texts read whole are kept while the device stays enumerated at its
// address; any gap is asked again at the next scan, as a serial number
// missed once would never match the camera's selector.
QList<BRX_Commu_DeviceEntry> BRX_Commu_LibusbScanner::candidates(bool withUse)
{
    QList<BRX_Commu_DeviceEntry> entries;
    const std::shared_ptr<BRX_Commu_LibusbContext> context = enumeratingContext();
    if (!context)
        return entries;
    ssize_t count = 0;
    const DeviceList list = deviceList(context->get(), &count);
    QHash<QString, Texts> present;
    for (ssize_t i = 0; i < count; ++i) {
        Filter::Device device;
        if (!describe(list.get()[i], &device) || !Filter::isCandidate(device, m_acceptedVendorIds))
            continue;
        const QString key = QStringLiteral("%1/%2").arg(device.busNumber).arg(device.address);
        Texts texts = m_texts.value(key);
        if (m_texts.contains(key) || readTexts(list.get()[i], device, &texts))
            present.insert(key, texts);
        BRX_Commu_DeviceEntry entry(device.vendorId, device.productId,
                                    Filter::devicePath(device.busNumber, device.portNumbers));
        entry.serialNumber = texts.serialNumber;
        entry.model = texts.model;
        entry.inUse = withUse && isClaimed(device);
        entries.append(entry);
    }
    m_texts = present;
    return entries;
}

// A device that left the bus has its claim failure reported afresh when it
// comes back.
void BRX_Commu_LibusbScanner::forgetClaimFailuresOfAbsent(const QList<BRX_Commu_DeviceEntry>& present)
{
    for (auto failure = m_claimFailures.begin(); failure != m_claimFailures.end();) {
        const QString& deviceId = failure.key();
        const bool isPresent = std::any_of(present.begin(), present.end(),
                                           [&deviceId](const BRX_Commu_DeviceEntry& entry) {
                                               return entry.deviceId == deviceId;
                                           });
        if (!isPresent)
            markHeldElsewhere(deviceId, false);
        failure = isPresent ? std::next(failure) : m_claimFailures.erase(failure);
    }
}

QList<quint16> BRX_Commu_LibusbScanner::acceptedVendorIds() const
{
    return m_acceptedVendorIds;
}

// libusb keeps a session's device list from hot-plug events, which may never
// come (no udev daemon, as in many containers, or a missed event): a camera
// plugged in later would stay unseen for the session's life. Every scan and
// every opening enumerates in a session of its own instead; a pipe keeps the
// session it was opened in.
std::shared_ptr<BRX_Commu_LibusbContext> BRX_Commu_LibusbScanner::enumeratingContext() const
{
    if (!m_context->isValid())
        return nullptr;
    auto context = std::make_shared<BRX_Commu_LibusbContext>();
    return context->isValid() ? context : nullptr;
}

std::shared_ptr<BRX_Commu_UsbPipe> BRX_Commu_LibusbScanner::open(const QString& deviceId)
{
    const std::shared_ptr<BRX_Commu_LibusbContext> context = enumeratingContext();
    if (!context)
        return nullptr;
    ssize_t count = 0;
    const DeviceList list = deviceList(context->get(), &count);
    for (ssize_t i = 0; i < count; ++i) {
        Filter::Device device;
        if (!describe(list.get()[i], &device) || Filter::devicePath(device.busNumber, device.portNumbers) != deviceId)
            continue;
        const Filter::Interface* interface = Filter::stillImageInterface(device);
        Filter::Endpoints endpoints;
        if (!interface || !Filter::findEndpoints(*interface, &endpoints)) {
            debugPrint(kDebugAlways, "%s - %s has no usable still-image interface", BRX_METHOD, qPrintable(deviceId));
            return nullptr;
        }
        int result = LIBUSB_SUCCESS;
        Handle handle = claim(list.get()[i], interface->number, &result);
        reportClaim(deviceId, result);
        if (!handle)
            return nullptr;
        return std::make_shared<BRX_Commu_LibusbPipe>(context, handle.release(), interface->number, endpoints);
    }
    debugPrint(kDebugAlways, "%s - %s is not present", BRX_METHOD, qPrintable(deviceId));
    return nullptr;
}

// Says why a device cannot be claimed, once for as long as the reason stays
// the same: discovery tries again on every scan until it can.
void BRX_Commu_LibusbScanner::reportClaim(const QString& deviceId, int result)
{
    markHeldElsewhere(deviceId, result == LIBUSB_ERROR_BUSY);
    if (result == LIBUSB_SUCCESS) {
        m_claimFailures.remove(deviceId);
        return;
    }
    if (m_claimFailures.value(deviceId, LIBUSB_SUCCESS) == result)
        return;
    m_claimFailures.insert(deviceId, result);
    if (result == LIBUSB_ERROR_BUSY)
        debugPrint(kDebugAlways, "%s - %s is in use by another program (%s); it connects once that program lets it go",
                   BRX_METHOD, qPrintable(deviceId), libusb_error_name(result));
    else if (result == LIBUSB_ERROR_ACCESS)
        debugPrint(kDebugAlways, "%s - no permission to open %s (%s); see the udev rule in the hardware test notes",
                   BRX_METHOD, qPrintable(deviceId), libusb_error_name(result));
    else
        debugPrint(kDebugAlways, "%s - cannot open %s: %s", BRX_METHOD, qPrintable(deviceId),
                   libusb_error_name(result));
}

QList<quint16> BRX_Commu_LibusbScanner::configuredVendorIds()
{
    QList<quint16> vendorIds;
    BRX_Commu_UsbDeviceFilter::parseVendorIds(QStringLiteral(BRX_ACCEPTED_VENDOR_IDS), &vendorIds);
    return vendorIds;
}
