// Picture downloads over real libusb against the emulated USB camera
// (the virtual camera behind umockdev's usbfs), beside a plain libusb reader
// of the same picture size on a second emulated camera in the same process:
// GetObject by hand with one transfer at a time and with several in flight,
// the emulated link's own limit. The library's downloads alternate with the
// plain reader's reads, so that both see the same load.
//
// Both are timed by the device: from a GetObject command's arrival to the
// host taking the last byte of its response, on one clock. The library's
// time from its start record to its picture record is printed as well; it
// adds the host's side of the download (the callbacks, the acknowledgement).
// A burst is also set beside the plain reader's burst with the exchanges
// the library makes between files (each file's information and
// acknowledgement), and the shutter press to a pair beside a plain client
// that releases, reads the camera's events and takes the pair with the
// same transactions: what the emulated link costs any client.
//
// The emulation allocates a buffer for every transfer; glibc's dynamic
// thresholds made those fresh pages now and then, which on a virtual
// machine cost more than the copy itself and made the link's rate swing by a
// factor of five. Fixed thresholds keep it steady. Needs umockdev's preload
// library:
//
//   LD_PRELOAD=libumockdev-preload.so.0 bench_usb [--product 0xPPPP] [--sizes 25,60,100] [--pictures N] [--pairs N]
//                                              [--log-flags 0xM]
//
// --log-flags shows the library's log on stderr (see bench_download).
#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_LibusbBulkQueue.h"
#include "BRX_Commu_PtpCodes.h"
#include "BenchFigures.h"
#include "BenchHost.h"
#include "EmulatedUsbDevice.h"
#include "VirtualCameraFunction.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <atomic>
#include <cstdio>
#include <deque>
#include <malloc.h>
#include <mutex>
#include <vector>
#include <libusb.h>

namespace {

using BenchFigures::Samples;
using BenchHost::Download;
using BenchHost::kDownloadWaitMs;
using BenchHost::kFileFormatDng;
using BenchHost::kFileFormatPair;
using BenchHost::kMegabyte;

const int kPacket = 512;
const quint8 kBulkIn = 0x81;
const quint8 kBulkOut = 0x02;
const quint8 kInterruptIn = 0x83;
// Room for any event container, in whole packets of the emulated device.
const int kEventTransferBytes = 64;
const int kIoTimeoutMs = 20000;
const quint32 kPiece = 1u << 20;
// Above the largest transfer, below the smallest picture; nothing freed is
// handed back to the system.
const int kSteadyMmapThreshold = 16 << 20;
const int kSteadyTrimThreshold = 1 << 30;
// The second camera's, so that the plain reader finds it by its IDs.
const quint16 kReferenceProductId = 0x7F01;

const quint16 kContainerCommand = 1;
const quint16 kContainerResponse = 3;
const quint16 kOpGetObject = BRX_Commu_PtpCodes::kOpGetObject;
const quint32 kHeaderBytes = 12;
// The head of the camera's transfer queue, as the library's downloads ask for it.
const quint32 kPendingHandle = BRX_Commu_VirtualCameraStore::kPendingHandle;
// ObjectCompressedSize in an ObjectInfo container: after the header, the
// storage ID, the format and the protection status.
const quint32 kObjectSizeOffset = kHeaderBytes + 8;

struct Shape {
    int inFlight;
    quint32 piece;
};
// One transfer at a time, as a synchronous reader does (the device waits
// between transfers), then several queued. The reference is the shape the
// library keeps queued; larger pieces would run faster here, but a real
// kernel lends usbfs 16 MiB in all by default, shared by every program.
const Shape kShapes[] = {
    {1, kPiece}, {4, kPiece}, {BRX_Commu_LibusbBulkQueue::kPiecesInFlight, BRX_Commu_LibusbBulkQueue::kPieceBytes}};
const int kShapeCount = int(sizeof kShapes / sizeof kShapes[0]);
const int kReferenceShape = kShapeCount - 1;

// The virtual camera, with a clock on each GetObject: from its command's
// arrival to the host taking the last byte of its response. Called with the
// emulated device's lock held, read by the benchmark's thread.
class TimedFunction : public VirtualCameraFunction
{
public:
    struct Span {
        qint64 startNs;
        qint64 endNs;
    };
    using VirtualCameraFunction::VirtualCameraFunction;

