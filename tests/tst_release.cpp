#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Debug.h"
#include "FakeCameraAccess.h"
#include "LogCapture.h"

#include <QtTest>

typedef QVector<qint32> Args;
typedef QVector<quint32> Params;

namespace {

const int kDirectProduct = 0x2031;
const int kTranslatedProduct = 0x2061;
const QString kLabel = QStringLiteral("BRX_Commu_CameraAccess_Base::releaseCamImpl()");

// Calls the releaseCam form that takes as many arguments as args holds.
bool release(BRX_Commu_CameraAccess_Base& access, const Args& args)
{
    switch (args.size()) {
    case 1:
        return access.releaseCam(args[0]);
    case 2:
        return access.releaseCam(args[0], args[1]);
    default:
        return access.releaseCam(args[0], args[1], args[2]);
    }
}

} // namespace

class TestRelease : public QObject
{
    Q_OBJECT
private slots:
    void init() { setDebugFlags(kDebugPtp, false); }

    void directReleaseSendsStageUnchanged_data();
    void directReleaseSendsStageUnchanged();
    void directReleaseForEveryDirectProduct();
    void releaseStartIsLogged();

    void translatedStage_data();
    void translatedStage();
    void autoFocusFollowsFocusMode_data();
    void autoFocusFollowsFocusMode();
    void autoFocusForms();
    void translationErrors_data();
    void translationErrors();
    void noParametersIsAnError();
    void stageWithoutItsParameter();
    void failedTransactionIsReported();
};

void TestRelease::directReleaseSendsStageUnchanged_data()
{
    QTest::addColumn<Args>("args");
    QTest::addColumn<Params>("params");
    QTest::newRow("focus cross") << Args{21, 100, 200} << Params{21, 100, 200};
    QTest::newRow("unchecked stage") << Args{5} << Params{5};
    QTest::newRow("stage with parameter") << Args{9} << Params{9, 0};
    QTest::newRow("parameter ignored") << Args{0, 7} << Params{0};
    QTest::newRow("negative parameter") << Args{22, -1} << Params{22, quint32(-1)};
}

void TestRelease::directReleaseSendsStageUnchanged()
{
    QFETCH(Args, args);
    QFETCH(Params, params);
    FakeCameraAccess access(kDirectProduct);
    QVERIFY(release(access, args));
    QCOMPARE(access.transactions.size(), 1);
    QCOMPARE(int(access.transactions.first().opCode), 0x9004);
    QCOMPARE(access.transactions.first().params, params);
    QCOMPARE(access.transactions.first().direction, FakeCameraAccess::NoData);
}

void TestRelease::directReleaseForEveryDirectProduct()
{
    for (int product : {0x2009, 0x2011, 0x2021, 0x2031, 0x2041, 0x2051}) {
        FakeCameraAccess access(product);
        access.releaseCam(0);
        QCOMPARE(int(access.transactions.first().opCode), 0x9004);
    }
    FakeCameraAccess noCamera(0);
    noCamera.releaseCam(0);
    QCOMPARE(int(noCamera.transactions.first().opCode), 0x100E);
}

void TestRelease::releaseStartIsLogged()
{
    FakeCameraAccess access(kDirectProduct);
    setDebugFlags(kDebugPtp, true);
    LogCapture log;
    access.releaseCam(9, 5);
    access.releaseCam(21, 100, 200);
    QVERIFY(log.contains("BRX_Commu_CameraAccess_Base::releaseCam() - release start - releaseStage 9 - param 5"));
    QVERIFY(log.contains("BRX_Commu_CameraAccess_Base::releaseCam() - release start - releaseStage 21"
                         " - param1 100 - param2 200"));
}

