// Picture downloads in the process: pictures of the virtual camera travel
// the whole way a real camera's do (PTP containers over the USB pipe, the
// download thread, the frame callback), timed from the download's start
// record to its picture record. Every rate is printed beside memcpy of the
// same bytes in the same process, into a buffer already in memory and into
// fresh pages. Also: the peak memory above the download's start during a
// 100 MB download, and the time from the shutter press to the picture's
// last byte at the host, and to the last byte of both files of a pair with
// where that time goes.
//
//   bench_download [--product 0xPPPP] [--sizes 25,60,100] [--pictures N] [--pairs N] [--log-flags 0xM]
//
// --pictures is also the number of bursts per size and of shutter presses.
// --log-flags shows the library's log on stderr; with
// QT_MESSAGE_PATTERN='%{time process} %{threadid} %{message}' it says when
// each step of a download happened.
#include "BRX_Commu_VirtualCamera.h"
#include "BenchFigures.h"
#include "BenchHost.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <limits>

namespace {

using BenchFigures::CopyReference;
using BenchFigures::Samples;
using BenchHost::Download;
using BenchHost::kDownloadWaitMs;
using BenchHost::kFileFormatDng;
using BenchHost::kFileFormatPair;
using BenchHost::kMegabyte;
using BenchHost::Recorder;

// MB/s: a card that writes any file in no time.
const int kUnlimitedCardSpeed = std::numeric_limits<int>::max();

std::shared_ptr<BRX_Commu_VirtualCamera> camera()
{
    return BRX_Commu_VirtualCamera::selected();
}

qint64 lastAnnouncedNs()
{
    return BenchHost::nsOf(camera()->lastPictureAnnounced());
}

// The camera's stored bytes of the newest file of that size: the bytes the
// host just got.
QByteArray storedFile(quint32 bytes)
{
    const QVector<quint32> handles = camera()->objectHandles();
    for (int i = handles.size() - 1; i >= 0; --i) {
        const QByteArray data = camera()->objectData(handles.at(i));
        if (quint32(data.size()) == bytes)
            return data;
    }
    return QByteArray();
}

// Pictures taken on the camera body, downloaded; empty when they did not all
// arrive whole.
QVector<Download> take(int pictures, int filesPerPicture)
{
    return BenchHost::takePictures([] { camera()->takePicture(); }, pictures, filesPerPicture, kDownloadWaitMs,
                                   [] { return camera()->picturesInProgress() == 0; });
}

void printRate(const char* what, const Samples& rate, const CopyReference& copy)
{
    std::printf("%-34s %s MB/s | memcpy warm %s, fresh %s MB/s | %.0f%% of warm memcpy\n", what,
                rate.text().constData(), copy.warm.text().constData(), copy.fresh.text().constData(),
                100.0 * rate.median() / copy.warm.median());
}

bool singles(quint32 megabytes, int pictures)
{
    const quint32 bytes = megabytes * kMegabyte;
    camera()->setPictureSizes(bytes, bytes / 4);
    Samples rate;
    CopyReference copy;
    for (int i = 0; i < pictures; ++i) {
        const QVector<Download> downloads = take(1, 1);
        if (downloads.size() != 1)
            return false;
        rate.add(BenchFigures::megabytesPerSecond(downloads.first().bytes, downloads.first().durationNs()));
        copy.measure(storedFile(bytes).constData(), bytes);
    }
    printRate(qPrintable(QStringLiteral("DNG %1 MB, single").arg(megabytes)), rate, copy);
    return true;
}

// A burst: the camera announces all its files before the first is fetched.
bool burst(quint32 megabytes, int pairs, int bursts)
{
    const quint32 bytes = megabytes * kMegabyte;
    camera()->setPictureSizes(bytes, bytes / 4);
    Samples rate;
    Samples files;
    CopyReference copy;
    for (int i = 0; i < bursts; ++i) {
        const QVector<Download> downloads = take(pairs, 2);
        if (downloads.isEmpty())
            return false;
        rate.add(BenchHost::burstRate(downloads));
        files.add(BenchHost::filesRate(downloads));
        copy.measure(storedFile(bytes).constData(), bytes);
    }
    printRate(qPrintable(QStringLiteral("DNG %1 MB + JPG, burst of %2").arg(megabytes).arg(pairs)), rate, copy);
    std::printf("%-34s %s MB/s over the files' own download times (the rest is between files)\n", "",
                files.text().constData());
    return true;
}

// The first download of the process, so that no buffer of the library is
// there yet.
bool peakMemory(quint32 megabytes)
{
    const quint32 bytes = megabytes * kMegabyte;
    camera()->setPictureSizes(bytes, bytes / 4);
    const qint64 idleKb = residentKb();
    Recorder::instance().setTrackMemory(true);
    const QVector<Download> downloads = take(1, 1);
    Recorder::instance().setTrackMemory(false);
    if (downloads.size() != 1 || downloads.first().peakAboveStartKb < 0)
        return false;
    const double picture = bytes / 1e6;
    const double peak = downloads.first().peakAboveStartKb * 1024 / 1e6;
    std::printf("%-34s %.1f MB = %.2fx the picture (target <= 1.25x) | resident before the picture was taken "
                "%.1f MB, after the download %.1f MB (camera's file and the kept buffer)\n",
                qPrintable(QStringLiteral("peak memory, DNG %1 MB").arg(megabytes)), peak, peak / picture,
                idleKb / 1e3 * 1.024, residentKb() / 1e3 * 1.024);
    return true;
}

// From the host's capture call to the picture record, and how much of it
// the download itself took.
bool shutterToLastByte(quint32 bytes, int presses)
{
    camera()->setPictureSizes(bytes, bytes / 4);
    Samples total;
    Samples download;
    CopyReference copy;
    for (int i = 0; i < presses; ++i) {
        const int before = Recorder::instance().count();
        const qint64 pressedNs = BenchHost::nowNs();
        BRX_SDK_capture();
        if (!Recorder::instance().waitForCount(before + 1, kDownloadWaitMs))
            return false;
        const Download picture = Recorder::instance().since(before).first();
        total.add((picture.endNs - pressedNs) / 1e6);
        download.add(picture.durationNs() / 1e6);
        copy.measure(storedFile(bytes).constData(), bytes);
    }
    std::printf("%-34s %s ms | of which the download %s ms; memcpy of the same bytes %.2f ms\n",
                qPrintable(QStringLiteral("shutter to last byte, %1 MB").arg(bytes / 1e6)),
                total.text("%.1f").constData(), download.text("%.1f").constData(), bytes / 1e3 / copy.warm.median());
    return true;
}

// A DNG and JPG pair from one press: the camera's release, its picture
// making and card writing, two announcements and two downloads; first with
// the camera's own card, then with the camera's part as short as a camera
// can make it (see shutterToPairAhead).
bool shutterToPair(quint32 bytes, int presses)
{
    camera()->setPictureSizes(bytes, bytes / 4);
    BenchHost::PairTimes times;
    if (!BenchHost::shutterToPair(presses, lastAnnouncedNs, times))
        return false;
    times.print(qPrintable(QStringLiteral("shutter to pair, DNG %1 MB + JPG").arg(bytes / 1e6)));
    return true;
}

// The library's path from the press: a card without a speed limit, and
// every picture with the files of the one before, renamed for it (made
// before the presses that count, by one that does not), so that the
// camera's part is its release answer and announcement alone.
bool shutterToPairAhead(quint32 bytes, int presses)
{
    camera()->setPictureSizes(bytes, bytes / 4);
    camera()->setCardSpeed(kUnlimitedCardSpeed);
    camera()->reusePictureFiles(true);
    BenchHost::PairTimes first;
    BenchHost::PairTimes times;
    const bool ok = BenchHost::shutterToPair(1, lastAnnouncedNs, first)
        && BenchHost::shutterToPair(presses, lastAnnouncedNs, times);
    camera()->reusePictureFiles(false);
    camera()->setCardSpeed(0);
    if (ok)
        times.print(qPrintable(QStringLiteral("  files made ahead, card unlimited")));
    return ok;
}

bool run(const QVector<quint32>& sizes, int pictures, int pairs)
{
    const quint32 largest = *std::max_element(sizes.begin(), sizes.end());
    bool ok = BenchHost::setInt(BRX_SDK_Property::FileFormat, kFileFormatDng) && peakMemory(largest)
        && shutterToLastByte(300000, pictures) && shutterToLastByte(largest * kMegabyte, pictures);
    for (int i = 0; ok && i < sizes.size(); ++i)
        ok = singles(sizes.at(i), pictures);
    ok = ok && BenchHost::setInt(BRX_SDK_Property::FileFormat, kFileFormatPair) && shutterToPair(300000, pictures)
        && shutterToPairAhead(300000, pictures);
    for (int i = 0; ok && i < sizes.size(); ++i)
        ok = burst(sizes.at(i), pairs, pictures);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"product", "Virtual camera product ID (default 0x2031).", "id", "0x2031"});
    parser.addOption({"sizes", "DNG sizes in MB (default 25,60,100).", "list", "25,60,100"});
    parser.addOption({"pictures", "Single pictures per size, and bursts (default 5).", "n", "5"});
    parser.addOption({"pairs", "DNG+JPG pairs in a burst (default 3).", "n", "3"});
    parser.addOption({"log-flags", "The library's debug flags, logged on stderr (default none).", "mask", "0"});
    parser.process(app);
    const QVector<quint32> sizes = BenchFigures::sizesFrom(parser.value("sizes"));
    if (sizes.isEmpty() || !BRX_SDK_useVirtualCamera(parser.value("product").toInt(nullptr, 0)))
        return 2;
    // The camera's card holds the newest picture and those still queued.
    camera()->setPicturesKept(1);

    std::printf("in-process downloads, virtual camera 0x%04X; MB/s as median (min-max, n)\n",
                parser.value("product").toInt(nullptr, 0));
    BenchHost::logFlags() = parser.value("log-flags").toUInt(nullptr, 0);
    const bool connected = BenchHost::connect(kDownloadWaitMs);
    const bool ok = connected
        && run(sizes, parser.value("pictures").toInt(), parser.value("pairs").toInt());
    BRX_SDK_exit();
    if (!ok)
        std::printf("a download failed or did not arrive\n");
    return ok ? 0 : 1;
}
