// The camera's card from the host: listing a card of 1,000 pictures (the
// first time, one ObjectInfo per file; again, only the handles), beside the
// time of one exchange with the camera (reading the card's room); and
// downloading files already on the card through the frame records, beside
// the tethered download rate of the same pictures in the same run.
//
//   bench_card [--files N] [--megabytes M] [--pictures N]
#include "BRX_Commu_VirtualCamera.h"
#include "BenchFigures.h"
#include "BenchHost.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

using BenchFigures::Samples;
using BenchHost::Download;
using BenchHost::kDownloadWaitMs;
using BenchHost::kMegabyte;
using BenchHost::Recorder;

const int kListings = 5;
const int kRoomReads = 50;

std::shared_ptr<BRX_Commu_VirtualCamera> camera()
{
    return BRX_Commu_VirtualCamera::selected();
}

double msSince(qint64 startNs)
{
    return double(BenchHost::nowNs() - startNs) / 1e6;
}

// Milliseconds of one listing; negative when it failed.
double timeListing(QVector<BRX_SDK_CardFile>& files, unsigned int* count)
{
    const qint64 start = BenchHost::nowNs();
    const bool ok = BRX_SDK_listCard(files.data(), unsigned(files.size()), count);
    return ok ? msSince(start) : -1.0;
}

bool listing(int pictures)
{
    QVector<BRX_SDK_CardFile> files(pictures * 2);
    unsigned int count = 0;
    const double first = timeListing(files, &count);
    Samples again;
    for (int i = 0; i < kListings; ++i)
        again.add(timeListing(files, &count));
    Samples room;
    for (int i = 0; i < kRoomReads; ++i) {
        BRX_SDK_CardRoom out{};
        const qint64 start = BenchHost::nowNs();
        BRX_SDK_getCardRoom(&out);
        room.add(msSince(start) * 1000.0 / 2.0);
    }
    std::printf("listing %u files, first time      %.0f ms (%.0f us a file) | one exchange %s us\n", count,
                first, first * 1000.0 / count, room.text().constData());
    std::printf("listing %u files again            %s ms\n", count, again.text("%.1f").constData());
    return first >= 0 && again.min() >= 0;
}

// The same pictures twice: as they are taken (tethered), then from the card.
bool downloads(quint32 megabytes, int pictures)
{
    camera()->setPictureSizes(megabytes * kMegabyte, 0);
    const QVector<Download> tethered = BenchHost::takePictures(
        [] { camera()->takePicture(); }, pictures, 1, kDownloadWaitMs, [] { return camera()->picturesInProgress() == 0; });
    if (tethered.size() != pictures)
        return false;
    Samples tetheredRate;
    for (const Download& download : tethered)
        tetheredRate.add(BenchFigures::megabytesPerSecond(download.bytes, download.durationNs()));
    QVector<BRX_SDK_CardFile> files(100000);
    unsigned int count = 0;
    BRX_SDK_listCard(files.data(), unsigned(files.size()), &count);
    Samples cardRate;
    for (unsigned int i = 0; i < count; ++i) {
        if (files.at(int(i)).size != megabytes * kMegabyte)
            continue;
        const int before = Recorder::instance().count();
        if (!BRX_SDK_deliverCardFile(files.at(int(i)).id) || !Recorder::instance().waitForCount(before + 1, kDownloadWaitMs))
            return false;
        const Download download = Recorder::instance().since(before).first();
        cardRate.add(BenchFigures::megabytesPerSecond(download.bytes, download.durationNs()));
    }
    std::printf("DNG %u MB from the card             %s MB/s | tethered %s MB/s | %.0f%% of tethered\n", megabytes,
                cardRate.text().constData(), tetheredRate.text().constData(),
                100.0 * cardRate.median() / tetheredRate.median());
    return cardRate.values.size() == pictures;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"files", "Pictures on the card for the listing (default 1000).", "n", "1000"});
    parser.addOption({"megabytes", "Size of the DNGs downloaded (default 25).", "MB", "25"});
    parser.addOption({"pictures", "DNGs downloaded each way (default 5).", "n", "5"});
    parser.process(app);
    if (!BRX_SDK_useVirtualCamera(0x2031))
        return 2;
    const int pictures = parser.value("files").toInt();
    camera()->fillCard(pictures);
    std::printf("the camera's card, virtual camera 0x2031; median (min-max, n)\n");
    // One DNG a picture, so that each release is one download to time.
    const bool ok = BenchHost::connect(kDownloadWaitMs) && listing(pictures)
                 && BenchHost::setInt(BRX_SDK_Property::FileFormat, BenchHost::kFileFormatDng)
                 && downloads(quint32(parser.value("megabytes").toInt()), parser.value("pictures").toInt());
    BRX_SDK_exit();
    if (!ok)
        std::printf("a listing or download failed\n");
    return ok ? 0 : 1;
}
