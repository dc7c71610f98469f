#include "BRX_Commu_CameraAccess_Usb_PTP.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Commu_VirtualCameraStream.h"
#include "BRX_Logic_Camera.h"
#include "BRX_Logic_CameraStreamInfo.h"
#include "BRX_Logic_LiveView.h"
#include "BRX_Logic_LiveViewPacer.h"
#include "BRX_SDK.h"
#include "FakeCameraAccess.h"
#include "FrameRecorder.h"
#include "JpegLayout.h"
#include "LogCapture.h"
#include "SdkHost.h"
#include "StreamPackets.h"
#include "VirtualCameraFixture.h"

#include <QSignalSpy>
#include <QtTest>

#include <limits>
#include <memory>
#include <mutex>

namespace {

typedef BRX_Commu_CameraAccess_Base Access;
typedef BRX_Commu_VirtualCameraDevice Device;
typedef BRX_Commu_VirtualCameraStream Stream;
typedef QVector<QVector<quint32>> Releases;
using StreamPackets::streamInfo;

const quint32 kPhotoLiveView = 0x00020001;
const int kFrameTypeLiveView = 9;
const int kFrameTypeZoomLevel = 10;
const quint16 kPropKeyLock = 0xD02D;
const char* const kStreamError = "BRX_Logic_LiveView::catchLiveViewTimerFired() - error in stream data!";

// The camera answers every stream-data request with packet.
void serveStream(BRX_Commu_VirtualCamera& camera, const QByteArray& packet)
{
    camera.setCustomOperation(Access::kOpGetStreamInfo, Device::kDataIn,
                              [packet](const QVector<quint32>&, const QByteArray&, QByteArray* in) {
                                  *in = streamInfo(quint32(packet.size()));
                                  return quint16(Device::kResponseOK);
                              });
    camera.setCustomOperation(Access::kOpGetStreamData, Device::kDataIn,
                              [packet](const QVector<quint32>&, const QByteArray&, QByteArray* in) {
                                  *in = packet;
                                  return quint16(Device::kResponseOK);
                              });
}

Releases withoutKeepAlive(const Releases& releases)
{
    Releases out;
    for (const QVector<quint32>& release : releases) {
        if (release.value(0) != kVQReleaseKeepAlive)
            out << release;
    }
    return out;
}

// Each turn hands over the zoom level, then the frame; a turn may still be
// under way when the records are read.
bool comeInPairs(const QList<int>& types)
{
    for (int i = 0; i < types.size(); ++i) {
        if (types[i] != (i % 2 == 0 ? kFrameTypeZoomLevel : kFrameTypeLiveView))
            return false;
    }
    return true;
}

bool isWholeJpeg(const QByteArray& frame)
{
    const JpegLayout layout(frame);
    return layout.isValid() && layout.end() == frame.size();
}

// What a frame shows, without the comment that numbers and pads it.
QByteArray pictureOf(const QByteArray& frame)
{
    return frame.mid(frame.indexOf("\xFF\xDB"));
}

// A camera model on a virtual camera that offers photo live view (or
// serves packet as its stream), with every frame record kept.
struct LiveRig {
    explicit LiveRig(int product = 0x2031, bool photoStream = true, const QByteArray& packet = QByteArray())
        : fixture(product)
        , camera(fixture.access())
    {
        if (!packet.isEmpty())
            serveStream(fixture.device(), packet);
        if (photoStream)
            fixture.device().changeProperty(Access::kDevicePropSupportedStreams, kPhotoLiveView);
        recorder.attach(camera);
    }
    qint64 property(quint16 code) const { return fixture.device().propertyValue(code); }
    qint64 enabledStreams() const { return property(Access::kDevicePropEnabledStreams); }