    BRX_Commu_UsbPipe::Status receive(const quint8* data, quint32 size, quint32* accepted) override
    {
        BRX_Commu_ByteReader header(data, size);
        if (size >= kHeaderBytes && header.readU16At(4) == kContainerCommand && header.readU16At(6) == kOpGetObject)
            m_startNs = BenchHost::nowNs();
        return VirtualCameraFunction::receive(data, size, accepted);
    }
    BRX_Commu_UsbPipe::Status send(quint8* data, quint32 capacity, quint32* received) override
    {
        const BRX_Commu_UsbPipe::Status status = VirtualCameraFunction::send(data, capacity, received);
        follow(data, *received);
        return status;
    }
    // The GetObjects answered since the last call.
    QVector<Span> takeSpans()
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        const QVector<Span> spans = m_spans;
        m_spans.clear();
        return spans;
    }

private:
    // Containers start where a transfer starts or where the one before ended.
    void follow(const quint8* data, quint32 count)
    {
        while (count >= (m_left ? 1 : kHeaderBytes)) {
            if (m_left == 0) {
                BRX_Commu_ByteReader header(data, kHeaderBytes);
                m_left = header.readU32At(0);
                m_type = header.readU16At(4);
            }
            const quint32 step = std::min(m_left, count);
            m_left -= step;
            data += step;
            count -= step;
            if (m_left == 0 && m_type == kContainerResponse && m_startNs >= 0) {
                std::lock_guard<std::mutex> locker(m_mutex);
                m_spans << Span{m_startNs, BenchHost::nowNs()};
                m_startNs = -1;
            }
        }
    }

    std::mutex m_mutex;
    QVector<Span> m_spans;
    qint64 m_startNs = -1;
    quint32 m_left = 0;
    quint16 m_type = 0;
};

// The library's figures of one size: timed by the device, from the start
// record to the picture record, and beside the plain reader's reads.
struct Alternation {
    Samples library;
    Samples host;
    Samples plain;
    // Percent of the mean of the plain reads just before and just after.
    Samples ratio;
    // The same over the GetObjects alone, without the exchanges between
    // the files of a burst.
    Samples objectsRatio;
    // A burst's: the plain reader's burst with the library's exchanges
    // between files, taken after each of the library's, and the library's
    // share of it.
    Samples plainBurst;
    Samples burstRatio;
};

// One download or burst of the library, timed by the device.
struct Rates {
    double span = 0;
    double objects = 0;
};

struct LibraryFigures {
    Alternation single;
    Alternation burst;
};

// GetObject by hand over libusb: command, the data container read with
// pieces queued, response.
class PlainReader
{
public:
    bool open(quint16 vendorId, quint16 productId)
    {
        m_transactionId = 0;
        if (libusb_init(&m_context) != 0)
            return false;
        m_handle = libusb_open_device_with_vid_pid(m_context, vendorId, productId);
        // Device Reset first: a session another host left open ends.
        return m_handle && libusb_claim_interface(m_handle, 0) == 0
            && libusb_control_transfer(m_handle, 0x21, 0x66, 0, 0, nullptr, 0, kIoTimeoutMs) == 0
            && transact(BRX_Commu_PtpCodes::kOpOpenSession, {1}) == BRX_Commu_PtpCodes::kResponseOK;
    }
    void close()
    {
        if (m_handle) {
            transact(BRX_Commu_PtpCodes::kOpCloseSession, {});
            libusb_release_interface(m_handle, 0);
            libusb_close(m_handle);
        }
        libusb_exit(m_context);
        m_handle = nullptr;
    }
    // The buffer is kept from read to read, as the library keeps its own.
    bool readObject(quint32 handle, quint32 size, const Shape& shape)
    {
        const quint32 container = size + kHeaderBytes;
        if (m_buffer.size() < container + kPacket)
            m_buffer.assign(container + kPacket, 0);
        return command(kOpGetObject, {handle}) && readStream(m_buffer.data(), container, shape)
            && response() == BRX_Commu_PtpCodes::kResponseOK;
    }
    // A release and its pair of files, with the transactions of the
    // library's downloads: the release and the camera's events that announce
    // its files, then for each file the head of the transfer queue's
    // information, the object and the acknowledgement. Milliseconds from the
    // release's command to the last answer; 0 when a transaction failed.
    double takePair(const Shape& shape)
    {
        const qint64 startNs = BenchHost::nowNs();
        bool ok = transact(BRX_Commu_PtpCodes::kOpRelease, {quint32(kVQReleaseCapture)})
                == BRX_Commu_PtpCodes::kResponseOK
            && readTransferRequests(2);
        quint32 size = 0;
        for (int file = 0; ok && file < 2; ++file)
            ok = readPendingFile(shape, &size);
        return ok ? (BenchHost::nowNs() - startNs) / 1e6 : 0;
    }
    // The head of the transfer queue as the library's download takes it:
    // its information, the object and the acknowledgement; *size: its size.
    bool readPendingFile(const Shape& shape, quint32* size)
    {
        return readPendingInfo(size) && readObject(kPendingHandle, *size, shape)
            && transact(BRX_Commu_PtpCodes::kOpTransferObjectReady, {}) == BRX_Commu_PtpCodes::kResponseOK;
    }

private:
    struct Piece {
        libusb_transfer* transfer = nullptr;
        int done = 0;
    };