void TestRelease::translatedStage_data()
{
    QTest::addColumn<Args>("args");
    QTest::addColumn<int>("opCode");
    QTest::addColumn<Params>("params");
    QTest::newRow("0 capture") << Args{0} << 0x100E << Params();
    QTest::newRow("2 focus stop") << Args{2} << 0x9016 << Params{1};
    QTest::newRow("7 bulb start") << Args{7} << 0x9019 << Params{0};
    QTest::newRow("8 bulb end") << Args{8} << 0x9019 << Params{1};
    QTest::newRow("9 lens") << Args{9, 5} << 0x901E << Params{1, 5};
    QTest::newRow("9 lens default") << Args{9} << 0x901E << Params{1, 0};
    QTest::newRow("10 lens") << Args{10, 5} << 0x901E << Params{0, 5};
    QTest::newRow("11 lens") << Args{11, 1234} << 0x901E << Params{2, 1234};
    QTest::newRow("12 series start") << Args{12} << 0x901A << Params{0};
    QTest::newRow("13 series stop") << Args{13} << 0x901A << Params{1};
    QTest::newRow("14 keep active") << Args{14} << 0x901D << Params();
    QTest::newRow("15 video start") << Args{15} << 0x901B << Params{0};
    QTest::newRow("16 video stop") << Args{16} << 0x901B << Params{1};
    QTest::newRow("17 live view") << Args{17, 0} << 0x901C << Params{0};
    QTest::newRow("17 video") << Args{17, 1} << 0x901B << Params{2};
    QTest::newRow("18 live view") << Args{18, 0} << 0x901C << Params{1};
    QTest::newRow("18 video") << Args{18, 1} << 0x901B << Params{3};
    QTest::newRow("20 zoom") << Args{20} << 0x9021 << Params{1};
    QTest::newRow("21 focus cross") << Args{21, 100, 200} << 0x9022 << Params{100, 200};
    QTest::newRow("22 white balance 0") << Args{22, 0} << 0x9023 << Params{0};
    QTest::newRow("22 white balance 3") << Args{22, 3} << 0x9023 << Params{3};
}

void TestRelease::translatedStage()
{
    QFETCH(Args, args);
    QFETCH(int, opCode);
    QFETCH(Params, params);
    FakeCameraAccess access(kTranslatedProduct);
    QVERIFY(release(access, args));
    QCOMPARE(access.transactions.size(), 1);
    QCOMPARE(int(access.transactions.first().opCode), opCode);
    QCOMPARE(access.transactions.first().params, params);
}

void TestRelease::autoFocusFollowsFocusMode_data()
{
    QTest::addColumn<QByteArray>("focusMode");
    QTest::addColumn<quint32>("mode");
    QTest::newRow("focus mode 0") << QByteArray::fromHex("0000") << 2u;
    QTest::newRow("focus mode 1") << QByteArray::fromHex("0100") << 1u;
    QTest::newRow("focus mode 2") << QByteArray::fromHex("0200") << 0u;
}

void TestRelease::autoFocusFollowsFocusMode()
{
    QFETCH(QByteArray, focusMode);
    QFETCH(quint32, mode);
    FakeCameraAccess access(kTranslatedProduct);
    access.script(0x1015, 0x500A, FakeCameraAccess::ok(focusMode));
    quint16 value = 0;
    QVERIFY(access.getDevicePropFocusMode(value));
    access.transactions.clear();

    QVERIFY(access.releaseCam(1));
    QCOMPARE(int(access.transactions.first().opCode), 0x9016);
    QCOMPARE(access.transactions.first().params, (Params{0, mode}));
}

void TestRelease::autoFocusForms()
{
    FakeCameraAccess access(kTranslatedProduct);
    setDebugFlags(kDebugPtp, true);
    LogCapture log;
    QVERIFY(access.releaseCamAutoFocusStart());
    QVERIFY(access.releaseCamAutoFocusStop());
    QCOMPARE(access.transactions.at(0).params, (Params{0, 0}));
    QCOMPARE(access.transactions.at(1).params, Params{1});
    QVERIFY(log.contains("releaseCamAutoFocusStart() - release start - releaseStage 1 - param 0"));
    QVERIFY(log.contains("releaseCamAutoFocusStop() - release start - releaseStage 2 - param 0"));

    FakeCameraAccess direct(kDirectProduct);
    direct.releaseCamAutoFocusStart();
    direct.releaseCamAutoFocusStop();
    QCOMPARE(direct.transactions.at(0).params, Params{1});
    QCOMPARE(direct.transactions.at(1).params, Params{2});
}

