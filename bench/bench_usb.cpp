// Picture downloads over real libusb against the emulated USB camera
// (the virtual camera behind umockdev's usbfs), beside a plain libusb reader
// of the same objects on the same emulated device: GetObject with one
// transfer at a time and with several in flight, the emulated link's own
// limit. For each size the plain reader runs just before and just after the
// library, so that both see the same load. Needs umockdev's preload library:
//
//   LD_PRELOAD=libumockdev-preload.so.0 bench_usb [--product 0xPPPP] [--sizes 25,60,100] [--pictures N] [--pairs N]
#include "BenchFigures.h"
#include "BenchHost.h"
#include "EmulatedUsbDevice.h"
#include "VirtualCameraFunction.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <deque>
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
const int kIoTimeoutMs = 20000;
const quint32 kPiece = 1u << 20;

struct Shape {
    int inFlight;
    quint32 piece;
    const char* name;
};
// One synchronous transfer at a time, as the library did; several queued.
const Shape kShapes[] = {{1, kPiece, "1 x 1 MiB"}, {2, kPiece, "2 x 1 MiB"}, {4, kPiece, "4 x 1 MiB"}};
const int kShapeCount = int(sizeof kShapes / sizeof kShapes[0]);

// GetObject by hand over libusb: command, the data container read with
// pieces queued, response.
class PlainReader
{
public:
    bool open(quint16 vendorId, quint16 productId)
    {
        if (libusb_init(&m_context) != 0)
            return false;
        m_handle = libusb_open_device_with_vid_pid(m_context, vendorId, productId);
        // Device Reset first: a session another host left open ends.
        return m_handle && libusb_claim_interface(m_handle, 0) == 0
            && libusb_control_transfer(m_handle, 0x21, 0x66, 0, 0, nullptr, 0, kIoTimeoutMs) == 0
            && transact(0x1002, 1) == 0x2001;
    }
    void close()
    {
        if (m_handle) {
            transact(0x1003, 0);
            libusb_release_interface(m_handle, 0);
            libusb_close(m_handle);
        }
        libusb_exit(m_context);
        m_handle = nullptr;
    }
    // MB/s of the object's payload; 0 when the read failed. The buffer is
    // kept from read to read, as the library keeps its own.
    double readObject(quint32 handle, quint32 size, const Shape& shape)
    {
        const quint32 container = size + 12;
        if (m_buffer.size() < container + kPacket)
            m_buffer.assign(container + kPacket, 0);
        const qint64 startNs = BenchHost::nowNs();
        if (!command(0x1009, handle) || !readStream(m_buffer.data(), container, shape)
            || response() != 0x2001)
            return 0;
        return BenchFigures::megabytesPerSecond(size, BenchHost::nowNs() - startNs);
    }

private:
    struct Piece {
        libusb_transfer* transfer = nullptr;
        int done = 0;
    };

