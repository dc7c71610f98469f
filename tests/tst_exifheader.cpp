#include "BRX_Logic_ExifHeader.h"

#include <QtTest>

// The first bytes of pictures as cameras write them: a big-endian TIFF/DNG
// header, and a JPEG whose Exif segment holds a TIFF header at byte 12.
class TestExifHeader : public QObject
{
    Q_OBJECT

private slots:
    void decodes_data();
    void decodes();
};

namespace {

QByteArray tiff(const char* entries)
{
    return QByteArray::fromHex("4D4D002A00000008") + QByteArray::fromHex(entries);
}

QByteArray jpeg(const char* byteOrder, const char* entries)
{
    return QByteArray::fromHex("FFD8FFE10100") + QByteArray("Exif\0\0", 6) + QByteArray(byteOrder)
        + QByteArray::fromHex("2A0008000000") + QByteArray::fromHex(entries);
}

} // namespace

void TestExifHeader::decodes_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<bool>("bigEndian");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("degrees");
    QTest::addColumn<int>("width");

    QTest::newRow("tiff rotated 180, width 4000")
        << tiff("0002" "011200030000000100030000" "A0020003000000010FA00000") << true << 3 << 180 << 4000;
    QTest::newRow("jpeg II orientation 6, width 4001")
        << jpeg("II", "0200" "120103000100000006000000" "02A0030001000000A10F0000") << false << 6 << 90 << 4001;
    QTest::newRow("jpeg MM orientation 8") << jpeg("MM", "0001" "011200030000000100080000") << true << 8 << 270 << -1;
    QTest::newRow("other code gives 0 degrees") << tiff("0001" "011200030000000100020000") << true << 2 << 0 << -1;
    QTest::newRow("signed byte") << jpeg("II", "0100" "1201030001000000FF000000") << false << -1 << 0 << -1;
    QTest::newRow("no entries") << jpeg("II", "0000") << false << 0 << 0 << -1;
    QTest::newRow("value cut off") << QByteArray::fromHex("4D4D0112000300000001") << true << 0 << 0 << -1;
    QTest::newRow("empty") << QByteArray() << false << 0 << 0 << -1;
}

void TestExifHeader::decodes()
{
    QFETCH(QByteArray, head);
    const BRX_Logic_ExifHeader header(head);
    QTEST(header.isBigEndian(), "bigEndian");
    QTEST(header.orientationCode(), "code");
    QTEST(header.orientationDegrees(), "degrees");
    QTEST(header.pixelWidth(), "width");
}

QTEST_GUILESS_MAIN(TestExifHeader)
#include "tst_exifheader.moc"
