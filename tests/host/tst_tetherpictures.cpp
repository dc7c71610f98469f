// tether's saving of pictures, fed the frame records a download brings:
// where each file lands, whatever the camera calls it and whatever the
// --filename pattern says.
#include "BRX_SDK.h"
#include "TetherFileNames.h"
#include "TetherPictures.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Every file under root, relative to it, sorted.
QStringList filesUnder(const QString& root)
{
    QStringList files;
    QDirIterator walk(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (walk.hasNext())
        files << QDir(root).relativeFilePath(walk.next());
    files.sort();
    return files;
}

// One picture as a download hands it over: quick view's name, then a DNG and a JPG.
void deliverPair(TetherPictures& pictures, const QByteArray& cameraName)
{
    pictures.frame(BRX_SDK_FrameType::FrameQuickViewFileName, cameraName.constData(), unsigned(cameraName.size()));
    for (int type : {BRX_SDK_FrameType::FramePictureDng, BRX_SDK_FrameType::FramePictureJpg}) {
        const QByteArray bytes(16, char(type));
        pictures.frame(type, bytes.constData(), unsigned(bytes.size()));
    }
}

} // namespace

class TestTetherPictures : public QObject
{
    Q_OBJECT
private slots:
    // A hostile or broken camera names its files as it likes; a name that
    // is not a plain file name is not used at all: the picture is saved
    // inside --out under a name made of its number, and nothing outside.
    void cameraNamesStayInside_data()
    {
        QTest::addColumn<QByteArray>("cameraName");
        QTest::addColumn<QStringList>("expected");
        const auto pair = [](const char* name) {
            return QStringList{QStringLiteral("%1.DNG").arg(name), QStringLiteral("%1.JPG").arg(name)};
        };
        QTest::newRow("plain") << QByteArray("BRX_0001") << pair("BRX_0001");
        QTest::newRow("parent") << QByteArray("../Y0001") << pair("picture-0001");
        QTest::newRow("deeper") << QByteArray("../../../../tmp/Y0002") << pair("picture-0001");
        QTest::newRow("absolute") << QByteArray("/abs/x") << pair("picture-0001");
        QTest::newRow("backslashes") << QByteArray("..\\..\\w") << pair("picture-0001");
        QTest::newRow("folder") << QByteArray("DCIM/BRX_0001") << pair("picture-0001");
        QTest::newRow("dots only") << QByteArray("..") << pair("picture-0001");
        QTest::newRow("hidden") << QByteArray(".profile") << pair("picture-0001");
        QTest::newRow("empty") << QByteArray() << pair("picture-0001");
        QTest::newRow("control characters") << QByteArray("BRX\n_\x1b[2J0001") << pair("picture-0001");
        QTest::newRow("too long") << QByteArray(4000, 'A') << pair("picture-0001");
    }
    void cameraNamesStayInside()
    {
        QFETCH(QByteArray, cameraName);
        QFETCH(QStringList, expected);
        QTemporaryDir root;
        const QString out = root.filePath("a/b");
        TetherOutput output;
        output.setQuiet(true);
        TetherPictures pictures({out, QStringLiteral("{name}.{ext}"), QString(), QString()}, output);
        QVERIFY(pictures.prepare());
        deliverPair(pictures, cameraName);
        QCOMPARE(pictures.failures(), 0);
        QCOMPARE(filesUnder(root.path()), QStringList({"a/b/" + expected.at(0), "a/b/" + expected.at(1)}));
    }

    // Folders of a pattern are made inside --out; the date letters and a
    // missing extension are filled in.
    void patternsMakeFolders()
    {
        QTemporaryDir root;
        TetherOutput output;
        output.setQuiet(true);
        TetherPictures pictures({root.path(), QStringLiteral("%Y/{counter}-{name}"), QString(), QString()}, output);
        QVERIFY(pictures.prepare());
        deliverPair(pictures, "BRX_0007");
        const QString year = QString::number(QDate::currentDate().year());
        QCOMPARE(filesUnder(root.path()), QStringList({year + "/0001-BRX_0007.DNG", year + "/0001-BRX_0007.JPG"}));
    }