    VirtualCameraFixture fixture;
    FrameRecorder recorder;
    BRX_Logic_Camera camera;
};

template <typename T>
bool getValue(int property, T& value)
{
    return BRX_SDK_getProperty(property, &value, sizeof value);
}

typedef BRX_Logic_LiveViewPacer Pacer;

// The live view's thread runs its timers on a loop that passes every 10 ms.
const qint64 kLoopPeriodUs = 10000;
// How long a fetch takes in the paced tests.
const qint64 kFetchUs = 2000;

qint64 nextLoopPass(qint64 us)
{
    return (us + kLoopPeriodUs - 1) / kLoopPeriodUs * kLoopPeriodUs;
}

QByteArray u32(quint32 value)
{
    return StreamPackets::words({value});
}

// A camera in photo live view at rate that sends packet for each frame.
void scriptLiveView(FakeCameraAccess& access, quint32 rate, const QByteArray& packet)
{
    const auto property = [&access](quint16 code, quint32 value) {
        access.script(Access::kOpGetDevicePropValue, code, FakeCameraAccess::ok(u32(value)));
    };
    property(Access::kDevicePropSupportedStreams, kPhotoLiveView);
    property(Access::kDevicePropStreamVideoFormat, 0x47504A4D);
    property(Access::kDevicePropStreamVideoFrameRate, rate);
    property(Access::kDevicePropStreamVideoResolution, 1);
    access.script(Access::kOpGetStreamInfo, FakeCameraAccess::ok(streamInfo(quint32(packet.size()))));
    access.script(Access::kOpGetStreamData, FakeCameraAccess::ok(packet));
}

} // namespace

class TestLiveView : public QObject
{
    Q_OBJECT
private slots:
    void wantedLiveViewStreamsUntilUnwanted()
    {
        LiveRig rig;
        BRX_Logic_Camera& camera = rig.camera;
        QSignalSpy mode(&camera, &BRX_Logic_Camera::signalLiveViewMode);
        QSignalSpy zoomInfo(&camera, &BRX_Logic_Camera::signalLiveZoomInfo);
        QSignalSpy zoomRect(&camera, &BRX_Logic_Camera::signalLiveZoomRect);
        QSignalSpy audio(&camera, &BRX_Logic_Camera::signalLiveAudioLevel);
        QSignalSpy timeCode(&camera, &BRX_Logic_Camera::signalLiveTimeCode);
        QSignalSpy noLiveView(&camera, &BRX_Logic_Camera::signalNoLiveView);

        camera.setWantLiveView(true);
        QCOMPARE(mode.value(0).value(0).toInt(), 2);
        QCOMPARE(rig.enabledStreams(), 1);
        QTRY_VERIFY(rig.recorder.countOf(kFrameTypeLiveView) >= 2);
        QVERIFY(comeInPairs(rig.recorder.types()));
        const QByteArray first = rig.recorder.bytesOf(kFrameTypeLiveView, 0);
        const QByteArray second = rig.recorder.bytesOf(kFrameTypeLiveView, 1);
        QVERIFY(isWholeJpeg(first) && isWholeJpeg(second));
        QCOMPARE(quint32(first.size()), Stream::kDefaultFrameSize);
        QVERIFY(first != second);
        QCOMPARE(SdkHost::value<qint32>(rig.recorder.bytesOf(kFrameTypeZoomLevel)), qint32(Stream::kFullViewZoom));
        QCOMPARE(zoomInfo.value(0), (QVariantList{0, 1, 0.5, 0.5}));
        QCOMPARE(zoomRect.value(0), (QVariantList{0.0, 0.0, 1.0, 1.0}));
        QCOMPARE(audio.value(0), (QVariantList{8.0, 6.0, 20.0, 18.0}));
        QCOMPARE(timeCode.value(0), (QVariantList{0, 0, 0, 0}));
        QCOMPARE(timeCode.value(1), (QVariantList{0, 0, 0, 1}));

        camera.setWantLiveView(false);
        QCOMPARE(noLiveView.count(), 1);
        QCOMPARE(rig.enabledStreams(), 0);
        // A camera-side change takes longer to arrive than a frame interval.
        const int delivered = rig.recorder.count();
        LogCapture log;
        QSignalSpy keyLock(&camera, &BRX_Logic_Camera::signalKeyLock);
        rig.fixture.device().changeProperty(kPropKeyLock, 1);
        QVERIFY(keyLock.wait());
        QCOMPARE(rig.recorder.count(), delivered);
        QVERIFY(!log.contains("getStreamData failed!"));
    }