    quint16 transact(quint16 opCode, std::initializer_list<quint32> parameters)
    {
        return command(opCode, parameters) ? response() : 0;
    }
    bool command(quint16 opCode, std::initializer_list<quint32> parameters)
    {
        if (parameters.size() > BRX_Commu_PtpContainer::kMaxParams)
            return false;
        quint8 bytes[kHeaderBytes + 4 * BRX_Commu_PtpContainer::kMaxParams] = {0, 0, 0, 0, 1, 0, quint8(opCode),
                                                                               quint8(opCode >> 8)};
        std::memcpy(bytes + 8, &m_transactionId, 4);
        ++m_transactionId;
        int length = int(kHeaderBytes);
        for (quint32 parameter : parameters) {
            std::memcpy(bytes + length, &parameter, 4);
            length += 4;
        }
        bytes[0] = quint8(length);
        int sent = 0;
        return libusb_bulk_transfer(m_handle, kBulkOut, bytes, length, &sent, kIoTimeoutMs) == 0;
    }
    // Events until count requests for a file's transfer came, each event in
    // one transfer (it ends with a short packet).
    bool readTransferRequests(int count)
    {
        quint8 bytes[kEventTransferBytes];
        int length = 0;
        while (count > 0
               && libusb_interrupt_transfer(m_handle, kInterruptIn, bytes, sizeof bytes, &length, kIoTimeoutMs) == 0) {
            if (length >= int(kHeaderBytes)
                && BRX_Commu_ByteReader(bytes, quint32(length)).readU16At(6)
                    == BRX_Commu_PtpCodes::kEventRequestObjectTransfer)
                --count;
        }
        return count == 0;
    }
    // The information of the head of the transfer queue, read as the
    // library reads a small data phase (one transfer of its staging size);
    // *size: the object's.
    bool readPendingInfo(quint32* size)
    {
        quint8 bytes[16384];
        int length = 0;
        const bool read = command(BRX_Commu_PtpCodes::kOpGetObjectInfo, {kPendingHandle})
            && libusb_bulk_transfer(m_handle, kBulkIn, bytes, sizeof bytes, &length, kIoTimeoutMs) == 0
            && quint32(length) >= kObjectSizeOffset + 4;
        if (read)
            *size = BRX_Commu_ByteReader(bytes, quint32(length)).readU32At(kObjectSizeOffset);
        return read && response() == BRX_Commu_PtpCodes::kResponseOK;
    }
    // The response code; a zero-length packet that ended the data is skipped.
    quint16 response()
    {
        quint8 bytes[kPacket];
        int length = 0;
        while (libusb_bulk_transfer(m_handle, kBulkIn, bytes, sizeof bytes, &length, kIoTimeoutMs) == 0) {
            if (length >= 12)
                return BRX_Commu_ByteReader(bytes, quint32(length)).readU16At(6);
        }
        return 0;
    }
    static void LIBUSB_CALL pieceDone(libusb_transfer* transfer)
    {
        static_cast<Piece*>(transfer->user_data)->done = 1;
    }
    // bytes of a container (and the zero-length packet after a full last
    // packet), in pieces of the shape, shape.inFlight of them queued.
    bool readStream(quint8* data, quint32 bytes, const Shape& shape)
    {
        const quint32 total = bytes + kPacket - bytes % kPacket;
        QVector<Piece> pieces(shape.inFlight);
        std::deque<Piece*> idle;
        std::deque<Piece*> flying;
        for (Piece& piece : pieces) {
            piece.transfer = libusb_alloc_transfer(0);
            idle.push_back(&piece);
        }
        quint32 submitted = 0;
        quint32 received = 0;
        bool ok = true;
        bool ended = false;
        while (ok && !ended) {
            for (; ok && !idle.empty() && submitted < total; idle.pop_front()) {
                Piece* piece = idle.front();
                const quint32 length = std::min(shape.piece, total - submitted);
                piece->done = 0;
                libusb_fill_bulk_transfer(piece->transfer, m_handle, kBulkIn, data + submitted, int(length),
                                          pieceDone, piece, kIoTimeoutMs);
                ok = libusb_submit_transfer(piece->transfer) == 0;
                submitted += length;
                flying.push_back(piece);
            }
            Piece* head = flying.front();
            while (ok && head->done == 0)
                ok = libusb_handle_events_completed(m_context, &head->done) == 0;
            flying.pop_front();
            idle.push_back(head);
            ok = ok && head->transfer->status == LIBUSB_TRANSFER_COMPLETED;
            received += quint32(head->transfer->actual_length);
            ended = head->transfer->actual_length < head->transfer->length;
        }
        for (Piece& piece : pieces)
            libusb_free_transfer(piece.transfer);
        return ok && flying.empty() && received == bytes;
    }

