#include "BRX_Commu_ByteWriter.h"
#include "BRX_Debug.h"
#include "BRX_Logic_LiveViewPacket.h"
#include "LogCapture.h"
#include "StreamPackets.h"

#include <QtTest>

#include <limits>

namespace {

typedef BRX_Logic_LiveViewPacket Packet;
typedef Packet::Zoom Zoom;
using StreamPackets::words;

// A zoom record: stripe 2, level 4, outer bounds (0, 0, 6000, 4000), active
// sensor (10, 20, 5980, 3960), source area (1500, 1000, 3000, 2000), cross
// (3000, 2500).
const QVector<quint32> kZoomWords = {2, 4, 0, 0, 6000, 4000, 10, 20, 5980, 3960, 1500, 1000, 3000, 2000, 3000, 2500};

bool parse(Packet& packet, const QByteArray& bytes)
{
    return packet.parse(reinterpret_cast<const quint8*>(bytes.constData()), quint32(bytes.size()), "test");
}

Zoom zoomOf(const QVector<quint32>& values)
{
    Zoom zoom;
    std::copy(values.begin(), values.end(), zoom.words);
    return zoom;
}

}  // namespace

class TestLiveViewPacket : public QObject
{
    Q_OBJECT
private slots:
    // Every rule of the header and the tag list, at its edge.
    void rulesOfThePacket_data()
    {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<bool>("accepted");
        const QByteArray frame("f");
        QTest::newRow("frame offset 29") << StreamPackets::packet({}, frame, 29) << true;
        QTest::newRow("frame offset 28") << StreamPackets::packet({}, frame, 28) << false;
        QByteArray atEnd = StreamPackets::packet({}, QByteArray(), 29);
        QTest::newRow("frame offset at the end") << atEnd << true;
        QByteArray beyond = StreamPackets::packet({}, frame, 29);
        BRX_Commu_ByteWriter::putValue(beyond, 16, beyond.size() + 1, 4);
        QTest::newRow("frame offset beyond the end") << beyond << false;
        QTest::newRow("unknown tag") << StreamPackets::packet({{9, words({1})}}, frame) << true;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("five bytes") << QByteArray(5, '\0') << false;
        QTest::newRow("nineteen bytes") << StreamPackets::packet({}, frame).left(19) << false;
        // Packets of 30 bytes: block A must end within them (6 + A), as block B (14 + B).
        QTest::newRow("header A fits") << StreamPackets::packet({}, frame, 29, true, 24) << true;
        QTest::newRow("header A overruns") << StreamPackets::packet({}, frame, 29, true, 25) << false;
        QTest::newRow("header A far beyond") << StreamPackets::packet({}, frame, 29, true, 0xFFFF) << false;
        QTest::newRow("header B fits") << StreamPackets::packet({}, frame, 29, true, 0, 16) << true;
        QTest::newRow("header B overruns") << StreamPackets::packet({}, frame, 29, true, 0, 17) << false;
        QTest::newRow("header B far beyond") << StreamPackets::packet({}, frame, 29, true, 0, 0xFFFFFFF0) << false;
        QTest::newRow("tag of length 0") << StreamPackets::packet({{1, QByteArray()}}, frame) << false;
        QTest::newRow("zoom record too short") << StreamPackets::packet({{4, words({1})}}, frame) << false;
        QTest::newRow("audio too short") << StreamPackets::packet({{6, words({1, 2, 3})}}, frame) << false;
        QTest::newRow("longer payload") << StreamPackets::packet({{1, words({1, 2})}}, frame) << true;
        QByteArray overrun = StreamPackets::packet({{1, words({1})}}, frame);
        BRX_Commu_ByteWriter::putValue(overrun, 24, 0xFFFFFFF8, 4);
        QTest::newRow("tag overruns") << overrun << false;
        QTest::newRow("no end tag") << StreamPackets::packet({{5, words({1, 2})}}, QByteArray(), 29, false) << false;
    }

    void rulesOfThePacket()
    {
        QFETCH(QByteArray, packet);
        QFETCH(bool, accepted);
        Packet parsed;
        QCOMPARE(parse(parsed, packet), accepted);
    }

