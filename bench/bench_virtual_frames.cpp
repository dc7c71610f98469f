// How long the virtual camera takes to make what it shows, against the
// 40 ms a live-view frame may take at its 25 frames a second: the frames of
// the ball's first round (each one encoded), those of the rounds after it
// (encoded once, kept), and the files of one picture (its JPG and
// thumbnails at the default sizes). Fails when a round's frames take longer
// on average than the frame interval.
//
//   bench_virtual_frames [--rounds N] [--pictures N] [--frame-size BYTES]
#include "BRX_Commu_PtpCodes.h"
#include "BRX_Commu_VirtualCameraStore.h"
#include "BRX_Commu_VirtualCameraStream.h"

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

// Milliseconds per picture of a DNG + JPG pair.
double pictures(int count)
{
    BRX_Commu_VirtualCameraStore store;
    store.setPicturesKept(3);
    QElapsedTimer clock;
    clock.start();
    for (int picture = 0; picture < count; ++picture)
        store.addPicture({BRX_Commu_PtpCodes::kFormatDng, BRX_Commu_PtpCodes::kFormatJpg});
    return double(clock.nsecsElapsed()) / 1e6 / count;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"rounds", "Rounds of the ball after the first (default 4).", "n", "4"});
    parser.addOption({"pictures", "Pictures to make (default 50).", "n", "50"});
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
    const double picture = pictures(qMax(1, parser.value("pictures").toInt()));

    std::printf("live-view frames of %u bytes: %.2f ms each in the first round, at most %.3f ms in the %d after it "
                "(%.0f ms allowed); a DNG + JPG picture: %.2f ms\n",
                frameSize, first, kept, rounds, kFrameIntervalMs, picture);
    return first < kFrameIntervalMs && kept < kFrameIntervalMs ? 0 : 1;
}