    // The cross lands in sensor coordinates of the source area; the
    // magnified view centres on it.
    void crossAndZoomFollowTheCamera()
    {
        LiveRig rig;
        QSignalSpy zoomInfo(&rig.camera, &BRX_Logic_Camera::signalLiveZoomInfo);
        QSignalSpy zoomRect(&rig.camera, &BRX_Logic_Camera::signalLiveZoomRect);
        rig.camera.setWantLiveView(true);
        QTRY_VERIFY(zoomInfo.count() > 0);

        rig.camera.setLiveViewCrossPos(0.25, 0.75);
        QTRY_COMPARE(zoomInfo.last(), (QVariantList{0, 1, 0.25, 0.75}));
        rig.camera.toggleLiveViewZoom();
        QTRY_COMPARE(zoomInfo.last(), (QVariantList{0, 4, 0.5, 0.5}));
        QTRY_COMPARE(zoomRect.last(), (QVariantList{0.125, 0.625, 0.25, 0.25}));
        const int zoomRecords = rig.recorder.countOf(kFrameTypeZoomLevel);
        QCOMPARE(SdkHost::value<qint32>(rig.recorder.bytesOf(kFrameTypeZoomLevel, zoomRecords - 1)),
                 qint32(Stream::kMagnifiedZoom));
        rig.camera.toggleLiveViewZoom();
        QTRY_COMPARE(zoomInfo.last().value(1).toInt(), 1);
    }

    // Direct-release products switch with release stages, the other with
    // the control operations; both reach the same camera modes.
    void liveViewSwitchesTheCameraMode_data()
    {
        QTest::addColumn<int>("product");
        QTest::newRow("release stages") << 0x2031;
        QTest::newRow("control operations") << 0x2061;
    }

    void liveViewSwitchesTheCameraMode()
    {
        QFETCH(int, product);
        LiveRig rig(product, false);
        const quint16 supported = Access::kDevicePropSupportedStreams;
        rig.camera.setLiveViewPhoto(true);
        QCOMPARE(rig.property(supported), qint64(kPhotoLiveView));
        rig.camera.setLiveViewVideo(true);
        QCOMPARE(rig.property(supported), 0x00030001);
        rig.camera.setLiveViewVideo(false);
        QCOMPARE(rig.property(supported), 0);
        // A camera that loses power comes back without live view.
        rig.camera.setLiveViewPhoto(true);
        QVERIFY(rig.fixture.access()->setDevicePropEnabledStreams(1));
        rig.fixture.device().setPlugged(false);
        QCOMPARE(rig.property(supported), 0);
        QCOMPARE(rig.enabledStreams(), 0);
    }

    void streamDataFlowsOnlyWhileEnabled()
    {
        VirtualCameraFixture fixture(0x2061);
        Access* access = fixture.access();
        const BRX_Logic_CameraStreamInfo info(access);
        QCOMPARE(info.getDatasetSize(), quint64(36));
        QCOMPARE(info.getPacketMaxSize(), info.getPacketHeaderSize() + Stream::kDefaultFrameSize);
        QByteArray packet(int(info.getPacketMaxSize()), '\0');
        quint8* data = reinterpret_cast<quint8*>(packet.data());
        QVERIFY(!access->getStreamData(data, quint32(packet.size())));

        QVERIFY(access->setDevicePropEnabledStreams(1));
        QVERIFY(access->getStreamData(data, quint32(packet.size())));
        QCOMPARE(SdkHost::value<quint32>(packet.mid(16, 4)), info.getPacketHeaderSize());

        VirtualCameraFixture structProduct(0x2009);
        QCOMPARE(BRX_Logic_CameraStreamInfo(structProduct.access()).getPacketMaxSize(), 0u);
    }

    // Each frame is a picture of the size the stream info announces, made
    // smaller where the frame size is small; the picture moves.
    void framesAreJpegsOfTheAnnouncedSize_data()
    {
        QTest::addColumn<quint32>("frameSize");
        QTest::addColumn<int>("width");
        QTest::newRow("smallest") << Stream::kMinFrameSize << 0;
        QTest::newRow("default") << Stream::kDefaultFrameSize << Stream::kFrameWidth;
        QTest::newRow("several comment segments") << 200000u << Stream::kFrameWidth;
    }