    // Each tag's payload, read little-endian; the frame starts after the list.
    void tagsAreRead()
    {
        const QByteArray timeCode = QByteArray::fromHex("0102031d");
        const QByteArray bytes = StreamPackets::packet({{1, words({400})},
                                                        {2, words({quint32(-1)})},
                                                        {3, words({512})},
                                                        {4, words(kZoomWords)},
                                                        {5, words({0xCAFE})},
                                                        {6, words({10, 20, 30, 40})},
                                                        {7, timeCode}},
                                                       "frame");
        Packet packet;
        QVERIFY(parse(packet, bytes));
        QCOMPARE(bytes.mid(int(packet.frameOffset)), QByteArray("frame"));
        QCOMPARE(*packet.iso, 400);
        QCOMPARE(*packet.exposureUsec, -1);
        QCOMPARE(*packet.exposureTv, 512);
        QCOMPARE(packet.zoom->level(), 4);
        QCOMPARE(packet.zoom->stripe(), 2u);
        QCOMPARE(*packet.imageId, 0xCAFEu);
        QCOMPARE(packet.audio->peakLeft, 10u);
        QCOMPARE(packet.audio->rmsRight, 40u);
        QCOMPARE(int(packet.timeCode->hours), 1);
        QCOMPARE(int(packet.timeCode->frames), 29);
    }

    // A tag that comes twice counts with its later payload; tags not sent
    // stay absent; unknown ones are logged and skipped.
    void laterTagWinsAndUnknownOnesAreSkipped()
    {
        setDebugFlags(kDebugLiveView, true);
        LogCapture log;
        Packet packet;
        QVERIFY(parse(packet, StreamPackets::packet({{1, words({100})}, {0x42, words({7})}, {1, words({200})}}, "f")));
        setDebugFlags(kDebugLiveView, false);
        QCOMPARE(*packet.iso, 200);
        QVERIFY(!packet.zoom && !packet.audio && !packet.timeCode && !packet.imageId);
        QCOMPARE(log.lines(), QStringList("test - unknown tag 0x00000042 in live view stream!"));
    }

    // The figures handed to the host: the cross and the shown area relative
    // to the picture.
    void zoomFigures()
    {
        const Zoom zoom = zoomOf(kZoomWords);
        QCOMPARE(zoom.relativeFocus(0), 0.5);
        QCOMPARE(zoom.relativeFocus(1), 0.75);
        QCOMPARE(zoom.relativeToOuterBounds(0), 0.25);
        QCOMPARE(zoom.relativeToOuterBounds(1), 0.25);
        QCOMPARE(zoom.relativeToOuterBounds(2), 0.5);
        QCOMPARE(zoom.relativeToOuterBounds(3), 0.5);
        // A cross left of the area is a negative fraction, not a wrapped one.
        QVector<quint32> left = kZoomWords;
        left[Zoom::kAfCross] = 0;
        QCOMPARE(zoomOf(left).relativeFocus(0), -0.5);
    }

    // Fractions of an area become sensor coordinates, halves rounded up;
    // only fractions of the area itself are taken.
    void pointsInAnArea_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<quint32>("pointX");
        QTest::addColumn<quint32>("pointY");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        QTest::newRow("centre") << 0.5 << 0.5 << true << 3000u << 2000u;
        QTest::newRow("corners") << 0.0 << 1.0 << true << 1500u << 3000u;
        // 187.5 and 62.5 of the area's extent.
        QTest::newRow("half rounds up") << 0.0625 << 0.03125 << true << 1688u << 1063u;
        QTest::newRow("above 1") << 1.0000001 << 0.5 << false << 0u << 0u;
        QTest::newRow("below 0") << 0.5 << -1e-9 << false << 0u << 0u;
        QTest::newRow("huge") << 1e308 << -1e308 << false << 0u << 0u;
        QTest::newRow("NaN") << nan << 0.5 << false << 0u << 0u;
        QTest::newRow("infinity") << 0.5 << inf << false << 0u << 0u;
    }

    void pointsInAnArea()
    {
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(bool, taken);
        QFETCH(quint32, pointX);
        QFETCH(quint32, pointY);
        quint32 px = 0;
        quint32 py = 0;
        QCOMPARE(zoomOf(kZoomWords).pointIn(Zoom::kSourceArea, x, y, px, py), taken);
        QCOMPARE(px, pointX);
        QCOMPARE(py, pointY);
    }

    // The camera's largest extent, the whole of it, still fits.
    void pointInTheLargestArea()
    {
        QVector<quint32> largest = kZoomWords;
        largest[Zoom::kOuterBounds + 2] = 0xFFFFFFFF;
        quint32 px = 0;
        quint32 py = 0;
        QVERIFY(zoomOf(largest).pointIn(Zoom::kOuterBounds, 1.0, 0.0, px, py));
        QCOMPARE(px, 0xFFFFFFFFu);
        QCOMPARE(py, 0u);
    }
};

QTEST_GUILESS_MAIN(TestLiveViewPacket)
#include "tst_liveviewpacket.moc"