    void patternsRefused_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("reason");
        QTest::newRow("unknown placeholder") << "{nmae}.{ext}" << "there is no {nmae}";
        QTest::newRow("unknown letter") << "%Q-{name}" << "there is no %Q";
        QTest::newRow("absolute") << "/etc/{name}" << "inside --out";
        QTest::newRow("parent folder") << "{date}/../../{name}" << "'..'";
        QTest::newRow("no file") << "{date}/" << "an empty one";
    }
    void patternsRefused()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, reason);
        TetherFileNames names;
        QString said;
        QVERIFY(!names.setPattern(pattern, &said));
        QVERIFY2(said.contains(reason), qPrintable(said));
        QVERIFY2(said.contains("{name}") || !reason.startsWith("there is no"), qPrintable(said));
    }

    // The camera's serial number and the run's label keep the files of
    // several cameras apart in one folder; a serial number that is no plain
    // file name is not used.
    void serialAndLabelNameFiles_data()
    {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "CAM7" << "out/left/CAM7-BRX_0001.DNG";
        QTest::newRow("missing") << "" << "out/left/no-serial-BRX_0001.DNG";
        QTest::newRow("folder") << "../../x" << "out/left/no-serial-BRX_0001.DNG";
        QTest::newRow("control character") << "A\nB" << "out/left/no-serial-BRX_0001.DNG";
        QTest::newRow("date letter stays") << "A%Y" << "out/left/A%Y-BRX_0001.DNG";
    }
    void serialAndLabelNameFiles()
    {
        QFETCH(QString, serial);
        QFETCH(QString, expected);
        TetherFileNames names;
        QString reason;
        QVERIFY(names.setPattern("{label}/{serial}-{name}", &reason));
        const TetherFileNames::File file{"BRX_0001", 1, QDateTime::currentDateTime(), "DNG", serial, "left"};
        QCOMPARE(names.pathOf("out", file, 0), expected);
    }

    // Collisions are numbered before the extension, also inside folders whose names carry a dot.
    void collisionsNumbered()
    {
        TetherFileNames names;
        QString reason;
        QVERIFY(names.setPattern("v1.2/{name}", &reason));
        const TetherFileNames::File file{"BRX_0001", 1, QDateTime::currentDateTime(), "DNG", "CAM7", QString()};
        QCOMPARE(names.pathOf("out", file, 2), QStringLiteral("out/v1.2/BRX_0001-2.DNG"));
        QVERIFY(names.setPattern("v1.2/{name}_{ext}", &reason));
        QCOMPARE(names.pathOf("out", file, 1), QStringLiteral("out/v1.2/BRX_0001_DNG-1"));
    }

    // A release the camera refused is said, with why, and nothing is saved.
    void refusedReleaseSaysWhy_data()
    {
        QTest::addColumn<qint32>("response");
        QTest::addColumn<QString>("reason");
        QTest::newRow("card full") << qint32(0x200C) << QStringLiteral("the camera's card is full: it took no picture");
        QTest::newRow("busy") << qint32(0x2019) << QStringLiteral("the camera refused the release (response 0x2019)");
    }
    void refusedReleaseSaysWhy()
    {
        QFETCH(qint32, response);
        QFETCH(QString, reason);
        QTemporaryDir root;
        TetherOutput output;
        output.setQuiet(true);
        TetherPictures pictures({root.path(), QStringLiteral("{name}.{ext}"), QString(), QString()}, output);
        QSignalSpy refused(&pictures, &TetherPictures::releaseRefused);
        pictures.frame(BRX_SDK_FrameType::FrameReleaseRefused, &response, sizeof response);
        QCOMPARE(pictures.refusedReleases(), 1);
        QCOMPARE(refused.count(), 1);
        QCOMPARE(refused.at(0).at(0).toString(), reason);
        QCOMPARE(filesUnder(root.path()), QStringList());
    }

    // A picture the camera's card lost while it was away is a failure of
    // the run; it neither saves a file nor takes a name from the next one.
    void lostPictureIsAFailure()
    {
        QTemporaryDir root;
        TetherOutput output;
        output.setQuiet(true);
        TetherPictures pictures({root.path(), QStringLiteral("{name}.{ext}"), QString(), QString()}, output);
        QVERIFY(pictures.prepare());
        const QByteArray lost("BRX_0007.DNG\n\x1b[2J");
        pictures.frame(BRX_SDK_FrameType::FramePictureLost, lost.constData(), unsigned(lost.size()));
        QCOMPARE(pictures.failures(), 1);
        QCOMPARE(filesUnder(root.path()), QStringList());
        deliverPair(pictures, "BRX_0008");
        QCOMPARE(pictures.failures(), 1);
        QCOMPARE(filesUnder(root.path()), QStringList({"BRX_0008.DNG", "BRX_0008.JPG"}));
    }
};

QTEST_GUILESS_MAIN(TestTetherPictures)
#include "tst_tetherpictures.moc"
