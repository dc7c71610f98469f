#include "BRX_Logic_PropertyCatalogue.h"
#include "BRX_Logic_PropertyTexts.h"
#include "BRX_SDK.h"
#include "SdkHost.h"

#include <QtTest>

#include <cstring>

// The library's own descriptions of its properties and their texts, through
// the exported functions, on the virtual camera of every product.
namespace {

const int kProducts[] = {0x2009, 0x2011, 0x2021, 0x2031, 0x2041, 0x2051, 0x2061};

unsigned int elementSize(int property)
{
    const BRX_Logic_PropertyCatalogue::Payload payload = BRX_Logic_PropertyCatalogue::find(property)->payload;
    return BRX_Logic_PropertyCatalogue::payloadSize(BRX_Logic_PropertyTexts::elementOf(payload));
}

BRX_SDK_PropertyDescription describe(int property)
{
    BRX_SDK_PropertyDescription description{};
    BRX_SDK_describeProperty(property, &description);
    return description;
}

QString format(int property, const QByteArray& payload)
{
    char text[8192];
    if (!BRX_SDK_formatValue(property, payload.constData(), unsigned(payload.size()), text, sizeof text))
        return QStringLiteral("<no text>");
    return QString::fromUtf8(text);
}

QByteArray parse(int property, const QString& text)
{
    QByteArray payload(4096, '\0');
    unsigned int written = 0;
    if (!BRX_SDK_parseValue(property, text.toUtf8().constData(), payload.data(), unsigned(payload.size()), &written))
        return QByteArrayLiteral("<no value>");
    return payload.left(int(written));
}

QList<QByteArray> choices(int property)
{
    QByteArray bytes(65536, '\0');
    unsigned int written = 0;
    QList<QByteArray> result;
    const int size = int(elementSize(property));
    if (!BRX_SDK_getChoices(property, bytes.data(), unsigned(bytes.size()), &written))
        return result;
    for (int offset = 0; offset < int(written); offset += size)
        result << bytes.mid(offset, size);
    return result;
}

template <typename T>
QByteArray bytesOf(std::initializer_list<T> values)
{
    QByteArray bytes;
    for (T value : values)
        bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    return bytes;
}

// Every value of the payload's kind, as doubles for the table below.
QByteArray payloadOf(int property, const QVector<double>& values)
{
    QByteArray bytes;
    for (double value : values) {
        if (describe(property).payload == BRX_SDK_PayloadBool)
            bytes += bytesOf<char>({char(value)});
        else if (elementSize(property) == 4)
            bytes += bytesOf<qint32>({qint32(value)});
        else
            bytes += bytesOf<double>({value});
    }
    return bytes;
}

// The value of a property the camera reports: read where it can be read,
// else its latest notification.
QByteArray currentValue(const SdkHost& host, int property)
{
    const BRX_SDK_PropertyDescription description = describe(property);
    QByteArray payload(int(description.size), '\0');
    if (description.size && BRX_SDK_getProperty(property, payload.data(), description.size))
        return payload;
    const QList<QByteArray> notified = host.payloads(property);
    return notified.isEmpty() ? QByteArray() : notified.last();
}

} // namespace

class TestPropertyDescriptions : public QObject
{
    Q_OBJECT
private slots:
    void everyPropertyOfEveryProduct_data();
    void everyPropertyOfEveryProduct();
    void photographersTexts_data();
    void photographersTexts();
    void badRequestsAreRefused();
    void cameraIdentityAndInitialState();
    void liveViewAreaFollowsZoom();
};

void TestPropertyDescriptions::everyPropertyOfEveryProduct_data()
{
    QTest::addColumn<int>("product");
    for (int product : kProducts)
        QTest::addRow("0x%04X", product) << product;
}