    libusb_context* m_context = nullptr;
    libusb_device_handle* m_handle = nullptr;
    quint32 m_transactionId = 0;
    std::vector<quint8> m_buffer;
};

// One emulated camera: the library's, or the plain reader's beside it.
struct Camera {
    // The virtual camera of product, behind a USB device of descriptor.
    Camera(int product, const EmulatedUsbDevice::Descriptor& usb)
        : descriptor(usb)
        , function(product, usb.bulkPacketSize)
        , device(usb, &function)
    {
    }
    // A DNG stored on the camera now, announced to nobody.
    quint32 takeQuietPicture(quint32 bytes)
    {
        quint32 handle = 0;
        device.withFunction([&](EmulatedFunction*) {
            BRX_Commu_VirtualCameraStore& store = function.device().store();
            store.setPictureSizes(bytes, bytes / 4);
            store.setPicturesKept(1);
            for (quint32 added : store.addPicture({BRX_Commu_PtpCodes::kFormatDng}))
                handle = added;
            store.clearPending();
        });
        return handle;
    }
    // A picture taken on the body, announced to the host.
    void shoot(quint32 bytes)
    {
        device.withFunction([&](EmulatedFunction*) {
            function.device().store().setPictureSizes(bytes, bytes / 4);
            function.device().takePicture();
        });
    }
    // The camera's file format (BRX_SDK_Property::FileFormat's values).
    void setFileFormat(int format)
    {
        device.withFunction([&](EmulatedFunction*) { function.device().changeProperty(BRX_Commu_PtpCodes::kDevicePropFileFormat, format); });
    }
    // The size of the DNG of the pictures the camera takes next.
    void setPictureSize(quint32 bytes)
    {
        device.withFunction([&](EmulatedFunction*) { function.device().store().setPictureSizes(bytes, bytes / 4); });
    }

    // The pictures taken from now on are announced as soon as their files
    // are made, noting the time; reusing: each gets the files of the one
    // before, renamed (BRX_Commu_VirtualCameraStore::ReusedFiles).
    void writePicturesAtOnce(bool reusing)
    {
        device.withFunction([&](EmulatedFunction*) {
            function.device().setCardWriter([this, reusing](const Store::Order& order) { write(order, reusing); });
        });
    }
    qint64 lastAnnouncedNs() const { return announcedNs; }