    void framesAreJpegsOfTheAnnouncedSize()
    {
        QFETCH(quint32, frameSize);
        QFETCH(int, width);
        VirtualCameraFixture fixture(0x2061);
        fixture.device().setLiveViewFrameSize(frameSize);
        const BRX_Logic_CameraStreamInfo info(fixture.access());
        QCOMPARE(info.getPacketMaxSize(), info.getPacketHeaderSize() + frameSize);
        QVERIFY(fixture.access()->setDevicePropEnabledStreams(1));
        QByteArray frames[2];
        for (QByteArray& frame : frames) {
            QByteArray packet(int(info.getPacketMaxSize()), '\0');
            QVERIFY(fixture.access()->getStreamData(reinterpret_cast<quint8*>(packet.data()), quint32(packet.size())));
            frame = packet.mid(int(info.getPacketHeaderSize()));
            const JpegLayout layout(frame);
            QVERIFY2(layout.isValid(), layout.error());
            QCOMPARE(layout.end(), int(frameSize));
            QCOMPARE(layout.width() * 2, layout.height() * 3);
            if (width > 0)
                QCOMPARE(layout.width(), width);
        }
        QVERIFY(pictureOf(frames[0]) != pictureOf(frames[1]));
    }

    void waitsForTheHostToConsumeEachFrame()
    {
        LiveRig rig;
        rig.camera.setWaitLiveViewConsumed(true);
        rig.camera.setWantLiveView(true);
        QTRY_COMPARE(rig.recorder.countOf(kFrameTypeLiveView), 1);
        QCOMPARE(rig.fixture.operationCount(Access::kOpGetStreamData), 1);
        rig.camera.catchLiveViewConsumed();
        QTRY_COMPARE(rig.recorder.countOf(kFrameTypeLiveView), 2);
        QCOMPARE(rig.fixture.operationCount(Access::kOpGetStreamData), 2);
    }

    // Saving a picture in picture leaves live view; the camera model goes
    // back into photo live view when the camera reports no mode.
    void pictureInPictureReturnsToLiveView()
    {
        LiveRig rig;
        rig.camera.setWantLiveView(true);
        QCOMPARE(rig.enabledStreams(), 1);
        QSignalSpy noLiveView(&rig.camera, &BRX_Logic_Camera::signalNoLiveView);
        QSignalSpy video(&rig.camera, &BRX_Logic_Camera::signalLiveViewVideo);
        rig.fixture.recordReleases();

        rig.camera.doLiveViewGCPipSave();
        rig.fixture.device().changeProperty(Access::kDevicePropSupportedStreams, 1);
        QTRY_COMPARE(noLiveView.count(), 1);
        QCOMPARE(rig.enabledStreams(), 0);
        QCOMPARE(video.count(), 1);
        QCOMPARE(withoutKeepAlive(rig.fixture.releases()),
                 (Releases{{kVQReleaseLiveViewWhiteBalance, 3}, {kVQReleaseLiveViewStart, 0}}));
    }

    void autofocusFromLiveView_data()
    {
        QTest::addColumn<int>("product");
        QTest::addColumn<int>("focusMode");
        QTest::addColumn<QString>("action");
        QTest::addColumn<Releases>("expected");
        const quint32 start = kVQReleaseAutoFocusStart;
        const quint32 stop = kVQReleaseAutoFocusStop;
        QTest::newRow("exec auto") << 0x2061 << 0 << "exec" << Releases{{stop}, {start}};
        QTest::newRow("exec manual") << 0x2061 << 2 << "exec" << Releases{{stop}, {start}, {stop}};
        QTest::newRow("pressed auto") << 0x2061 << 1 << "pressed" << Releases{{start}};
        QTest::newRow("pressed 2031") << 0x2031 << 0 << "pressed" << Releases{};
        QTest::newRow("released auto") << 0x2061 << 0 << "released" << Releases{{stop}};
        QTest::newRow("released manual") << 0x2061 << 2 << "released" << Releases{};
        QTest::newRow("released 2031") << 0x2031 << 0 << "released" << Releases{{stop}, {start}};
    }

