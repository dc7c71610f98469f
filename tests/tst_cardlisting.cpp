#include "BRX_Commu_ByteWriter.h"
#include "BRX_Commu_CameraAccess_Usb_PTP.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Logic_CardListing.h"
#include "VirtualCameraFixture.h"

#include <QtTest>

namespace {

typedef BRX_Logic_CardListing Listing;

const quint16 kGetObjectInfo = 0x1008;
const quint16 kInvalidObjectHandle = 0x2009;
const quint16 kFormatJpg = 0x3801;
const quint16 kFormatDng = 0x3802;
const int kCardPictures = 50;
// The virtual camera's card: a picture every 97 s from 1 May 2026, 08:00.
const QDateTime kFirstPicture(QDate(2026, 5, 1), QTime(8, 0));

int pictureNumberOf(const QString& fileName)
{
    return fileName.mid(4, 4).toInt();
}

QByteArray objectInfo(quint32 parent, const QString& name, const QString& captured)
{
    QByteArray out;
    BRX_Commu_ByteWriter::appendU32(out, 0x00010001);
    BRX_Commu_ByteWriter::appendU16(out, kFormatJpg);
    BRX_Commu_ByteWriter::appendU16(out, 0);
    BRX_Commu_ByteWriter::appendU32(out, 123456);
    out.append(26, '\0');
    BRX_Commu_ByteWriter::appendU32(out, parent);
    out.append(10, '\0');
    BRX_Commu_ByteWriter::appendPtpString(out, name);
    BRX_Commu_ByteWriter::appendPtpString(out, captured);
    return out;
}

} // namespace

class TestCardListing : public QObject
{
    Q_OBJECT
private slots:
    void listsWhatTheCardHolds_data();
    void listsWhatTheCardHolds();
    void pictureRefusedByTheCameraIsLeftOut();
    void decodesDataset();
    void nameThatIsNoPlainFileNameGivesWay_data();
    void nameThatIsNoPlainFileNameGivesWay();
    void truncatedDatasetGivesEmptyFields_data();
    void truncatedDatasetGivesEmptyFields();
    void parsesPtpDateTimes_data();
    void parsesPtpDateTimes();
};

void TestCardListing::listsWhatTheCardHolds_data()
{
    QTest::addColumn<int>("productId");
    QTest::newRow("struct 0x2011") << 0x2011;
    QTest::newRow("struct M 0x2051") << 0x2051;
    QTest::newRow("device properties 0x2031") << 0x2031;
}

// Every picture file with the camera's name, size, folder and date; no folder.
void TestCardListing::listsWhatTheCardHolds()
{
    QFETCH(int, productId);
    VirtualCameraFixture fixture(productId);
    QVERIFY(fixture.isOpen());
    fixture.device().fillCard(kCardPictures);
    Listing listing(*fixture.access());
    const QVector<Listing::Entry> entries = listing.list();
    // A JPG each, a DNG beside every third one.
    QCOMPARE(entries.size(), kCardPictures + kCardPictures / 3);
    QSet<quint32> sizes;
    for (const Listing::Entry& entry : entries) {
        QCOMPARE(entry.fileName, fixture.device().objectFileName(entry.handle));
        QCOMPARE(int(entry.size), fixture.device().objectData(entry.handle).size());
        QCOMPARE(entry.folder, QStringLiteral("100BRX"));
        QCOMPARE(entry.format, entry.fileName.endsWith(".JPG") ? kFormatJpg : kFormatDng);
        QCOMPARE(entry.captured, kFirstPicture.addSecs(97 * pictureNumberOf(entry.fileName)));
        sizes.insert(entry.size);
    }
    QVERIFY2(sizes.size() > entries.size() / 2, "the pictures differ in size");
}

void TestCardListing::pictureRefusedByTheCameraIsLeftOut()
{
    VirtualCameraFixture fixture(0x2031);
    QVERIFY(fixture.isOpen());
    fixture.device().fillCard(4);
    Listing listing(*fixture.access());
    QVector<quint32> handles;
    QVERIFY(listing.pictureHandles(&handles));
    QCOMPARE(handles.size(), 5);
    fixture.device().failOperation(kGetObjectInfo, kInvalidObjectHandle, 1);
    const QVector<Listing::Entry> entries = listing.list();
    QCOMPARE(entries.size(), 4);
    QCOMPARE(entries.first().handle, handles.at(1));
}