    const EmulatedUsbDevice::Descriptor descriptor;
    TimedFunction function;
    EmulatedUsbDevice device;

private:
    typedef BRX_Commu_VirtualCameraStore Store;

    // In the release's operation, with the device's lock held.
    void write(const Store::Order& order, bool reusing)
    {
        const QVector<Store::Object> files = reusing ? reused.filesFor(order) : Store::makeFiles(order);
        announcedNs = BenchHost::nowNs();
        for (int i = 0; i < files.size(); ++i)
            function.device().fileWritten(files.at(i), i == files.size() - 1);
    }

    Store::ReusedFiles reused;
    std::atomic<qint64> announcedNs{0};
};

// The library downloads from its camera while the plain reader reads from a
// second one, plugged once the library holds the first (it leaves a second
// camera alone then): their samples alternate, so both see the same load
// and the same state of the process.
struct Bench {
    Camera* library;
    Camera* reference;
    QVector<quint32> sizes;
    int pictures;
    int pairs;

    PlainReader reader;
    quint32 bytes = 0;

    // A picture of the reference camera read by the plain reader in shape.
    // Each read gets a picture taken just before it, as each of the library's
    // downloads does: the emulated camera serves a picture it served before
    // faster by a fifth than one it has just made.
    double readPlain(const Shape& shape)
    {
        const quint32 handle = reference->takeQuietPicture(bytes);
        reference->function.takeSpans();
        return reader.readObject(handle, bytes, shape) ? BenchFigures::megabytesPerSecond(bytes, BenchHost::spanNs(reference->function.takeSpans())) : 0;
    }

    // The same burst by the plain reader, with the exchanges the library's
    // downloads make between files (each file's information and
    // acknowledgement), timed as the library's: over the span of its
    // GetObjects. Zero when a read failed.
    double readPlainBurst(int pictures, int filesPerPicture, const Shape& shape)
    {
        for (int i = 0; i < pictures; ++i)
            reference->shoot(bytes);
        reference->function.takeSpans();
        qint64 total = 0;
        quint32 size = 0;
        bool ok = true;
        for (int file = 0; ok && file < pictures * filesPerPicture; ++file) {
            ok = reader.readPendingFile(shape, &size);
            total += size;
        }
        const qint64 spanNs = BenchHost::spanNs(reference->function.takeSpans());
        return ok ? BenchFigures::megabytesPerSecond(total, spanNs) : 0;
    }

    // The library's rates of one download (pictures 1) or burst, zero when
    // it failed; its rate from start record to picture record goes to host.
    Rates download(int pictures, int filesPerPicture, Samples& host)
    {
        library->function.takeSpans();
        // The emulated camera stores a picture before its release answers.
        const QVector<Download> downloads = BenchHost::takePictures([&] { library->shoot(bytes); }, pictures,
                                                                    filesPerPicture, kDownloadWaitMs, [] { return true; });
        Rates rates;
        if (downloads.isEmpty())
            return rates;
        host.add(BenchHost::burstRate(downloads));
        const QVector<TimedFunction::Span> spans = library->function.takeSpans();
        const qint64 downloaded = BenchHost::totalBytes(downloads);
        rates.span = BenchFigures::megabytesPerSecond(downloaded, BenchHost::spanNs(spans));
        rates.objects = BenchFigures::megabytesPerSecond(downloaded, BenchHost::busyNs(spans));
        return rates;
    }

    // Library downloads, each between two reads of the plain reader with the
    // library's transfers: a read runs faster or slower by a fifth with what
    // ran just before it and with the load of the moment, so each download
    // is set against the reads on either side of it.
    bool alternate(int picturesPerDownload, int filesPerPicture, Alternation& figures)
    {
        const Shape& same = kShapes[kReferenceShape];
        double before = readPlain(same);
        bool ok = before > 0;
        for (int i = 0; ok && i < pictures; ++i) {
            const Rates rates = download(picturesPerDownload, filesPerPicture, figures.host);
            const double after = readPlain(same);
            ok = rates.span > 0 && after > 0;
            const double plain = (before + after) / 2;
            figures.library.add(rates.span);
            figures.plain.add(after);
            figures.ratio.add(100.0 * rates.span / plain);
            figures.objectsRatio.add(100.0 * rates.objects / plain);
            if (ok && picturesPerDownload > 1) {
                const double plainBurst = readPlainBurst(picturesPerDownload, filesPerPicture, same);
                ok = plainBurst > 0;
                figures.plainBurst.add(plainBurst);
                figures.burstRatio.add(100.0 * rates.span / plainBurst);
            }
            before = after;
        }
        return ok;
    }