    void autofocusFromLiveView()
    {
        QFETCH(int, product);
        QFETCH(int, focusMode);
        QFETCH(QString, action);
        QFETCH(Releases, expected);
        LiveRig rig(product, false);
        rig.camera.setFocusMode(eVQFocusMode(focusMode));
        rig.fixture.recordReleases();
        // The other products take the stages as autofocus control commands.
        auto stages = std::make_shared<Releases>();
        rig.fixture.device().setCustomOperation(
            Access::kOpControlAutoFocus, Device::kNoData,
            [stages](const QVector<quint32>& params, const QByteArray&, QByteArray*) {
                const quint32 stage = params.value(0) == 0 ? kVQReleaseAutoFocusStart : kVQReleaseAutoFocusStop;
                stages->append(QVector<quint32>{stage});
                return quint16(Device::kResponseOK);
            });
        if (action == "exec")
            rig.camera.doLiveViewAFExec();
        else if (action == "pressed")
            rig.camera.doLiveViewAFPressed();
        else
            rig.camera.doLiveViewAFReleased();
        QCOMPARE(product == 0x2031 ? withoutKeepAlive(rig.fixture.releases()) : *stages, expected);
        // Manual focus comes back after the one-off autofocus.
        QCOMPARE(rig.camera.focusMode(), focusMode);
    }

    void destructionEndsStreaming()
    {
        VirtualCameraFixture fixture(0x2031);
        fixture.device().changeProperty(Access::kDevicePropSupportedStreams, kPhotoLiveView);
        {
            BRX_Logic_Camera camera(fixture.access());
            camera.setWantLiveView(true);
            QCOMPARE(fixture.device().propertyValue(Access::kDevicePropEnabledStreams), 1);
        }
        QCOMPARE(fixture.device().propertyValue(Access::kDevicePropEnabledStreams), 0);
    }