// The description matches what get, set and the notifications do; every
// value the camera reports has a text, and every choice's text reads back as
// that very choice and as no other.
void TestPropertyDescriptions::everyPropertyOfEveryProduct()
{
    QFETCH(int, product);
    SdkHost host(product);
    QVERIFY(QTest::qWaitFor([] { return BRX_SDK_isInitialStateDelivered(); }, 10000));
    const QList<int> notified = host.numbers();
    for (int property = 0; property < BRX_SDK_PROPERTY_COUNT; ++property) {
        const QByteArray label = QByteArray::number(property);
        BRX_SDK_PropertyDescription description;
        QVERIFY2(BRX_SDK_describeProperty(property, &description), label);
        QCOMPARE(QByteArray(description.name), QByteArray(BRX_Logic_PropertyCatalogue::find(property)->name));
        // Focus confirmation is sent only while the camera has it on; 22 never.
        if (description.notified && property != 20 && property != 21)
            QVERIFY2(notified.contains(property) == description.supported, label);
        QVERIFY2(!notified.contains(property) || description.notified, label);
        const bool readable =
            description.access == BRX_SDK_AccessReadWrite || description.access == BRX_SDK_AccessReadOnly;
        QByteArray wrongSize(int(description.size) + 1, '\0');
        QVERIFY2(!BRX_SDK_getProperty(property, wrongSize.data(), description.size + 1), label);
        const QByteArray value = currentValue(host, property);
        if (readable && description.supported)
            QVERIFY2(value.size() == int(description.size), label);
        if (!value.isEmpty()) {
            const QString text = format(property, value);
            QVERIFY2(!text.isEmpty() && text != QLatin1String("<no text>"), label);
            QVERIFY2(parse(property, text).size() == value.size(), qPrintable(QStringLiteral("%1: %2").arg(property).arg(text)));
        }
        QStringList texts;
        for (const QByteArray& choice : choices(property)) {
            const QString text = format(property, choice);
            QVERIFY2(!texts.contains(text), qPrintable(QStringLiteral("%1: %2 twice").arg(property).arg(text)));
            texts << text;
            QVERIFY2(parse(property, text) == choice, qPrintable(QStringLiteral("%1: %2").arg(property).arg(text)));
        }
    }
}

void TestPropertyDescriptions::photographersTexts_data()
{
    QTest::addColumn<int>("product");
    QTest::addColumn<int>("property");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QVector<double>>("value");
    QTest::addColumn<QString>("text");

    const double bulb = -1.0;
    QTest::newRow("aperture") << 0x2031 << 3 << "5.6" << QVector<double>{5.6} << "f/5.6";
    QTest::newRow("aperture whole") << 0x2031 << 3 << "f/8" << QVector<double>{8.0} << "f/8";
    QTest::newRow("shutter fraction") << 0x2031 << 5 << "1/125" << QVector<double>{1.0 / 125} << "1/125 s";
    QTest::newRow("shutter seconds") << 0x2041 << 5 << "30s" << QVector<double>{30.0} << "30 s";
    QTest::newRow("shutter minutes") << 0x2041 << 5 << "2 min" << QVector<double>{120.0} << "2 min";
    QTest::newRow("bulb") << 0x2031 << 5 << "b" << QVector<double>{bulb} << "B";
    QTest::newRow("third-step EV") << 0x2061 << 7 << "0.7" << QVector<double>{667} << "+0.7 EV";
    QTest::newRow("EV with unit") << 0x2031 << 7 << "-1.5 EV" << QVector<double>{-1500} << "-1.5 EV";
    QTest::newRow("raw milli-EV") << 0x2031 << 7 << "-500" << QVector<double>{-500} << "-0.5 EV";
    QTest::newRow("ISO") << 0x2031 << 10 << "ISO 400" << QVector<double>{400} << "ISO 400";
    QTest::newRow("auto ISO") << 0x2031 << 10 << "auto" << QVector<double>{0} << "Auto ISO";
    QTest::newRow("pulled ISO") << 0x2009 << 10 << "80" << QVector<double>{80} << "ISO 80 (pull)";
    QTest::newRow("kelvin") << 0x2031 << 32 << "5200K" << QVector<double>{5200} << "5200 K";
    QTest::newRow("preset") << 0x2031 << 32 << "daylight" << QVector<double>{1} << "Daylight";
    QTest::newRow("preset above the temperature's") << 0x2009 << 32 << "HMI" << QVector<double>{10} << "HMI";
    QTest::newRow("metres") << 0x2031 << 23 << "1.5 m" << QVector<double>{1.5} << "1.50 m";
    QTest::newRow("infinity") << 0x2031 << 23 << "Infinity" << QVector<double>{1e6} << "infinity";
    QTest::newRow("focus cross") << 0x2031 << 35 << "85%, 50%" << QVector<double>{0.85, 0.5} << "85%, 50%";
    QTest::newRow("on") << 0x2031 << 19 << "yes" << QVector<double>{1} << "on";
    QTest::newRow("drive mode") << 0x2041 << 13 << "continuous s" << QVector<double>{6} << "Continuous S";
    QTest::newRow("file format") << 0x2031 << 30 << "dng+jpg" << QVector<double>{1} << "DNG + JPG";
    QTest::newRow("interval") << 0x2031 << 43 << "90" << QVector<double>{90} << "1.5 min";
    QTest::newRow("frames range") << 0x2031 << 40 << "1 to 9999" << QVector<double>{1, 9999} << "1 frame to 9999 frames";
    QTest::newRow("bulb mode") << 0x2031 << 0 << "Bulb" << QVector<double>{4} << "bulb";
    QTest::newRow("command") << 0x2031 << 36 << "" << QVector<double>{} << "";
}