    // Size s: the plain reader's other shapes, then single DNGs, then bursts
    // of pairs.
    bool measure(int s, QVector<Samples>& shapes, LibraryFigures& figures)
    {
        bytes = sizes.at(s) * kMegabyte;
        bool ok = BenchHost::connect(kDownloadWaitMs)
            && BenchHost::setInt(BRX_SDK_Property::FileFormat, kFileFormatDng);
        reference->device.plug();
        ok = ok && reader.open(reference->descriptor.vendorId, reference->descriptor.productId);
        for (int i = 0; ok && i < pictures; ++i) {
            for (int shape = 0; ok && shape < kReferenceShape; ++shape) {
                shapes[shape].add(readPlain(kShapes[shape]));
                ok = shapes[shape].values.last() > 0;
            }
        }
        ok = ok && alternate(1, 1, figures.single) && BenchHost::setInt(BRX_SDK_Property::FileFormat, kFileFormatPair);
        reference->setFileFormat(kFileFormatPair);
        ok = ok && alternate(pairs, 2, figures.burst);
        reader.close();
        reference->device.unplug();
        BRX_SDK_exit();
        BenchHost::connectedProduct() = 0;
        return ok;
    }
};

void printAlternation(const char* what, const Alternation& figures)
{
    std::printf("            library, %s %s MB/s; plain reader with the same transfers queued %s MB/s; "
                "library = %s%% of the plain reads just before and after it (target >= 95%%); start record to "
                "picture record %s MB/s\n",
                what, figures.library.text().constData(), figures.plain.text().constData(),
                figures.ratio.text().constData(), figures.host.text().constData());
}

// A burst also over its GetObjects alone.
void printBurst(const char* what, const Alternation& figures)
{
    printAlternation(what, figures);
    std::printf("            the burst's GetObjects alone = %s%% of the plain reads (the rest: the exchanges "
                "between files)\n",
                figures.objectsRatio.text().constData());
    std::printf("            the same burst by the plain reader with the library's exchanges between files (each "
                "file's information and acknowledgement) %s MB/s; library = %s%% of it\n",
                figures.plainBurst.text().constData(), figures.burstRatio.text().constData());
}

// Shutter presses through the library, each to the last byte of its DNG and
// JPG pair: first with each picture made in its release, then with the
// files of the one before, renamed (made by a press that does not count),
// so that the camera's part is its release answer and announcement alone.
// The presses with files made ahead alternate with the plain reader's pairs
// on the second camera, whose files are made ahead as well.
bool shutterToPair(Bench& bench, int presses)
{
    const quint32 bytes = 300000;
    Camera& library = *bench.library;
    Camera& reference = *bench.reference;
    library.setPictureSize(bytes);
    const auto announcedNs = [&library] { return library.lastAnnouncedNs(); };
    BenchHost::PairTimes made;
    BenchHost::PairTimes first;
    BenchHost::PairTimes ahead;
    Samples plain;
    library.writePicturesAtOnce(false);
    bool ok = BenchHost::connect(kDownloadWaitMs) && BenchHost::setInt(BRX_SDK_Property::FileFormat, kFileFormatPair)
        && BenchHost::shutterToPair(presses, announcedNs, made);
    library.writePicturesAtOnce(true);
    ok = ok && BenchHost::shutterToPair(1, announcedNs, first);
    reference.setPictureSize(bytes);
    reference.writePicturesAtOnce(true);
    reference.setFileFormat(kFileFormatPair);
    reference.device.plug();
    const Shape& shape = kShapes[kReferenceShape];
    ok = ok && bench.reader.open(reference.descriptor.vendorId, reference.descriptor.productId)
        && bench.reader.takePair(shape) > 0;
    for (int i = 0; ok && i < presses; ++i) {
        ok = BenchHost::shutterToPair(1, announcedNs, ahead);
        plain.add(bench.reader.takePair(shape));
        ok = ok && plain.values.last() > 0;
    }
    bench.reader.close();
    reference.device.unplug();
    BRX_SDK_exit();
    BenchHost::connectedProduct() = 0;
    if (ok) {
        made.print(qPrintable(QStringLiteral("shutter to pair, DNG %1 MB + JPG").arg(bytes / 1e6)));
        ahead.print("  files made ahead");
        std::printf("  the same by a plain libusb client  %s ms: the release and its events, then per file the "
                    "information, the object and the acknowledgement, as the library's download; files made ahead\n",
                    plain.text("%.1f").constData());
    }
    return ok;
}

