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
};

QTEST_GUILESS_MAIN(TestFolderSettings)
#include "tst_foldersettings.moc"
