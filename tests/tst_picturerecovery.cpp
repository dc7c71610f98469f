#include "BRX_Commu_CameraAccess_Usb_PTP.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Logic_CameraRecovery.h"
#include "BRX_Logic_CardListing.h"
#include "BRX_Logic_PendingPictures.h"
#include "BRX_Logic_PictureRecovery.h"
#include "LogCapture.h"
#include "FaultScript.h"
#include "VirtualCameraFixture.h"

#include <QtTest>

namespace {

typedef BRX_Logic_PendingPictures::Picture Picture;
typedef BRX_Logic_PendingPictures::CardMark CardMark;
typedef BRX_Logic_PictureRecovery::CardFile CardFile;

const QDateTime kMorning(QDate(2026, 6, 1), QTime(9, 0));
const quint16 kGetObjectHandles = 0x1007;
const quint16 kGetObjectInfo = 0x1008;
const quint16 kGeneralError = 0x2002;

Picture picture(const QString& name, quint32 size = 1000, const QDateTime& captured = QDateTime())
{
    return Picture{name, size, captured};
}

CardFile file(quint32 handle, const QString& name, quint32 size = 1000, const QDateTime& captured = QDateTime())
{
    return CardFile{handle, name, size, captured};
}

QVector<quint32> cardHandles(BRX_Commu_CameraAccess_Base& access)
{
    QVector<quint32> handles;
    BRX_Logic_CardListing(access).pictureHandles(&handles);
    return handles;
}

CardMark markOf(const Picture& newest, const QStringList& delivered = QStringList())
{
    CardMark mark;
    mark.known = true;
    mark.newest = newest;
    mark.unannounced = 2;
    mark.delivered = delivered;
    return mark;
}

} // namespace