// What a photographer writes reads as the camera's value, and the value's
// text is the one photographers write.
void TestPropertyDescriptions::photographersTexts()
{
    QFETCH(int, product);
    QFETCH(int, property);
    QFETCH(QString, written);
    QFETCH(QVector<double>, value);
    QFETCH(QString, text);
    SdkHost host(product);
    QVERIFY(QTest::qWaitFor([] { return BRX_SDK_isInitialStateDelivered(); }, 10000));
    const QByteArray payload = payloadOf(property, value);
    QCOMPARE(parse(property, written), payload);
    QCOMPARE(format(property, payload), text);
}

void TestPropertyDescriptions::badRequestsAreRefused()
{
    BRX_SDK_PropertyDescription description;
    QVERIFY(!BRX_SDK_describeProperty(-1, &description));
    QVERIFY(!BRX_SDK_describeProperty(BRX_SDK_PROPERTY_COUNT, &description));
    QVERIFY(!BRX_SDK_describeProperty(3, nullptr));
    // Without a camera the texts work, the choices do not.
    QVERIFY(BRX_SDK_describeProperty(3, &description) && !description.supported);
    QCOMPARE(format(3, bytesOf<double>({2.8})), QStringLiteral("f/2.8"));
    QVERIFY(choices(3).isEmpty());

    char text[8] = "unset";
    const QByteArray aperture = bytesOf<double>({5.6});
    QVERIFY(!BRX_SDK_formatValue(3, aperture.constData(), 4, text, sizeof text));
    QCOMPARE(text[0], '\0');
    QVERIFY(!BRX_SDK_formatValue(3, nullptr, 8, text, sizeof text));
    const QByteArray shutterList = bytesOf<double>({1.0 / 125, 1.0 / 250});
    QVERIFY(!BRX_SDK_formatValue(4, shutterList.constData(), unsigned(shutterList.size()), text, sizeof text));
    QCOMPARE(text[0], '\0');
    QVERIFY(!BRX_SDK_formatValue(44, aperture.constData(), 8, text, sizeof text));

    qint32 number = 0;
    unsigned int written = 0;
    for (const char* garbage : {"", "f/", "1e12", "0.5", "nan", "12 apples"})
        QVERIFY2(!BRX_SDK_parseValue(7, garbage, &number, sizeof number, &written), garbage);
    QVERIFY(!BRX_SDK_parseValue(7, "1", &number, 2, &written));
    QVERIFY(!BRX_SDK_parseValue(7, nullptr, &number, sizeof number, &written));
    QVERIFY(!BRX_SDK_parseValue(35, "50%", text, sizeof text, &written));
    QVERIFY(!BRX_SDK_parseValue(36, "now", text, sizeof text, &written));

    SdkHost host(0x2031);
    QVERIFY(QTest::qWaitFor([] { return BRX_SDK_isInitialStateDelivered(); }, 10000));
    written = 0;
    QVERIFY(!BRX_SDK_getChoices(3, text, 8, &written));
    QCOMPARE(written, unsigned(choices(3).size() * 8));
    QVERIFY(!BRX_SDK_getChoices(3, text, sizeof text, nullptr));
    QVERIFY(!BRX_SDK_getChoices(23, text, sizeof text, &written));
    QCOMPARE(written, 0u);
}

