#ifndef EMULATEDUSBDEVICE_H
#define EMULATEDUSBDEVICE_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class EmulatedFunction;
typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

// A USB still-image device on umockdev's emulated bus 1, answering libusb's
// usbfs ioctls in-process: descriptors in sysfs, URBs on the bulk,
// interrupt and control endpoints, max-packet boundaries, stalls (-EPIPE)
// and removal (-ENODEV). What the device says comes from an
// EmulatedFunction; a thread of its own serves the bulk-in bytes the
// function holds back until they are due. Needs the umockdev preload
// library in the process.
class EmulatedUsbDevice
{
public:
    // What a current kernel answers USBDEVFS_GET_CAPABILITIES with on a
    // host controller that does scatter-gather: libusb then submits each
    // transfer as one URB of its full size.
    static const quint32 kCurrentKernel;
    // No capabilities, as older kernels: libusb splits every transfer into
    // URBs of 16 KiB.
    static constexpr quint32 kOlderKernel = 0;

    struct Descriptor {
        quint32 capabilities = kCurrentKernel;
        quint16 vendorId = 0x1209;
        quint16 productId = 0x2011;
        quint8 interfaceClass = 6;
        quint8 interfaceSubClass = 1;
        quint8 interfaceProtocol = 1;
        quint16 bulkPacketSize = 512;
        quint16 interruptPacketSize = 8;
        int port = 1;
        // The string descriptors; no serial number: the device says it has none.
        QString manufacturer = QStringLiteral("Emulated");
        QString product = QStringLiteral("Emulated camera");
        QString serialNumber;
    };

    // One testbed for the process; false when the preload library is not
    // loaded (the caller then skips).
    static bool createTestbed();
    static UMockdevTestbed* testbed();

    EmulatedUsbDevice(const Descriptor& descriptor, EmulatedFunction* function);
    ~EmulatedUsbDevice(); // unplugs

    QString devicePath() const;
    void plug();
    void unplug();
    bool isPlugged() const;

    // Runs change on the function under the device's lock, then serves
    // waiting transfers with what it queued.
    void withFunction(const std::function<void(EmulatedFunction*)>& change);
    // Another program holds the interface for ms from now (0 frees it):
    // claiming fails with EBUSY. Also while another open file of the device
    // (another process) has claimed it, as the kernel does.
    void holdElsewhere(int ms);
    // The next count requests for the serial number's text stall, as those
    // of a busy device may fail.
    void stallSerialNumberReads(int count);

    // What the host did, for assertions.
    int setConfigurationCalls() const;
    // Requests to claim the interface, granted or not.
    int claimRequests() const;
    int zeroLengthPacketsOut() const;
    int largestBulkTransfer() const;
    int submittedInterruptTransfers() const;
    // Bulk-in URBs submitted and not yet ended.
    int bulkInWaiting() const;

private:
    // A URB belongs to the open file (client) that submitted it, as in the
    // kernel: only that client reaps it, and it goes when the file closes.
    struct Urb {
        UMockdevIoctlData* data;
        quint8 type;
        UMockdevIoctlClient* client;
        int received; // bytes a waiting bulk-in URB holds already
    };
    static int handleIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* self);
    static void clientVanished(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* self);
    bool handle(UMockdevIoctlClient* client);
    int handleWordIoctl(unsigned long request, UMockdevIoctlData* argument);
    int submit(UMockdevIoctlClient* client, UMockdevIoctlData* argument);
    int submitControl(const Urb& urb, quint8* buffer, int length);
    int claim(UMockdevIoctlClient* client);
    int driverOf(UMockdevIoctlData* argument) const;
    QByteArray stringDescriptor(quint8 index) const;
    bool takeSerialNumberStall(quint8 index);
    int deviceStatus(quint8* data, int length) const;
    bool isClaimedElsewhere() const;
    void serveDueBytes();
    int reap(UMockdevIoctlClient* client, UMockdevIoctlData* argument);
    int discard(UMockdevIoctlData* argument);
    void forgetClient(UMockdevIoctlClient* client);
    void pump();
    void remove();
    void disconnect();
    bool serveBulkIn();
    bool serveInterrupt();
    void complete(const Urb& urb, int status, int actualLength);
    void checkUnplugRequest();
    QString sysfsRecord() const;
    QString sysfsPath() const;
    QString deviceNode() const;
    QByteArray descriptors() const;

    const Descriptor m_descriptor;
    EmulatedFunction* m_function;
    mutable std::mutex m_mutex;
    UMockdevIoctlBase* m_handler = nullptr;
    QString m_sysfsPath;
    int m_deviceNumber = 1;
    bool m_plugged = false;
    qint64 m_heldUntil = 0;
    int m_serialNumberStalls = 0;
    // The open file that has claimed the interface; null when none has.
    UMockdevIoctlClient* m_claimedBy = nullptr;
    bool m_stopping = false;
    std::condition_variable m_wake;
    std::thread m_clockThread;
    QList<Urb> m_waiting;
    QList<Urb> m_done;
    QList<QByteArray> m_interruptPackets;
    int m_setConfigurationCalls = 0;
    int m_claimRequests = 0;
    int m_zeroLengthPacketsOut = 0;
    int m_largestBulkTransfer = 0;
    int m_submittedInterruptTransfers = 0;
};

#endif