    quint16 transact(quint16 opCode, quint32 parameter)
    {
        return command(opCode, parameter) ? response() : 0;
    }
    bool command(quint16 opCode, quint32 parameter)
    {
        quint8 bytes[16] = {16, 0, 0, 0, 1, 0, quint8(opCode), quint8(opCode >> 8)};
        const quint32 words[2] = {m_transactionId++, parameter};
        std::memcpy(bytes + 8, words, sizeof words);
        int sent = 0;
        return libusb_bulk_transfer(m_handle, kBulkOut, bytes, sizeof bytes, &sent, kIoTimeoutMs) == 0;
    }
    // The response code; a zero-length packet that ended the data is skipped.
    quint16 response()
    {
        quint8 bytes[kPacket];
        int length = 0;
        while (libusb_bulk_transfer(m_handle, kBulkIn, bytes, sizeof bytes, &length, kIoTimeoutMs) == 0) {
            if (length >= 12)
                return quint16(bytes[6] | bytes[7] << 8);
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

struct Bench {
    EmulatedUsbDevice::Descriptor descriptor;
    VirtualCameraFunction* function;
    EmulatedUsbDevice* device;
    QVector<quint32> sizes;
    int pictures;
    int pairs;

    // A DNG stored on the camera now, announced to nobody.
    quint32 takeQuietPicture(quint32 bytes)
    {
        quint32 handle = 0;
        device->withFunction([&](EmulatedFunction*) {
            BRX_Commu_VirtualCameraStore& store = function->device().store();
            store.setPictureSizes(bytes, bytes / 4);
            store.setPicturesKept(1);
            for (quint32 added : store.addPicture({BRX_Commu_VirtualCameraStore::kFormatDng}))
                handle = added;
            store.clearPending();
        });
        return handle;
    }

    // Samples of size s per shape, added to plain.
    bool readPlain(int s, QVector<Samples>& plain)
    {
        PlainReader reader;
        bool ok = reader.open(descriptor.vendorId, descriptor.productId);
        const quint32 bytes = sizes.at(s) * kMegabyte;
        const quint32 handle = takeQuietPicture(bytes);
        for (int i = 0; ok && i < pictures; ++i) {
            for (int shape = 0; ok && shape < kShapeCount; ++shape) {
                const double rate = reader.readObject(handle, bytes, kShapes[shape]);
                plain[shape].add(rate);
                ok = rate > 0;
            }
        }
        reader.close();
        return ok;
    }

    void shoot(quint32 bytes)
    {
        device->withFunction([&](EmulatedFunction*) {
            function->device().store().setPictureSizes(bytes, bytes / 4);
            function->device().takePicture();
        });
    }

    // The library's samples of size s: single DNGs, then bursts of pairs.
    bool readLibrary(int s, Samples& singles, Samples& bursts, Samples& burstFiles)
    {
        const quint32 bytes = sizes.at(s) * kMegabyte;
        bool ok = BenchHost::connect(kDownloadWaitMs)
            && BenchHost::setInt(BRX_SDK_Property::FileFormat, kFileFormatDng);
        for (int i = 0; ok && i < pictures; ++i) {
            const QVector<Download> downloads = BenchHost::takePictures([&] { shoot(bytes); }, 1, 1, kDownloadWaitMs);
            ok = downloads.size() == 1;
            if (ok)
                singles.add(BenchFigures::megabytesPerSecond(bytes, downloads.first().durationNs()));
        }
        ok = ok && BenchHost::setInt(BRX_SDK_Property::FileFormat, kFileFormatPair);
        for (int i = 0; ok && i < pictures; ++i) {
            const QVector<Download> downloads =
                BenchHost::takePictures([&] { shoot(bytes); }, pairs, 2, kDownloadWaitMs);
            ok = !downloads.isEmpty();
            bursts.add(BenchHost::burstRate(downloads));
            burstFiles.add(BenchHost::filesRate(downloads));
        }
        BRX_SDK_exit();
        BenchHost::connectedProduct() = 0;
        return ok;
    }
};

void print(const Bench& bench, const QVector<QVector<Samples>>& plain, const QVector<Samples>& singles,
           const QVector<Samples>& bursts, const QVector<Samples>& burstFiles)
{
    for (int s = 0; s < bench.sizes.size(); ++s) {
        double best = 0;
        for (int shape = 0; shape < kShapeCount; ++shape)
            best = std::max(best, plain[s][shape].median());
        std::printf("DNG %3u MB  plain libusb reader:", bench.sizes.at(s));
        for (int shape = 0; shape < kShapeCount; ++shape)
            std::printf(" %s %s;", kShapes[shape].name, plain[s][shape].text().constData());
        std::printf("\n            library, single %s MB/s = %.0f%% of the best plain reader (target >= 95%%)\n",
                    singles[s].text().constData(), 100.0 * singles[s].median() / best);
        std::printf("            library, burst of %d DNG+JPG pairs %s MB/s = %.0f%% of it; over the files' own "
                    "download times %s MB/s\n",
                    bench.pairs, bursts[s].text().constData(), 100.0 * bursts[s].median() / best,
                    burstFiles[s].text().constData());
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
    parser.addOption({"pictures", "Single pictures and bursts per size (default 3).", "n", "3"});
    parser.addOption({"pairs", "DNG+JPG pairs in a burst (default 3).", "n", "3"});
    parser.process(app);
    if (!EmulatedUsbDevice::createTestbed()) {
        std::printf("bench_usb: needs umockdev's preload library (LD_PRELOAD=libumockdev-preload.so.0)\n");
        return 77;
    }
    Bench bench;
    bench.descriptor.productId = quint16(parser.value("product").toInt(nullptr, 0));
    bench.sizes = BenchFigures::sizesFrom(parser.value("sizes"));
    bench.pictures = parser.value("pictures").toInt();
    bench.pairs = parser.value("pairs").toInt();
    VirtualCameraFunction function(bench.descriptor.productId, bench.descriptor.bulkPacketSize);
    EmulatedUsbDevice device(bench.descriptor, &function);
    device.plug();
    bench.function = &function;
    bench.device = &device;

    std::printf("downloads over real libusb, emulated USB camera 0x%04X; MB/s as median (min-max, n)\n",
                bench.descriptor.productId);
    QVector<QVector<Samples>> plain(bench.sizes.size(), QVector<Samples>(kShapeCount));
    QVector<Samples> singles(bench.sizes.size());
    QVector<Samples> bursts(bench.sizes.size());
    QVector<Samples> burstFiles(bench.sizes.size());
    // Each size's library samples between two rounds of the plain reader.
    bool ok = true;
    for (int s = 0; ok && s < bench.sizes.size(); ++s) {
        ok = bench.readPlain(s, plain[s]) && bench.readLibrary(s, singles[s], bursts[s], burstFiles[s])
            && bench.readPlain(s, plain[s]);
    }
    if (ok)
        print(bench, plain, singles, bursts, burstFiles);
    else
        std::printf("a read failed\n");
    return ok ? 0 : 1;
}
