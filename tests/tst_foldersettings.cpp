#include "BRX_Logic_FolderSettings.h"
#include "BRX_Platform_Base.h"

#include <QSignalSpy>
#include <QtTest>

class TestFolderSettings : public QObject
{
    Q_OBJECT
private slots:
    void startsInTheDefaultFolder()
    {
        BRX_Logic_FolderSettings settings;
        const QString folder = BRX_Platform_Base::getPicturesFolder();
        QCOMPARE(settings.jpgPath(), folder);
        QCOMPARE(settings.pictureIndex(), 1);
        QCOMPARE(settings.pictureExampleFileName(), folder + "/00001.JPG");
    }

    void separatorOnlyChangeIsNoChange()
    {
        BRX_Logic_FolderSettings settings;
        settings.setDngPath("/pics/raw");
        QSignalSpy spy(&settings, &BRX_Logic_FolderSettings::signalPictureExampleChanged);
        settings.setDngPath("/pics/raw");
        settings.setPictureIndex(1);
        QCOMPARE(spy.count(), 0);
        settings.setPictureName("Picture");
        QCOMPARE(spy.count(), 1);
    }

    void indexIsPaddedToFiveDigits_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("example");
        QTest::newRow("7") << 7 << "/p/Picture00007.JPG";
        QTest::newRow("42") << 42 << "/p/Picture00042.JPG";
        QTest::newRow("123456") << 123456 << "/p/Picture123456.JPG";
    }

    void indexIsPaddedToFiveDigits()
    {
        QFETCH(int, index);
        QFETCH(QString, example);
        BRX_Logic_FolderSettings settings;
        settings.setJpgPath("/p");
        settings.setPictureName("Picture");
        settings.setPictureIndex(index);
        QCOMPARE(settings.pictureExampleFileName(), example);
    }

    void exampleFollowsTheIncrement()
    {
        BRX_Logic_FolderSettings settings;
        settings.setJpgPath("/p");
        settings.setPictureName("Img");
        QSignalSpy spy(&settings, &BRX_Logic_FolderSettings::signalPictureExampleChanged);
        settings.incrementPictureIndex();
        QCOMPARE(settings.pictureIndex(), 2);
        QCOMPARE(settings.pictureExampleFileName(), QString("/p/Img00002.JPG"));
        QCOMPARE(spy.count(), 1);
    }

    void fileFormatSwitchesFolderAndExtension()
    {
        BRX_Logic_FolderSettings settings;
        settings.setJpgPath("/jpg");
        settings.setDngPath("/dng");
        settings.setPictureExampleFileFormat(true);
        QCOMPARE(settings.pictureExampleFileName(), QString("/dng/00001.DNG"));
    }

    // What a host may join to its folder as it stands.
    void plainFileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("plain");
        QTest::newRow("camera's own") << "BRX_0001.DNG" << true;
        QTest::newRow("64 characters") << QString(60, 'A') + ".JPG" << true;
        QTest::newRow("Latin-1 letters and blanks") << QString::fromLatin1("Bild \xe4\xdf 1.JPG") << true;
        QTest::newRow("65 characters") << QString(61, 'A') + ".JPG" << false;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("parent folder") << "../Y0001.JPG" << false;
        QTest::newRow("two dots inside") << "Y..JPG" << false;
        QTest::newRow("leading dot") << ".profile" << false;
        QTest::newRow("slash") << "a/b.JPG" << false;
        QTest::newRow("backslash") << "a\\b.JPG" << false;
        QTest::newRow("drive") << "C:b.JPG" << false;
        QTest::newRow("wildcard") << "b*.JPG" << false;
        QTest::newRow("newline") << "b\n.JPG" << false;
        QTest::newRow("C1 control") << QString::fromLatin1("b\x85.JPG") << false;
        QTest::newRow("delete") << "b\x7f.JPG" << false;
        QTest::newRow("beyond Latin-1") << QString::fromUtf8("\xce\xa9.JPG") << false;
    }

    void plainFileNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, plain);
        QCOMPARE(BRX_Logic_FolderSettings::isPlainFileName(name), plain);
    }
};

QTEST_GUILESS_MAIN(TestFolderSettings)
#include "tst_foldersettings.moc"