void TestPropertyDescriptions::cameraIdentityAndInitialState()
{
    BRX_SDK_CameraIdentity identity{};
    QVERIFY(!BRX_SDK_getCameraIdentity(&identity));
    QVERIFY(!BRX_SDK_isInitialStateDelivered());
    {
        SdkHost host(0x2041);
        QVERIFY(QTest::qWaitFor([] { return BRX_SDK_isInitialStateDelivered(); }, 10000));
        // The burst ends with the shutter time, after the lists and the exposure mode.
        QVERIFY(host.numbers().contains(4) && host.numbers().contains(0) && host.numbers().contains(5));
        QVERIFY(BRX_SDK_getCameraIdentity(&identity));
        QCOMPARE(identity.productId, 0x2041);
        QCOMPARE(QByteArray(identity.manufacturer), QByteArray("Virtual Camera Works"));
        QCOMPARE(QByteArray(identity.model), QByteArray("Virtual Camera 0x2041"));
        QCOMPARE(QByteArray(identity.serialNumber), QByteArray("VC00002041"));

        QVERIFY(BRX_SDK_setVirtualCameraConnected(false));
        QTRY_VERIFY(!host.isConnected());
        QVERIFY(!BRX_SDK_isInitialStateDelivered());
        QVERIFY(!BRX_SDK_getCameraIdentity(&identity));
        QVERIFY(choices(3).isEmpty());
        QVERIFY(BRX_SDK_setVirtualCameraConnected(true));
        QVERIFY(QTest::qWaitFor([] { return BRX_SDK_isInitialStateDelivered(); }, 10000));

        // A picture taken on the camera body is downloaded like any other.
        const bool quickView = true;
        QVERIFY(BRX_SDK_setProperty(31, &quickView, sizeof quickView));
        QVERIFY(BRX_SDK_pressVirtualCameraShutter());
        QTRY_VERIFY(host.frames().countOf(BRX_SDK_FrameType::FrameQuickViewFileName) > 0);
        QCOMPARE(host.frames().bytesOf(BRX_SDK_FrameType::FrameQuickViewFileName), QByteArray("BRX_0001"));
    }
    QVERIFY(!BRX_SDK_pressVirtualCameraShutter());
}

void TestPropertyDescriptions::liveViewAreaFollowsZoom()
{
    SdkHost host(0x2031);
    QVERIFY(QTest::qWaitFor([] { return BRX_SDK_isInitialStateDelivered(); }, 10000));
    BRX_SDK_LiveViewArea area{};
    QVERIFY(!BRX_SDK_getLiveViewArea(&area));
    const bool on = true;
    QVERIFY(BRX_SDK_setProperty(37, &on, sizeof on) && BRX_SDK_setProperty(33, &on, sizeof on));
    QTRY_VERIFY(BRX_SDK_getLiveViewArea(&area));
    QCOMPARE(area.zoomLevel, 1);
    QCOMPARE(area.width, 1.0);
    QCOMPARE(area.focusX, 0.5);
    QVERIFY(BRX_SDK_setProperty(36));
    QTRY_VERIFY(BRX_SDK_getLiveViewArea(&area) && area.zoomLevel == 4);
    // The magnified quarter is centred on the focus cross.
    QCOMPARE(area.width, 0.25);
    QCOMPARE(area.x, 0.375);
    QCOMPARE(area.focusX, 0.5);
    const bool off = false;
    QVERIFY(BRX_SDK_setProperty(33, &off, sizeof off));
    QTRY_VERIFY(!BRX_SDK_getLiveViewArea(&area));
}

QTEST_GUILESS_MAIN(TestPropertyDescriptions)
#include "tst_propertydescriptions.moc"