void TestCardListing::decodesDataset()
{
    quint32 parent = 0;
    const Listing::Entry entry
        = Listing::decode(0x16, objectInfo(0x13, QStringLiteral("BRX_0007.JPG"), QStringLiteral("20260501T081500")),
                          &parent);
    QCOMPARE(entry.handle, 0x16u);
    QCOMPARE(parent, 0x13u);
    QCOMPARE(entry.format, kFormatJpg);
    QCOMPARE(entry.size, 123456u);
    QCOMPARE(entry.fileName, QStringLiteral("BRX_0007.JPG"));
    QCOMPARE(entry.captured, QDateTime(QDate(2026, 5, 1), QTime(8, 15)));
}

void TestCardListing::nameThatIsNoPlainFileNameGivesWay_data()
{
    QTest::addColumn<QString>("cameraName");
    QTest::addColumn<QString>("fileName");
    const QString replaced = QStringLiteral("Picture00022.JPG");
    QTest::newRow("plain") << "BRX_0007.JPG" << "BRX_0007.JPG";
    QTest::newRow("parent folder") << "../Y0001.JPG" << replaced;
    QTest::newRow("absolute") << "/etc/passwd" << replaced;
    QTest::newRow("backslashes") << "..\\Y0001.JPG" << replaced;
    QTest::newRow("control bytes") << "BRX\n0001.JPG" << replaced;
    QTest::newRow("hidden") << ".BRX_0007.JPG" << replaced;
    QTest::newRow("empty") << "" << replaced;
}

// The host gets a name it may join to a folder; the camera's own stays
// beside it, to match what the camera announced.
void TestCardListing::nameThatIsNoPlainFileNameGivesWay()
{
    QFETCH(QString, cameraName);
    QFETCH(QString, fileName);
    quint32 parent = 0;
    const Listing::Entry entry
        = Listing::decode(0x16, objectInfo(0x13, cameraName, QStringLiteral("20260501T081500")), &parent);
    QCOMPARE(entry.fileName, fileName);
    QCOMPARE(entry.cameraName, cameraName);
}

void TestCardListing::truncatedDatasetGivesEmptyFields_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("empty") << 0;
    QTest::newRow("before the size") << 9;
    QTest::newRow("inside the name") << 60;
    QTest::newRow("inside the date") << 90;
}

void TestCardListing::truncatedDatasetGivesEmptyFields()
{
    QFETCH(int, length);
    const QByteArray whole = objectInfo(0x13, QStringLiteral("BRX_0007.JPG"), QStringLiteral("20260501T081500"));
    quint32 parent = 0;
    const Listing::Entry entry = Listing::decode(0x16, whole.left(length), &parent);
    QVERIFY(!entry.captured.isValid());
    QVERIFY(entry.cameraName.size() <= 12);
}

void TestCardListing::parsesPtpDateTimes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("expected");
    const QDateTime quarterPast(QDate(2026, 5, 1), QTime(8, 15, 30));
    QTest::newRow("plain") << "20260501T081530" << quarterPast;
    QTest::newRow("tenths") << "20260501T081530.5" << quarterPast;
    QTest::newRow("zone") << "20260501T081530+0200" << quarterPast;
    QTest::newRow("empty") << "" << QDateTime();
    QTest::newRow("no time") << "20260501" << QDateTime();
    QTest::newRow("garbage") << "2026-05-01 08:15" << QDateTime();
    QTest::newRow("month 13") << "20261301T081530" << QDateTime();
}

void TestCardListing::parsesPtpDateTimes()
{
    QFETCH(QString, text);
    QFETCH(QDateTime, expected);
    QCOMPARE(Listing::parseDateTime(text), expected);
}

QTEST_GUILESS_MAIN(TestCardListing)
#include "tst_cardlisting.moc"