Q_DECLARE_METATYPE(QVector<Picture>)
Q_DECLARE_METATYPE(QVector<CardFile>)
Q_DECLARE_METATYPE(QVector<quint32>)
Q_DECLARE_METATYPE(CardMark)

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
            << pair << QVector<CardFile>{file(0x36, "BRX_0007.JPG", 200), file(0x21, "BRX_0007.DNG", 500)}
            << QVector<quint32>{0x21, 0x36} << QStringList();
        QTest::newRow("card swapped") << pair << QVector<CardFile>() << QVector<quint32>()
                                      << QStringList{"BRX_0007.DNG", "BRX_0007.JPG"};
        QTest::newRow("same name, other size: another picture")
            << pair << QVector<CardFile>{file(0x21, "BRX_0007.DNG", 501), file(0x36, "BRX_0007.JPG", 200)}
            << QVector<quint32>{0x36} << QStringList{"BRX_0007.DNG"};
        QTest::newRow("one card file answers one picture")
            << QVector<Picture>{picture("A.JPG"), picture("A.JPG")} << QVector<CardFile>{file(0x16, "A.JPG")}
            << QVector<quint32>{0x16} << QStringList{"A.JPG"};
        QTest::newRow("same name and size, same capture time")
            << QVector<Picture>{picture("A.JPG", 1000, kMorning)}
            << QVector<CardFile>{file(0x16, "A.JPG", 1000, kMorning)} << QVector<quint32>{0x16} << QStringList();
        QTest::newRow("same name and size, taken a second later: another picture")
            << QVector<Picture>{picture("A.JPG", 1000, kMorning)}
            << QVector<CardFile>{file(0x16, "A.JPG", 1000, kMorning.addSecs(1))} << QVector<quint32>()
            << QStringList{"A.JPG"};
        QTest::newRow("same name and size, the card gives no capture time")
            << QVector<Picture>{picture("A.JPG", 1000, kMorning)} << QVector<CardFile>{file(0x16, "A.JPG")}
            << QVector<quint32>() << QStringList{"A.JPG"};
        QTest::newRow("capture time unknown when remembered: name and size tell")
            << QVector<Picture>{picture("A.JPG")} << QVector<CardFile>{file(0x16, "A.JPG", 1000, kMorning)}
            << QVector<quint32>{0x16} << QStringList();
    }

    void cardIsMatchedByNameAndSize()
    {
        QFETCH(QVector<Picture>, owed);
        QFETCH(QVector<CardFile>, card);
        const BRX_Logic_PictureRecovery::Outcome outcome = BRX_Logic_PictureRecovery::match(owed, card);
        QTEST(outcome.found, "found");
        QTEST(outcome.lost, "lost");
    }

    // What the camera wrote after the newest file the library saw, and was
    // not delivered, is what a release still owed.
    void filesNewerThanTheMark_data()
    {
        QTest::addColumn<CardMark>("mark");
        QTest::addColumn<QVector<CardFile>>("card");
        QTest::addColumn<QVector<quint32>>("newer");
        const QVector<CardFile> card{file(0x11, "B1.DNG", 500, kMorning), file(0x26, "B1.JPG", 200, kMorning),
                                     file(0x31, "B2.DNG", 500, kMorning.addSecs(5)),
                                     file(0x46, "B2.JPG", 200, kMorning.addSecs(5))};
        QTest::newRow("after the newest seen") << markOf(picture("B1.JPG", 200, kMorning)) << card
                                               << QVector<quint32>{0x31, 0x46};
        QTest::newRow("nothing after the newest seen")
            << markOf(picture("B2.JPG", 200, kMorning.addSecs(5))) << card << QVector<quint32>();
        QTest::newRow("the card was empty") << markOf(Picture()) << card << QVector<quint32>{0x11, 0x26, 0x31, 0x46};
        QTest::newRow("the card never seen") << CardMark() << card << QVector<quint32>();
        QTest::newRow("newest seen gone: those taken later")
            << markOf(picture("A9.JPG", 300, kMorning.addSecs(2))) << card << QVector<quint32>{0x31, 0x46};
        QTest::newRow("newest seen gone, no capture time: none")
            << markOf(picture("A9.JPG", 300)) << card << QVector<quint32>();
        QTest::newRow("newest seen taken at another time: those taken later")
            << markOf(picture("B1.JPG", 200, kMorning.addSecs(-60))) << card << QVector<quint32>{0x11, 0x26, 0x31, 0x46};
        QTest::newRow("delivered ones left out")
            << markOf(picture("B1.DNG", 500, kMorning), {"B2.DNG"}) << card << QVector<quint32>{0x26, 0x46};
    }

    void filesNewerThanTheMark()
    {
        QFETCH(CardMark, mark);
        QFETCH(QVector<CardFile>, card);
        QTEST(BRX_Logic_PictureRecovery::newerThan(mark, card), "newer");
    }

    // Releases are outstanding from the moment they go out until the camera
    // announced as many files, went quiet or ended its series; the debt is
    // handed over once.
    void releasesAreOutstandingUntilAnnounced()
    {
        BRX_Logic_PendingPictures pending;
        pending.releaseSent("A1", 2);
        pending.fileAnnounced("A1");
        QVERIFY(pending.has("A1"));
        QVERIFY(!pending.has("B2"));
        pending.fileAnnounced("A1");
        QVERIFY(!pending.has("A1"));
        pending.fileAnnounced("A1");
        pending.releaseSent("A1", 1);
        QVERIFY(pending.has("A1"));
        pending.releasesSettled("A1");
        QVERIFY(!pending.has("A1"));

        pending.releaseSent("A1", BRX_Logic_PendingPictures::kUnknownFiles);
        pending.fileAnnounced("A1");
        QVERIFY(pending.mark("A1").releasesOutstanding());
        pending.seriesEnded("A1");
        QVERIFY(!pending.has("A1"));

        pending.releaseSent("A1", 2);
        pending.sawNewest("A1", picture("B1.JPG", 200, kMorning));
        const CardMark taken = pending.takeMark("A1");
        QVERIFY(taken.releasesOutstanding());
        QCOMPARE(taken.newest.name, QString("B1.JPG"));
        QVERIFY(!pending.has("A1"));
        QVERIFY(pending.mark("A1").known);
        pending.lostSightOfCard("A1");
        QVERIFY(!pending.mark("A1").known);
    }

    // A capture date learnt later completes the remembered picture.
    void captureDateCompletesARememberedPicture()
    {
        BRX_Logic_PendingPictures pending;
        pending.remember("A1", picture("B1.JPG"));
        pending.remember("A1", picture("B1.JPG", 1000, kMorning));
        const QVector<Picture> owed = pending.take("A1");
        QCOMPARE(owed.size(), 1);
        QCOMPARE(owed.first().captured, kMorning);
    }

    // What a reconnect fetches from the card stays owed until delivered: a
    // download cut before it read anything (here: never run) leaves every
    // file to the next connection, which fetches them again, none lost.
    void filesFetchedFromTheCardStayOwedUntilDelivered()
    {
        VirtualCameraFixture fixture(0x2009);
        QVERIFY(fixture.isOpen());
        fixture.device().fillCard(3);
        BRX_Logic_PendingPictures pending;
        pending.sawNewest("A1", Picture());
        pending.releaseSent("A1", 2);
        QVector<quint32> fetched;
        int records = 0;
        const BRX_Logic_CameraRecovery::Hooks hooks{[&fetched](quint32 handle) { fetched << handle; },
                                                    [&records](int, const void*, unsigned int) { ++records; },
                                                    [](int) {}};

        BRX_Logic_CameraRecovery(*fixture.access(), pending, "A1", hooks).recover();
        const QVector<quint32> firstFetch = fetched;
        QCOMPARE(firstFetch.size(), 4);
        QVERIFY(pending.has("A1"));

        fetched.clear();
        BRX_Logic_CameraRecovery next(*fixture.access(), pending, "A1", hooks);
        QVERIFY(next.isDue());
        next.recover();
        QCOMPARE(fetched, firstFetch);
        QCOMPARE(records, 0);
    }

    // A card that stops answering in the middle of the look proves nothing:
    // no file is fetched or reported lost, the owed ones stay owed, and the
    // look is asked for again; once the camera answers, they come.
    void cardThatStopsAnsweringIsLookedAtAgain()
    {
        FaultScript::shortenLinkTimeouts();
        VirtualCameraFixture fixture(0x2009);
        QVERIFY(fixture.isOpen());
        BRX_Commu_VirtualCamera& camera = fixture.device();
        camera.fillCard(3);
        const QVector<quint32> handles = cardHandles(*fixture.access());
        QCOMPARE(handles.size(), 4);
        BRX_Logic_PendingPictures pending;
        for (quint32 handle : handles.mid(2))
            pending.remember("A1", picture(camera.objectFileName(handle), quint32(camera.objectData(handle).size())));
        QVector<quint32> fetched;
        int records = 0;
        QVector<int> looksAsked;
        const BRX_Logic_CameraRecovery::Hooks hooks{[&fetched](quint32 handle) { fetched << handle; },
                                                    [&records](int, const void*, unsigned int) { ++records; },
                                                    [&looksAsked](int ms) { looksAsked << ms; }};
        BRX_Logic_CameraRecovery recovery(*fixture.access(), pending, "A1", hooks);
        camera.injectFault({BRX_Commu_VirtualCameraLink::Fault::kLateAnswer, kGetObjectInfo, 0, 500});

        recovery.recover();
        QVERIFY(!fixture.access()->hasDeparted());
        QCOMPARE(looksAsked, QVector<int>{BRX_Logic_CameraRecovery::kLookAgainMs});
        QVERIFY(fetched.isEmpty());
        QCOMPARE(records, 0);
        QVERIFY(pending.has("A1"));
        QVERIFY(recovery.isDue());

        recovery.recover();
        QCOMPARE(fetched, handles.mid(2));
        QCOMPARE(records, 0);
        QCOMPARE(looksAsked.size(), 1);
    }

    // A listing the camera refuses is no empty card: the pictures that
    // releases outstanding at the last connection's end wrote are fetched
    // by a later look, not written off as none. A camera that keeps
    // refusing is not asked for ever: after the last look the debt goes to
    // the next connection, nothing lost.
    void refusedListingIsLookedAtAgain_data()
    {
        QTest::addColumn<int>("refusals");
        QTest::newRow("once: the next look finds the files") << 1;
        QTest::newRow("at every look: the next connection finds them") << int(BRX_Logic_CameraRecovery::kMaxLooks);
    }

    void refusedListingIsLookedAtAgain()
    {
        QFETCH(int, refusals);
        VirtualCameraFixture fixture(0x2009);
        QVERIFY(fixture.isOpen());
        fixture.device().fillCard(3);
        const QVector<quint32> handles = cardHandles(*fixture.access());
        BRX_Logic_PendingPictures pending;
        pending.sawNewest("A1", picture(fixture.device().objectFileName(handles.at(1)),
                                        quint32(fixture.device().objectData(handles.at(1)).size())));
        pending.releaseSent("A1", 2);
        QVector<quint32> fetched;
        int records = 0;
        int looksAsked = 0;
        const BRX_Logic_CameraRecovery::Hooks hooks{[&fetched](quint32 handle) { fetched << handle; },
                                                    [&records](int, const void*, unsigned int) { ++records; },
                                                    [&looksAsked](int) { ++looksAsked; }};
        BRX_Logic_CameraRecovery recovery(*fixture.access(), pending, "A1", hooks);
        fixture.device().failOperation(kGetObjectHandles, kGeneralError, refusals);
        LogCapture log;
        for (int look = 0; look < refusals; ++look)
            recovery.recover();
        const bool gaveUp = refusals == BRX_Logic_CameraRecovery::kMaxLooks;
        QVERIFY(fetched.isEmpty());
        QCOMPARE(records, 0);
        QCOMPARE(looksAsked, gaveUp ? refusals - 1 : refusals);
        QCOMPARE(recovery.isDue(), !gaveUp);
        const QString givenUp
            = QStringLiteral("the card did not answer %1 times; looked at again at the next connection").arg(refusals);
        QCOMPARE(log.count(givenUp), gaveUp ? 1 : 0);

        if (gaveUp) {
            BRX_Logic_CameraRecovery next(*fixture.access(), pending, "A1", hooks);
            QVERIFY(next.isDue());
            next.recover();
        } else {
            recovery.recover();
        }
        QCOMPARE(fetched, handles.mid(2));
        QCOMPARE(records, 0);
    }

    // An announced file whose description did not come holds the card mark
    // where it was, though a later file is described: the next connection
    // must still look past the undescribed one.
    void undescribedAnnouncementHoldsTheCardMark()
    {
        FaultScript::shortenLinkTimeouts();
        VirtualCameraFixture fixture(0x2009);
        QVERIFY(fixture.isOpen());
        fixture.device().fillCard(3);
        const QVector<quint32> handles = cardHandles(*fixture.access());
        QCOMPARE(handles.size(), 4);
        BRX_Logic_PendingPictures pending;
        pending.sawNewest("A1", picture("OLDEST.JPG"));
        BRX_Logic_CameraRecovery recovery(*fixture.access(), pending, "A1", {});
        fixture.device().injectFault({BRX_Commu_VirtualCameraLink::Fault::kLateAnswer, kGetObjectInfo, 0, 500});

        recovery.objectAdded(handles.at(2));
        recovery.objectAdded(handles.at(3));
        QVERIFY(!fixture.access()->hasDeparted());
        QCOMPARE(pending.take("A1").size(), 1);
        QCOMPARE(pending.mark("A1").newest.name, QString("OLDEST.JPG"));
    }

    // Delivered names and card marks stay within their bounds.
    void cardMarksStayWithinTheirBounds()
    {
        BRX_Logic_PendingPictures pending;
        for (int i = 0; i <= BRX_Logic_PendingPictures::kMaxPictures; ++i)
            pending.delivered("A1", QString("P%1.DNG").arg(i));
        const QStringList delivered = pending.mark("A1").delivered;
        QCOMPARE(delivered.size(), BRX_Logic_PendingPictures::kMaxPictures);
        QVERIFY(!delivered.contains("P0.DNG"));
        for (int i = 0; i < BRX_Logic_PendingPictures::kMaxCameras; ++i)
            pending.releaseSent(QString("C%1").arg(i), 1);
        QVERIFY(pending.mark("A1").delivered.isEmpty());
        QVERIFY(pending.has("C0"));
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