void TestRelease::translationErrors_data()
{
    QTest::addColumn<Args>("args");
    QTest::addColumn<QByteArray>("focusMode");
    QTest::addColumn<QString>("line");
    const QByteArray defaultMode;
    QTest::newRow("stage 21 short") << Args{21} << defaultMode
                                    << "Error: missing additional parameters for releaseStage 21";
    QTest::newRow("stage 21 two") << Args{21, 5} << defaultMode
                                  << "Error: missing additional parameters for releaseStage 21";
    for (const Args& args : {Args{22, 4}, Args{22, -1}, Args{17, 2}, Args{18, -1}})
        QTest::addRow("stage %d parameter %d", args[0], args[1])
            << args << defaultMode
            << QString("Error: unknown additional parameter %1 for releaseStage %2").arg(args[1]).arg(args[0]);
    for (int stage : {3, 4, 5, 6, 19, 23, -1})
        QTest::newRow(qPrintable(QString("stage %1").arg(stage)))
            << Args{stage} << defaultMode << QString("Error: unknown releaseStage %1").arg(stage);
    QTest::newRow("focus mode 3") << Args{1} << QByteArray::fromHex("0300")
                                  << "Error: unknown focusMode 3";
}

void TestRelease::translationErrors()
{
    QFETCH(Args, args);
    QFETCH(QByteArray, focusMode);
    QFETCH(QString, line);
    FakeCameraAccess access(kTranslatedProduct);
    if (!focusMode.isEmpty()) {
        access.script(0x1015, 0x500A, FakeCameraAccess::ok(focusMode));
        quint16 value = 0;
        access.getDevicePropFocusMode(value);
        access.transactions.clear();
    }
    LogCapture log;
    QVERIFY(!release(access, args));
    QVERIFY(access.transactions.isEmpty());
    QCOMPARE(log.lines(), QStringList(kLabel + " - " + line));
}

void TestRelease::noParametersIsAnError()
{
    FakeCameraAccess access(kTranslatedProduct);
    LogCapture log;
    QVERIFY(!access.releaseCamImpl(0, nullptr));
    QCOMPARE(log.lines(), QStringList(kLabel + " - Error: no input parameters"));
    QVERIFY(access.transactions.isEmpty());

    // Products that release directly send even an empty list unchecked.
    FakeCameraAccess direct(kDirectProduct);
    QVERIFY(direct.releaseCamImpl(0, nullptr));
    QCOMPARE(direct.transactions.first().params, Params());
}

void TestRelease::stageWithoutItsParameter()
{
    FakeCameraAccess access(kTranslatedProduct);
    for (qint32 stage : {9, 10, 11, 17, 18, 22}) {
        LogCapture log;
        const qint32 values[] = {stage};
        QVERIFY(!access.releaseCamImpl(1, values));
        QCOMPARE(log.lines(), QStringList(kLabel + QString(" - Error: missing additional parameter for "
                                                           "releaseStage %1").arg(stage)));
    }
    QVERIFY(access.transactions.isEmpty());
}

void TestRelease::failedTransactionIsReported()
{
    FakeCameraAccess direct(kDirectProduct);
    direct.script(0x9004, FakeCameraAccess::fail(0x2019));
    QVERIFY(!direct.releaseCam(0));
    QCOMPARE(direct.transactions.size(), 1);

    FakeCameraAccess translated(kTranslatedProduct);
    translated.script(0x9019, FakeCameraAccess::fail());
    QVERIFY(!translated.releaseCam(7));
    QCOMPARE(translated.transactions.size(), 1);
}

QTEST_GUILESS_MAIN(TestRelease)
#include "tst_release.moc"