    // Fractions outside the picture (and NaN, infinity) are refused before
    // they reach the camera's coordinates.
    void crossPositionOutsideThePictureIsRefused_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        const double inf = std::numeric_limits<double>::infinity();
        QTest::newRow("huge") << 1e308 << -1e308;
        QTest::newRow("just beyond") << 1.0000001 << 0.5;
        QTest::newRow("negative") << 0.5 << -0.0001;
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << 0.5;
        QTest::newRow("infinity") << 0.5 << inf;
    }

    void crossPositionOutsideThePictureIsRefused()
    {
        QFETCH(double, x);
        QFETCH(double, y);
        LiveRig rig;
        QSignalSpy zoomInfo(&rig.camera, &BRX_Logic_Camera::signalLiveZoomInfo);
        rig.camera.setWantLiveView(true);
        QTRY_VERIFY(zoomInfo.count() > 0);
        rig.fixture.recordReleases();
        LogCapture log;
        QVERIFY(!rig.camera.setLiveViewCrossPosGlobal(x, y));
        QVERIFY(!rig.camera.setLiveViewCrossPos(x, y));
        QCOMPARE(log.count("illegal cross position"), 2);
        QVERIFY(withoutKeepAlive(rig.fixture.releases()).isEmpty());
        // The corners are inside.
        QVERIFY(rig.camera.setLiveViewCrossPosGlobal(1.0, 0.0));
        QCOMPARE(withoutKeepAlive(rig.fixture.releases()).size(), 2);
    }

    void crossPositionNeedsAZoomRecord()
    {
        LiveRig rig(0x2031, false);
        rig.fixture.recordReleases();
        LogCapture log;
        rig.camera.setLiveViewCrossPosGlobal(0.5, 0.5);
        QVERIFY(log.contains("BRX_Logic_LiveView::setLiveViewCrossPosGlobal() - no zoom info"));
        QVERIFY(withoutKeepAlive(rig.fixture.releases()).isEmpty());
    }

    // A packet that breaks a rule skips its frame, logged; the rules
    // themselves are the packet parser's (tst_liveviewpacket).
    void packetsAreCheckedBeforeTheyAreRead_data()
    {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("frame offset 29") << StreamPackets::packet({}, "f", 29) << true;
        QTest::newRow("frame offset 28") << StreamPackets::packet({}, "f", 28) << false;
    }

    void packetsAreCheckedBeforeTheyAreRead()
    {
        QFETCH(QByteArray, packet);
        QFETCH(bool, accepted);
        LiveRig rig(0x2031, true, packet);
        LogCapture log;
        rig.camera.setWantLiveView(true);
        if (accepted) {
            QTRY_VERIFY(rig.recorder.count() > 0);
            QVERIFY(!log.contains(kStreamError));
        } else {
            QTRY_VERIFY(log.contains(kStreamError));
            QCOMPARE(rig.recorder.count(), 0);
        }
    }

    // The stream info sizes the packet buffer: a size no live-view frame
    // needs is refused once, before anything is allocated, and live view
    // stays off.
    void oversizedPacketsAreRefused()
    {
        LiveRig rig(0x2031, true, StreamPackets::packet({}, "f"));
        rig.fixture.device().setCustomOperation(Access::kOpGetStreamInfo, Device::kDataIn,
                                                [](const QVector<quint32>&, const QByteArray&, QByteArray* in) {
                                                    *in = streamInfo((8u << 20) + 1);
                                                    return quint16(Device::kResponseOK);
                                                });
        QSignalSpy noLiveView(&rig.camera, &BRX_Logic_Camera::signalNoLiveView);
        LogCapture log;
        rig.camera.setWantLiveView(true);
        QCOMPARE(log.lines(), QStringList("BRX_Logic_LiveView::prepareLiveViewStreaming() - stream info announces "
                                          "packets of 8388609 bytes, live view stays off"));
        QCOMPARE(rig.enabledStreams(), 0);
        QCOMPARE(noLiveView.count(), 1);
        QVERIFY(!rig.fixture.device().operationLog().contains(Access::kOpGetStreamData));
    }

    // A rejected packet is dumped up to its tag list, not whole, and once a
    // second, not on every tick.
    void rejectedPacketIsDumpedShortAndSeldom()
    {
        LiveRig rig(0x2031, true, QByteArray(64 * 1024, '\xEE'));
        LogCapture log;
        QElapsedTimer clock;
        clock.start();
        rig.camera.setWantLiveView(true);
        QTRY_VERIFY(log.count(kStreamError) >= 5);
        rig.camera.setWantLiveView(false);
        const int dumps = log.count(QStringLiteral("streamData"));
        QVERIFY(dumps >= 1);
        QVERIFY(dumps <= 1 + clock.elapsed() / 1000);
        QVERIFY(log.count(QStringLiteral("catchLiveViewTimerFired()[")) <= dumps * 65);
    }

    // --- Pacing -------------------------------------------------------------------

    // Requests aim at the frames' due times: over 100 frames the stream's
    // rate holds, however the thread's loop rounds each tick up.
    void requestsFollowTheDueTimes_data()
    {
        QTest::addColumn<quint32>("rate");
        QTest::newRow("25 fps") << 25000u;
        QTest::newRow("30 fps") << 30000u;
        QTest::newRow("60 fps") << 60000u;
    }

    void requestsFollowTheDueTimes()
    {
        QFETCH(quint32, rate);
        FakeCameraAccess access(0x2061);
        scriptLiveView(access, rate, StreamPackets::packet({}, "frame", 29));
        qint64 now = 0;
        int frames = 0;
        const auto countFrames = [&frames](int type, const void*, unsigned int) { frames += type == kFrameTypeLiveView; };
        BRX_Logic_LiveView liveView(&access, {[] { return true; }, countFrames, [](bool) {}}, [&now] { return now; });
        liveView.setWantLiveView(true);
        const QTimer* tick = liveView.findChild<QTimer*>();
        QVERIFY(tick && tick->isActive());
        const qint64 interval = 1000000000 / rate;
        for (int frame = 1; frame <= 100; ++frame) {
            now = nextLoopPass(now + tick->interval() * 1000);
            const qint64 due = frame * interval;
            QVERIFY2(now >= due && now < due + kLoopPeriodUs + Pacer::kMinimumDelayMs * 1000,
                     qPrintable(QString("frame %1 requested at %2 us, due at %3 us").arg(frame).arg(now).arg(due)));
            liveView.catchLiveViewTimerFired();
            now += kFetchUs;
        }
        QCOMPARE(frames, 100);
    }

    void intervalFollowsTheRate_data()
    {
        QTest::addColumn<quint32>("rate");
        QTest::addColumn<qint64>("intervalUs");
        QTest::newRow("no rate") << 0u << qint64(40000);
        QTest::newRow("25 fps") << 25000u << qint64(40000);
        QTest::newRow("30 fps") << 30000u << qint64(33333);
        QTest::newRow("59.94 fps") << 59940u << qint64(16683);
    }

    void intervalFollowsTheRate()
    {
        QFETCH(quint32, rate);
        QFETCH(qint64, intervalUs);
        Pacer pacer([] { return qint64(0); });
        pacer.start(rate);
        QCOMPARE(pacer.intervalUs(), intervalUs);
        QCOMPARE(pacer.delayMs(), int((intervalUs + 999) / 1000));
    }

    // A camera slower than asked is asked again a short pause after each
    // frame; after a stall the frames keep the interval again instead of
    // catching up in a burst.
    void slowCameraIsWaitedFor()
    {
        qint64 now = 0;
        Pacer pacer([&now] { return now; });
        pacer.start(30000);
        for (int frame = 0; frame < 10; ++frame) {
            now += pacer.delayMs() * 1000 + 50000;
            pacer.frameFetched();
            QCOMPARE(pacer.delayMs(), Pacer::kMinimumDelayMs);
        }
        now += 1000000;
        pacer.frameFetched();
        QCOMPARE(pacer.delayMs(), Pacer::kMinimumDelayMs);
        now += Pacer::kMinimumDelayMs * 1000 + kFetchUs;
        pacer.frameFetched();
        QCOMPARE(pacer.delayMs(), 27);
    }

    // A tick held up by a loaded machine, by less than the catch-up bound,
    // costs no frame: the ones it missed follow a short pause apart until
    // the due times are met again, so 100 intervals still give 100 frames.
    void lateTicksAreMadeUp()
    {
        // Every tenth tick fires more than two intervals late.
        const qint64 lateUs = 40000;
        qint64 now = 0;
        Pacer pacer([&now] { return now; });
        pacer.start(60000);
        const qint64 end = 100 * pacer.intervalUs();
        int frames = 0;
        for (int tick = 1;; ++tick) {
            now += pacer.delayMs() * 1000 + (tick % 10 == 0 ? lateUs : 0);
            if (now > end)
                break;
            now += kFetchUs;
            pacer.frameFetched();
            ++frames;
        }
        QVERIFY2(frames >= 99, qPrintable(QString("%1 frames in 100 intervals").arg(frames)));
    }

    // --- Through the exports ---------------------------------------------------------

    void liveViewPropertiesThroughTheExports_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<SdkHost::Transport>("transport");
        QTest::newRow("USB") << 0x2031 << SdkHost::kUsb;
        QTest::newRow("PTP/IP") << 0x2061 << SdkHost::kNetwork;
    }

    void liveViewPropertiesThroughTheExports()
    {
        QFETCH(int, productId);
        QFETCH(SdkHost::Transport, transport);
        SdkHost host(productId, transport);
        QVERIFY(host.waitForInitialState());
        BRX_Commu_VirtualCamera* device = &host.camera();
        device->setLiveViewFrameSize(4096);

        bool flag = true;
        QVERIFY(getValue(37, flag));
        QVERIFY(!flag);
        flag = true;
        QVERIFY(BRX_SDK_setProperty(37, &flag, 1));
        QTRY_VERIFY(getValue(37, flag) && flag);
        QVERIFY(BRX_SDK_setProperty(33, &flag, 1));
        QTRY_VERIFY(host.frames().countOf(kFrameTypeLiveView) >= 2);
        QCOMPARE(host.frames().bytesOf(kFrameTypeLiveView).size(), 4096);
        QTRY_VERIFY(getValue(33, flag) && flag);
        QVERIFY(getValue(34, flag) && !flag);

        const double cross[2] = {0.5, 0.5};
        QVERIFY(BRX_SDK_setProperty(35, cross, sizeof cross));
        QVERIFY(BRX_SDK_setProperty(36, nullptr, 0));
        QTRY_COMPARE(SdkHost::value<qint32>(host.frames().bytesOf(
                         kFrameTypeZoomLevel, host.frames().countOf(kFrameTypeZoomLevel) - 1)),
                     qint32(Stream::kMagnifiedZoom));

        flag = false;
        QVERIFY(BRX_SDK_setProperty(33, &flag, 1));
        QTRY_COMPARE(device->propertyValue(Access::kDevicePropEnabledStreams), 0);
        QTRY_VERIFY(getValue(33, flag) && !flag);
        QVERIFY(BRX_SDK_setProperty(37, &flag, 1));
        QTRY_VERIFY(getValue(37, flag) && !flag);
    }
};

QTEST_GUILESS_MAIN(TestLiveView)
#include "tst_liveview.moc"
