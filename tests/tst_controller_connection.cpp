#include "BRX_SDK.h"
#include "SdkHost.h"

#include <QtTest>

class TestControllerConnection : public QObject
{
    Q_OBJECT
private slots:
    void connectsAndSendsTheInitialState_data()
    {
        QTest::addColumn<int>("productId");
        for (int productId : {0x2009, 0x2011, 0x2021, 0x2031, 0x2041, 0x2051, 0x2061})
            QTest::addRow("0x%X", productId) << productId;
    }

    void connectsAndSendsTheInitialState()
    {
        QFETCH(int, productId);
        SdkHost host(productId);
        QTRY_VERIFY_WITH_TIMEOUT(host.isConnected(), 10000);
        QCOMPARE(host.connections().first().second, productId);
        QTRY_VERIFY_WITH_TIMEOUT(host.numbers().contains(5), 10000);
        qDebug() << host.numbers();
    }
};

QTEST_GUILESS_MAIN(TestControllerConnection)
#include "tst_controller_connection.moc"