void print(const Bench& bench, const QVector<QVector<Samples>>& shapes, const QVector<LibraryFigures>& library)
{
    for (int s = 0; s < bench.sizes.size(); ++s) {
        std::printf("DNG %3u MB  plain libusb reader:", bench.sizes.at(s));
        for (int shape = 0; shape < kReferenceShape; ++shape)
            std::printf(" %d x %u MiB %s;", kShapes[shape].inFlight, kShapes[shape].piece >> 20,
                        shapes[s][shape].text().constData());
        std::printf(" as the library, %d x %u MiB: below\n", kShapes[kReferenceShape].inFlight,
                    kShapes[kReferenceShape].piece >> 20);
        printAlternation("single", library[s].single);
        printBurst(qPrintable(QStringLiteral("burst of %1 DNG+JPG pairs").arg(bench.pairs)), library[s].burst);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"product", "Emulated camera product ID (default 0x2011).", "id", "0x2011"});
    parser.addOption({"sizes", "DNG sizes in MB (default 25,60,100).", "list", "25,60,100"});
    parser.addOption({"pictures", "Single pictures and bursts per size (default 5).", "n", "5"});
    parser.addOption({"pairs", "DNG+JPG pairs in a burst (default 3).", "n", "3"});
    parser.addOption({"log-flags", "The library's debug flags, logged on stderr (default none).", "mask", "0"});
    parser.process(app);
    BenchHost::logFlags() = parser.value("log-flags").toUInt(nullptr, 0);
    if (!EmulatedUsbDevice::createTestbed()) {
        std::printf("bench_usb: needs umockdev's preload library (LD_PRELOAD=libumockdev-preload.so.0)\n");
        return 77;
    }
    mallopt(M_MMAP_THRESHOLD, kSteadyMmapThreshold);
    mallopt(M_TRIM_THRESHOLD, kSteadyTrimThreshold);
    EmulatedUsbDevice::Descriptor libraryDescriptor;
    libraryDescriptor.productId = quint16(parser.value("product").toInt(nullptr, 0));
    EmulatedUsbDevice::Descriptor referenceDescriptor = libraryDescriptor;
    referenceDescriptor.productId = kReferenceProductId;
    referenceDescriptor.port = libraryDescriptor.port + 1;
    Camera library(libraryDescriptor.productId, libraryDescriptor);
    Camera reference(libraryDescriptor.productId, referenceDescriptor);
    library.device.plug();
    Bench bench;
    bench.library = &library;
    bench.reference = &reference;
    bench.sizes = BenchFigures::sizesFrom(parser.value("sizes"));
    bench.pictures = parser.value("pictures").toInt();
    bench.pairs = parser.value("pairs").toInt();

    std::printf("downloads over real libusb, emulated USB camera 0x%04X; MB/s as median (min-max, n)\n",
                libraryDescriptor.productId);
    QVector<QVector<Samples>> shapes(bench.sizes.size(), QVector<Samples>(kReferenceShape));
    QVector<LibraryFigures> figures(bench.sizes.size());
    bool ok = true;
    for (int s = 0; ok && s < bench.sizes.size(); ++s)
        ok = bench.measure(s, shapes[s], figures[s]);
    if (ok)
        print(bench, shapes, figures);
    else
        std::printf("a read failed\n");
    ok = ok && shutterToPair(bench, bench.pictures);
    return ok ? 0 : 1;
}
