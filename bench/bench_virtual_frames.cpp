// How long the virtual camera takes to make what it shows, against the
// 40 ms a live-view frame may take at its 25 frames a second: the frames of
// the ball's first round (each one encoded), those of the rounds after it
// (encoded once, kept). Fails when a round's frames take longer on average
// than the frame interval. Then how fast it makes its pictures, in ms per MB
// beside memcpy of the same bytes into fresh pages (what a new file's
// memory costs at least), into fresh pages advised as huge pages (as the
// camera's large files are) and into pages already mapped: DNGs of the sizes
// a download benchmark asks for, and a DNG + JPG pair of the product's own
// sensor size.
//
//   bench_virtual_frames [--rounds N] [--pictures N] [--frame-size BYTES] [--sizes 25,60,100] [--product 0xPPPP]
#include "BRX_Commu_PtpCodes.h"
#include "BRX_Commu_VirtualCameraStore.h"
#include "BRX_Commu_VirtualCameraStream.h"
#include "BenchFigures.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

const double kFrameIntervalMs = 40.0;

// Milliseconds per frame over kCycleFrames packets.
double roundOfFrames(BRX_Commu_VirtualCameraStream& stream)
{
    QElapsedTimer clock;
    clock.start();
    for (int frame = 0; frame < BRX_Commu_VirtualCameraStream::kCycleFrames; ++frame)
        stream.nextPacket();
    return double(clock.nsecsElapsed()) / 1e6 / BRX_Commu_VirtualCameraStream::kCycleFrames;
}

using BenchFigures::CopyReference;
using BenchFigures::Samples;

// Milliseconds per MB to make count pictures of formats, and the memcpy
// references in MB/s; the card keeps only the newest picture.
void pictures(int product, quint32 dngBytes, const QVector<quint16>& formats, int count, const char* what)
{
    BRX_Commu_VirtualCameraStore store(product);
    store.setPicturesKept(1);
    store.setPictureSizes(dngBytes, 0);
    Samples msPerMb;
    CopyReference copy;
    qint64 bytes = 0;
    for (int picture = 0; picture < count; ++picture) {
        store.clearPending();
        QElapsedTimer clock;
        clock.start();
        const QVector<quint32> handles = store.addPicture(formats);
        const qint64 ns = clock.nsecsElapsed();
        bytes = 0;
        for (quint32 handle : handles)
            bytes += store.find(handle)->data.size();
        msPerMb.add(ns / 1e6 / (bytes / 1e6));
        const QByteArray& first = store.find(handles.first())->data;
        copy.measure(first.constData(), size_t(first.size()));
    }
    std::printf("%-28s %6.1f MB: %s ms/MB | memcpy fresh %.2f, fresh huge pages %.2f, warm %.3f ms/MB\n", what,
                bytes / 1e6, msPerMb.text("%.2f").constData(), 1e3 / copy.fresh.median(),
                1e3 / copy.freshHuge.median(), 1e3 / copy.warm.median());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"rounds", "Rounds of the ball after the first (default 4).", "n", "4"});
    parser.addOption({"pictures", "Pictures to make of each size (default 5).", "n", "5"});
    parser.addOption({"sizes", "DNG sizes in MB (default 25,60,100).", "list", "25,60,100"});
    parser.addOption({"product", "Product whose sensor and card are used (default 0x2031).", "id", "0x2031"});
    parser.addOption({"frame-size", "Bytes of a live-view frame, 2048 or more (default the camera's).", "bytes",
                      QString::number(BRX_Commu_VirtualCameraStream::kDefaultFrameSize)});
    parser.process(app);

    const quint32 frameSize = parser.value("frame-size").toUInt();
    BRX_Commu_VirtualCameraStream stream;
    stream.setFrameSize(frameSize);
    const double first = roundOfFrames(stream);
    double kept = 0;
    const int rounds = qMax(1, parser.value("rounds").toInt());
    for (int round = 0; round < rounds; ++round)
        kept = qMax(kept, roundOfFrames(stream));
    std::printf("live-view frames of %u bytes: %.2f ms each in the first round, at most %.3f ms in the %d after it "
                "(%.0f ms allowed)\n",
                frameSize, first, kept, rounds, kFrameIntervalMs);

    const int count = qMax(1, parser.value("pictures").toInt());
    const int product = parser.value("product").toInt(nullptr, 0);
    std::printf("pictures of virtual camera 0x%04X, generation time as median (min-max, n)\n", product);
    for (quint32 megabytes : BenchFigures::sizesFrom(parser.value("sizes")))
        pictures(product, megabytes * 1000000u, {BRX_Commu_PtpCodes::kFormatDng}, count,
                 qPrintable(QStringLiteral("DNG of %1 MB asked").arg(megabytes)));
    pictures(product, 0, {BRX_Commu_PtpCodes::kFormatDng, BRX_Commu_PtpCodes::kFormatJpg}, count,
             "DNG + JPG, sensor size");
    return first < kFrameIntervalMs && kept < kFrameIntervalMs ? 0 : 1;
}
