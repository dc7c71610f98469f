#include "BRX_Logic_PendingPictures.h"
#include "BRX_Logic_PictureRecovery.h"
#include "LogCapture.h"

#include <QtTest>

namespace {

typedef BRX_Logic_PendingPictures::Picture Picture;
typedef BRX_Logic_PictureRecovery::CardFile CardFile;

Picture picture(const QString& name, quint32 size = 1000)
{
    return Picture{name, size};
}

} // namespace

Q_DECLARE_METATYPE(QVector<Picture>)
Q_DECLARE_METATYPE(QVector<CardFile>)
Q_DECLARE_METATYPE(QVector<quint32>)

// What the library owes a camera's host across reconnects, and how it finds
// it on the card again.
class TestPictureRecovery : public QObject
{
    Q_OBJECT
private slots:
    // Each camera's pictures are its own, remembered once, handed over in
    // the order they came and then no longer remembered.
    void picturesAreOwedPerCamera()
    {
        BRX_Logic_PendingPictures pending;
        pending.remember("A1", picture("BRX_0001.DNG"));
        pending.remember("B2", picture("BRX_0001.DNG"));
        pending.remember("A1", picture("BRX_0001.JPG"));
        pending.remember("A1", picture("BRX_0001.DNG"));
        pending.forget("A1", picture("BRX_0001.JPG", 999));
        QVERIFY(pending.has("A1"));
        QCOMPARE(pending.take("A1"), (QVector<Picture>{picture("BRX_0001.DNG"), picture("BRX_0001.JPG")}));
        QVERIFY(!pending.has("A1"));
        QVERIFY(pending.take("A1").isEmpty());
        pending.forget("B2", picture("BRX_0001.DNG"));
        QVERIFY(!pending.has("B2"));
    }

    // The list stays within its bound: the oldest picture gives way, said
    // once by name.
    void oldestPictureGivesWayAtTheBound()
    {
        BRX_Logic_PendingPictures pending;
        LogCapture log;
        for (int i = 0; i <= BRX_Logic_PendingPictures::kMaxPictures; ++i)
            pending.remember("A1", picture(QString("P%1.DNG").arg(i)));
        const QVector<Picture> owed = pending.take("A1");
        QCOMPARE(owed.size(), BRX_Logic_PendingPictures::kMaxPictures);
        QCOMPARE(owed.first().name, QString("P1.DNG"));
        QCOMPARE(log.count("P0.DNG given up"), 1);
    }

    void cardIsMatchedByNameAndSize_data()
    {
        QTest::addColumn<QVector<Picture>>("owed");
        QTest::addColumn<QVector<CardFile>>("card");
        QTest::addColumn<QVector<quint32>>("found");
        QTest::addColumn<QStringList>("lost");
        const QVector<Picture> pair{picture("BRX_0007.DNG", 500), picture("BRX_0007.JPG", 200)};
        QTest::newRow("both on the card, new handles, other order")
            << pair << QVector<CardFile>{{0x36, "BRX_0007.JPG", 200}, {0x21, "BRX_0007.DNG", 500}}
            << QVector<quint32>{0x21, 0x36} << QStringList();
        QTest::newRow("card swapped") << pair << QVector<CardFile>() << QVector<quint32>()
                                      << QStringList{"BRX_0007.DNG", "BRX_0007.JPG"};
        QTest::newRow("same name, other size: another picture")
            << pair << QVector<CardFile>{{0x21, "BRX_0007.DNG", 501}, {0x36, "BRX_0007.JPG", 200}}
            << QVector<quint32>{0x36} << QStringList{"BRX_0007.DNG"};
        QTest::newRow("one card file answers one picture")
            << QVector<Picture>{picture("A.JPG"), picture("A.JPG")} << QVector<CardFile>{{0x16, "A.JPG", 1000}}
            << QVector<quint32>{0x16} << QStringList{"A.JPG"};
    }

    void cardIsMatchedByNameAndSize()
    {
        QFETCH(QVector<Picture>, owed);
        QFETCH(QVector<CardFile>, card);
        const BRX_Logic_PictureRecovery::Outcome outcome = BRX_Logic_PictureRecovery::match(owed, card);
        QTEST(outcome.found, "found");
        QTEST(outcome.lost, "lost");
    }

    // A lost picture is named to the host by a plain file name only.
    void lostPictureHasAPlainName_data()
    {
        QTest::addColumn<QString>("cameraName");
        QTest::addColumn<QString>("told");
        QTest::newRow("plain") << "BRX_0007.DNG" << "BRX_0007.DNG";
        QTest::newRow("parent folder") << "../../BRX_0007.DNG" << "LostPicture00003.DNG";
        QTest::newRow("absolute, no ending") << "/etc/passwd" << "LostPicture00003";
        QTest::newRow("control bytes") << "BRX\t0007.JPG" << "LostPicture00003.JPG";
    }

    void lostPictureHasAPlainName()
    {
        QFETCH(QString, cameraName);
        QFETCH(QString, told);
        QCOMPARE(BRX_Logic_PictureRecovery::lostFileName(cameraName, 3), told);
    }
};

QTEST_GUILESS_MAIN(TestPictureRecovery)
#include "tst_picturerecovery.moc"
