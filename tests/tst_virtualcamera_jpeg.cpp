#include "BRX_Commu_VirtualCameraJpeg.h"
#include "BRX_Commu_VirtualCameraTestCard.h"
#include "JpegLayout.h"

#include <QtTest>

namespace {

typedef BRX_Commu_VirtualCameraJpeg Jpeg;
typedef BRX_Commu_VirtualCameraTestCard Card;

Jpeg::Image uniform(int width, int height, char level)
{
    return {width, height, QByteArray(width * height * 3, level)};
}

// Every byte value, so that the coefficients reach the largest sizes and
// the coded data holds many 0xFF to stuff.
Jpeg::Image noise(int width, int height)
{
    Jpeg::Image image = uniform(width, height, 0);
    quint32 state = 1;
    for (char& byte : image.rgb) {
        state = state * 1664525u + 1013904223u;
        byte = char(state >> 24);
    }
    return image;
}

Jpeg::Image testCard(int width, int height)
{
    Card card;
    card.setNumber(42);
    card.setBall(1000, 1000);
    card.setCross(3000, 2000);
    return card.render(Card::kWholeCard, width, height);
}

} // namespace

Q_DECLARE_METATYPE(BRX_Commu_VirtualCameraJpeg::Image)
Q_DECLARE_METATYPE(BRX_Commu_VirtualCameraTestCard::Area)

class TestVirtualCameraJpeg : public QObject
{
    Q_OBJECT
private slots:
    void encodedPicturesAreWellFormed_data()
    {
        QTest::addColumn<Jpeg::Image>("image");
        QTest::addColumn<int>("quality");
        QTest::newRow("test card") << testCard(480, 320) << Jpeg::kDefaultQuality;
        QTest::newRow("partly filled MCUs") << testCard(17, 9) << Jpeg::kDefaultQuality;
        QTest::newRow("noise at the finest quality") << noise(64, 48) << 100;
    }

    void encodedPicturesAreWellFormed()
    {
        QFETCH(Jpeg::Image, image);
        QFETCH(int, quality);
        const QByteArray jpeg = Jpeg(quality).encode(image);
        const JpegLayout layout(jpeg);
        QVERIFY2(layout.isValid(), layout.error());
        QCOMPARE(layout.width(), image.width);
        QCOMPARE(layout.height(), image.height);
        QCOMPARE(layout.end(), jpeg.size());
        QVERIFY(layout.hasCompleteHuffmanTables());
    }

    // A zoomed view shows the part of the card it names, scaled up: here
    // where the ramp's two brightest steps meet the dark band.
    void partOfTheCard()
    {
        const Jpeg::Image image = Card().render({4000, 3000, 1500, 1000}, 480, 320);
        const auto red = [&image](int x, int y) { return quint8(image.rgb.at(3 * (y * image.width + x))); };
        QCOMPARE(red(0, 0), quint8(5 * 255 / 7));
        QCOMPARE(red(479, 0), quint8(255));
        QCOMPARE(red(479, 319), quint8(24));
    }

    void rowsRepeatedAreRowsDrawn_data()
    {
        QTest::addColumn<Card::Area>("area");
        QTest::addColumn<QSize>("size");
        QTest::newRow("whole card") << Card::kWholeCard << QSize(600, 400);
        QTest::newRow("zoomed onto ball and cross") << Card::Area{500, 500, 3000, 2000} << QSize(480, 320);
        QTest::newRow("black above and below") << Card::Area{0, 0, 6000, 3000} << QSize(300, 300);
        QTest::newRow("several rows a card row") << Card::Area{2700, 1800, 600, 400} << QSize(600, 400);
    }

    // A picture whose repeated rows are copies shows what each row drawn on
    // its own shows: the number, the caption, the ball, the cross, the black
    // around the card.
    void rowsRepeatedAreRowsDrawn()
    {
        QFETCH(Card::Area, area);
        QFETCH(QSize, size);
        Card card;
        card.setNumber(1234);
        card.setCaption(QStringLiteral("1/250 F8.0 ISO 800 +1.0 EV"));
        card.setBall(1000, 1000);
        card.setCross(3000, 2000);
        const Jpeg::Image whole = card.render(area, size.width(), size.height());
        QByteArray drawn;
        for (int y = 0; y < size.height(); ++y) {
            QByteArray row(3 * size.width(), 'X');
            Card::Rows(card, area, size.width(), size.height()).fill(y, 1, reinterpret_cast<quint8*>(row.data()));
            drawn += row;
        }
        QVERIFY(whole.rgb == drawn);
    }

    // Mid-grey has no coefficients at all: each luma block is the shortest
    // DC code (00) and end of block (1010), each chroma block 00 and 00;
    // MCUs and bands that repeat the one before repeat those bits.
    void codesOfTheStandardTables()
    {
        for (int side : {16, 48}) {
            const QByteArray jpeg = Jpeg().encode(uniform(side, side, char(128)));
            const QByteArray scanHeader("\x00\x0C\x03\x01\x00\x02\x11\x03\x11\x00\x3F\x00", 12);
            const QByteArray mcu("\x28\xA2\x8A\x00", 4);
            QVERIFY(jpeg.endsWith(scanHeader + mcu.repeated(side / 16 * side / 16) + "\xFF\xD9"));
        }
    }

    void unencodableImages_data()
    {
        QTest::addColumn<Jpeg::Image>("image");
        QTest::newRow("no pixels") << uniform(0, 0, 0);
        QTest::newRow("pixels missing") << Jpeg::Image{4, 4, QByteArray(47, '\0')};
        QTest::newRow("wider than a frame header says") << uniform(Jpeg::kMaxDimension + 1, 1, 0);
    }

    void unencodableImages()
    {
        QFETCH(Jpeg::Image, image);
        QVERIFY(Jpeg().encode(image).isEmpty());
    }

    // Comment segments hold at most 65533 bytes each; fewer than four bytes
    // to add become fill bytes.
    void paddingGivesTheExactSize_data()
    {
        QTest::addColumn<int>("added");
        for (int added : {0, 1, 3, 4, 11, 65537, 65538, 65541, 200000})
            QTest::newRow(qPrintable(QString::number(added))) << added;
    }

    void paddingGivesTheExactSize()
    {
        QFETCH(int, added);
        const QByteArray jpeg = Jpeg().encode(testCard(32, 32));
        const QByteArray comment("frame 7");
        const QByteArray padded = Jpeg::padded(jpeg, jpeg.size() + added, comment);
        QCOMPARE(padded.size(), jpeg.size() + added);
        const JpegLayout layout(padded);
        QVERIFY2(layout.isValid(), layout.error());
        QCOMPARE(layout.end(), padded.size());
        QCOMPARE(padded.mid(2 + added), jpeg.mid(2));
        QVERIFY(layout.comments().join().startsWith(comment.left(added - 4)));
    }
};

QTEST_GUILESS_MAIN(TestVirtualCameraJpeg)
#include "tst_virtualcamera_jpeg.moc"
