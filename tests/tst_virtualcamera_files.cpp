#include "BRX_Commu_CameraAccess_Usb_PTP.h"
#include "BRX_Commu_ProductFamily.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Commu_VirtualCameraJpeg.h"
#include "BRX_Commu_VirtualCameraPicture.h"
#include "BRX_Commu_VirtualCameraProfile.h"
#include "BRX_Commu_VirtualCameraTestCard.h"
#include "BRX_Logic_TransferThread.h"
#include "BRX_SDK.h"
#include "JpegLayout.h"
#include "SdkHost.h"
#include "VirtualCameraFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstring>

// The virtual camera's files as tools nobody here wrote see them: LibRaw
// opens and develops the DNG, exiftool validates both files and reads the
// shot's settings back, libjpeg decodes every JPEG. Each test skips when its
// tool is missing (scripts/setup.sh installs them).
class TestVirtualCameraFiles : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void dngDevelopsWithTheCardsColours_data();
    void dngDevelopsWithTheCardsColours();
    void filesValidateWithoutWarnings_data();
    void filesValidateWithoutWarnings();
    void sizedAndCardFilesValidateWithoutWarnings();
    void everyJpegDecodes_data();
    void everyJpegDecodes();
    void repeatsDecodeToThePicture();
    void quickViewComesFromTheFiles();
    void exifTellsTheSettingsOfTheShot_data();
    void exifTellsTheSettingsOfTheShot();
    void exifAndCardTellTheWholeShot_data();
    void exifAndCardTellTheWholeShot();
    void sensorSizeOnce();
    void sizeAskedIsReachedByContent();

private:
    QTemporaryDir m_folder;
};

namespace {

const int kTimeoutMs = 30000;
const int kProducts[] = {0x2009, 0x2011, 0x2021, 0x2031, 0x2041, 0x2051, 0x2061};
const quint32 kPending = 0x12345678;
typedef BRX_Logic_TransferThread Transfer;

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    Run result;
    if (!process.waitForFinished(kTimeoutMs))
        return result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

bool hasTool(const char* tool)
{
    return !QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty();
}

#define REQUIRE_TOOL(tool)                                                                                  \
    do {                                                                                                    \
        if (!hasTool(tool))                                                                                 \
            QSKIP(tool " is not installed (scripts/setup.sh installs libraw-bin, libimage-exiftool-perl "   \
                       "and libjpeg-turbo-progs)");                                                         \
    } while (false)

QString save(const QDir& folder, const QString& name, const QByteArray& bytes)
{
    const QString path = folder.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

// The pair a release on product makes, DNG and JPG.
struct Pair {
    QByteArray dng;
    QByteArray jpg;
    QSize dngSize;
};

bool configurePair(VirtualCameraFixture& fixture)
{
    BRX_Commu_CameraAccess_Base& access = *fixture.access();
    if (!BRX_Commu_ProductFamily::hasSettingsBlock(access.productId()))
        return access.setDevicePropFileFormat(1);
    QByteArray block = fixture.device().settingsBlock();
    block[0x0f] = 1;
    return access.setCameraSettings(block.constData(), quint32(block.size()));
}

Pair shootPair(VirtualCameraFixture& fixture)
{
    Pair pair;
    if (!configurePair(fixture) || !fixture.access()->releaseCam(0) || !fixture.picturesWritten())
        return pair;
    for (quint32 handle : fixture.device().objectHandles()) {
        const QString name = fixture.device().objectFileName(handle);
        if (name.endsWith(".DNG"))
            pair.dng = fixture.device().objectData(handle);
        else if (name.endsWith(".JPG"))
            pair.jpg = fixture.device().objectData(handle);
    }
    return pair;
}

// "Image size:  W x H" of raw-identify -v.
QSize rawSize(const QByteArray& identified)
{
    const QRegularExpression pattern(QStringLiteral("Image size:\\s+(\\d+) x (\\d+)"));
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(identified));
    return match.hasMatch() ? QSize(match.captured(1).toInt(), match.captured(2).toInt()) : QSize();
}

struct Ppm {
    int width = 0;
    int height = 0;
    QByteArray pixels;

    struct Colour {
        int red;
        int green;
        int blue;

        // Saturation 0 to 255 and hue in degrees, as HSV has them.
        int saturation() const
        {
            const int brightest = std::max({red, green, blue});
            return brightest ? 255 * (brightest - std::min({red, green, blue})) / brightest : 0;
        }
        int hue() const
        {
            const double degrees = std::atan2(std::sqrt(3.0) * (green - blue), 2.0 * red - green - blue) * 180 / M_PI;
            return (int(std::lround(degrees)) + 360) % 360;
        }
        QString text() const { return QStringLiteral("rgb(%1, %2, %3)").arg(red).arg(green).arg(blue); }
    };

    Colour at(int x, int y) const
    {
        const int i = 3 * (y * width + x);
        return {quint8(pixels.at(i)), quint8(pixels.at(i + 1)), quint8(pixels.at(i + 2))};
    }
};

// An 8-bit binary PPM as dcraw_emu writes it.
Ppm readPpm(const QString& path)
{
    QFile file(path);
    Ppm ppm;
    if (!file.open(QIODevice::ReadOnly))
        return ppm;
    const QList<QByteArray> header = file.read(64).split('\n');
    if (header.size() < 4 || header.at(0) != "P6")
        return ppm;
    const QList<QByteArray> size = header.at(1).split(' ');
    ppm.width = size.value(0).toInt();
    ppm.height = size.value(1).toInt();
    file.seek(header.at(0).size() + header.at(1).size() + header.at(2).size() + 3);
    ppm.pixels = file.readAll();
    if (ppm.pixels.size() != 3 * ppm.width * ppm.height)
        ppm.width = ppm.height = 0;
    return ppm;
}

QJsonObject exifOf(const QString& path)
{
    const Run read = run("exiftool", {"-j", "-n", "-FNumber", "-ExposureTime", "-ExposureCompensation", "-ISO",
                                      "-Model", "-Make", "-SerialNumber", "-Orientation", "-FocalLength",
                                      "-LensModel", "-SubSecTimeOriginal", "-DateTimeOriginal",
                                      "-ExposureProgram", "-ExposureMode", "-MeteringMode", "-WhiteBalance",
                                      "-LightSource", "-ImageUniqueID", path});
    return QJsonDocument::fromJson(read.out).array().at(0).toObject();
}

QByteArray exifBinary(const QString& tag, const QString& path)
{
    return run("exiftool", {"-b", "-" + tag, path}).out;
}

bool waitForValue(SdkHost& host, int property, double value)
{
    return QTest::qWaitFor(
        [&] {
            const QList<QByteArray> payloads = host.payloads(property);
            if (payloads.isEmpty())
                return false;
            const double last = payloads.last().size() == 8 ? SdkHost::value<double>(payloads.last())
                                                            : SdkHost::value<qint32>(payloads.last());
            return std::abs(last - value) <= 0.03 * std::abs(value);
        },
        kTimeoutMs);
}

// Set through the exports, and confirmed by the camera's notification.
template <typename T>
bool setConfirmed(SdkHost& host, int property, T value)
{
    return BRX_SDK_setProperty(property, &value, sizeof value) && waitForValue(host, property, double(value));
}

// The files of the picture a capture takes, as the host receives them,
// saved as name.DNG and name.JPG; none when they did not come.
QStringList captureSaved(SdkHost& host, const QDir& folder, const QString& name)
{
    FrameRecorder& frames = host.frames();
    frames.clear();
    BRX_SDK_capture();
    const auto arrived = [&] {
        return frames.countOf(Transfer::kFrameDng) == 1 && frames.countOf(Transfer::kFrameJpg) == 1;
    };
    if (!QTest::qWaitFor(arrived, kTimeoutMs))
        return {};
    return {save(folder, name + ".DNG", frames.bytesOf(Transfer::kFrameDng)),
            save(folder, name + ".JPG", frames.bytesOf(Transfer::kFrameJpg))};
}

void addEveryProduct()
{
    QTest::addColumn<int>("productId");
    for (int productId : kProducts)
        QTest::addRow("0x%04x", productId) << productId;
}

} // namespace

void TestVirtualCameraFiles::initTestCase()
{
    QVERIFY(m_folder.isValid());
}

void TestVirtualCameraFiles::dngDevelopsWithTheCardsColours_data()
{
    addEveryProduct();
}

// Developed with the camera's white balance, the bars' centres show the
// card's hues: grey, yellow, cyan, green, magenta, red, blue.
void TestVirtualCameraFiles::dngDevelopsWithTheCardsColours()
{
    REQUIRE_TOOL("raw-identify");
    REQUIRE_TOOL("dcraw_emu");
    QFETCH(int, productId);
    VirtualCameraFixture fixture(productId);
    QVERIFY(fixture.isOpen());
    const Pair pair = shootPair(fixture);
    const QString path = save(m_folder.path(), QStringLiteral("develop_%1.DNG").arg(productId, 0, 16), pair.dng);
    QVERIFY(!path.isEmpty());

    const Run identified = run("raw-identify", {"-v", path});
    QCOMPARE(identified.exitCode, 0);
    QVERIFY2(identified.out.contains(qPrintable(BRX_Commu_VirtualCameraProfile::model(productId))), identified.out);
    const int width = VirtualCameraFixture::kPictureWidth;
    QCOMPARE(rawSize(identified.out), QSize(width, width * 2 / 3));

    QCOMPARE(run("dcraw_emu", {"-w", path}).exitCode, 0);
    const Ppm developed = readPpm(path + ".ppm");
    QCOMPARE(QSize(developed.width, developed.height), QSize(width, width * 2 / 3));
    const int hues[] = {-1, 60, 180, 120, 300, 0, 240};
    for (int bar = 0; bar < 7; ++bar) {
        const Ppm::Colour colour = developed.at((2 * bar + 1) * developed.width / 14, developed.height / 3);
        if (hues[bar] < 0) {
            QVERIFY2(colour.saturation() < 20, qPrintable(colour.text()));
            continue;
        }
        QVERIFY2(colour.saturation() > 200, qPrintable(colour.text()));
        const int off = std::abs(colour.hue() - hues[bar]);
        QVERIFY2(std::min(off, 360 - off) <= 10, qPrintable(QStringLiteral("bar %1: %2").arg(bar).arg(colour.text())));
    }
}

void TestVirtualCameraFiles::filesValidateWithoutWarnings_data()
{
    addEveryProduct();
}

void TestVirtualCameraFiles::filesValidateWithoutWarnings()
{
    REQUIRE_TOOL("exiftool");
    QFETCH(int, productId);
    VirtualCameraFixture fixture(productId);
    QVERIFY(fixture.isOpen());
    fixture.device().setPictureOrientation(6);
    const Pair pair = shootPair(fixture);
    const QString name = QStringLiteral("validate_%1").arg(productId, 0, 16);
    for (const QString& path : {save(m_folder.path(), name + ".DNG", pair.dng), save(m_folder.path(), name + ".JPG", pair.jpg)}) {
        const Run validated = run("exiftool", {"-validate", "-warning", "-a", path});
        QCOMPARE(validated.exitCode, 0);
        QVERIFY2(validated.out.contains("Validate") && validated.out.contains(": OK"), validated.out);
        QVERIFY2(!validated.out.contains("Warning"), validated.out);
        QCOMPARE(exifOf(path).value("Orientation").toInt(), 6);
    }
}

void TestVirtualCameraFiles::sizedAndCardFilesValidateWithoutWarnings()
{
    REQUIRE_TOOL("exiftool");
    VirtualCameraFixture fixture(0x2031);
    QVERIFY(fixture.isOpen());
    // Files grown to a size asked for (the DNG by its raw and private data,
    // the JPG by a comment as long as its segment takes), then the card's
    // pictures taken before the host came.
    fixture.device().setPictureSizes(3000001, 200000);
    const Pair sized = shootPair(fixture);
    fixture.device().setPictureSizes(0, 0);
    fixture.device().fillCard(3);
    QVERIFY(fixture.picturesWritten());
    QVector<QByteArray> files{sized.dng, sized.jpg};
    for (quint32 handle : fixture.device().objectHandles().mid(3))
        files << fixture.device().objectData(handle);
    QCOMPARE(files.size(), 2 + 4);
    for (int i = 0; i < files.size(); ++i) {
        const QString extension = files.at(i).startsWith("\xFF\xD8") ? "JPG" : "DNG";
        const QString path = save(m_folder.path(), QStringLiteral("more_%1.%2").arg(i).arg(extension), files.at(i));
        const Run validated = run("exiftool", {"-validate", "-warning", "-a", path});
        QCOMPARE(validated.exitCode, 0);
        QVERIFY2(validated.out.contains(": OK") && !validated.out.contains("Warning"), validated.out);
    }
}

void TestVirtualCameraFiles::everyJpegDecodes_data()
{
    addEveryProduct();
}

// The JPG, the thumbnail in its Exif, the DNG's preview and every thumbnail
// the camera serves.
void TestVirtualCameraFiles::everyJpegDecodes()
{
    REQUIRE_TOOL("djpeg");
    REQUIRE_TOOL("exiftool");
    QFETCH(int, productId);
    VirtualCameraFixture fixture(productId);
    QVERIFY(fixture.isOpen());
    const Pair pair = shootPair(fixture);
    const QString name = QStringLiteral("decode_%1").arg(productId, 0, 16);
    const QString jpg = save(m_folder.path(), name + ".JPG", pair.jpg);
    const QString dng = save(m_folder.path(), name + ".DNG", pair.dng);
    QList<QByteArray> jpegs{pair.jpg, exifBinary("ThumbnailImage", jpg), exifBinary("PreviewImage", dng)};
    for (quint32 handle : fixture.device().objectHandles().mid(1)) {
        for (int kind = 0; kind < 3; ++kind) {
            QByteArray thumbnail(1 << 22, '\0');
            quint32 size = 0;
            QVERIFY(fixture.access()->getThumbnail(thumbnail.data(), quint32(thumbnail.size()), kind, handle, &size));
            jpegs << thumbnail.left(int(size));
        }
    }
    for (int i = 0; i < jpegs.size(); ++i) {
        const QString path = save(m_folder.path(), QStringLiteral("%1_%2.jpeg").arg(name).arg(i), jpegs.at(i));
        const Run decoded = run("djpeg", {"-outfile", path + ".ppm", path});
        QVERIFY2(decoded.exitCode == 0 && decoded.err.isEmpty(), qPrintable(QString::number(i) + decoded.err));
        QVERIFY(readPpm(path + ".ppm").width > 0);
    }
}

// MCUs that repeat their left neighbour and bands that repeat the band
// above are encoded from bits encoded before, wherever in a byte they start:
// flat tiles in runs, the rows of tiles repeated, the right and bottom MCUs
// partly outside, decode to the tiles' colours.
void TestVirtualCameraFiles::repeatsDecodeToThePicture()
{
    REQUIRE_TOOL("djpeg");
    const int width = 200;
    const int height = 184;
    const quint8 palette[5][3] = {{200, 30, 30}, {20, 180, 60}, {250, 250, 250}, {10, 10, 90}, {128, 128, 128}};
    BRX_Commu_VirtualCameraJpeg::Image tiles{width, height, QByteArray(3 * width * height, '\0')};
    const auto colourAt = [&palette](int x, int y) { return palette[(x / 16 / 3 + y / 16 / 4) % 5]; };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            std::memcpy(tiles.rgb.data() + 3 * (y * width + x), colourAt(x, y), 3);
    }
    const QString path = save(m_folder.path(), "tiles.jpeg", BRX_Commu_VirtualCameraJpeg(90).encode(tiles));
    // Without smoothing, the chroma of a flat MCU stays its own at its edges.
    const Run decoded = run("djpeg", {"-nosmooth", "-outfile", path + ".ppm", path});
    QVERIFY2(decoded.exitCode == 0 && decoded.err.isEmpty(), decoded.err);
    const Ppm ppm = readPpm(path + ".ppm");
    QCOMPARE(QSize(ppm.width, ppm.height), QSize(width, height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Ppm::Colour got = ppm.at(x, y);
            const quint8* wanted = colourAt(x, y);
            const int off = std::max({std::abs(got.red - wanted[0]), std::abs(got.green - wanted[1]),
                                      std::abs(got.blue - wanted[2])});
            QVERIFY2(off <= 3, qPrintable(QStringLiteral("at %1, %2: %3").arg(x).arg(y).arg(got.text())));
        }
    }
}

// The thumbnail a host reads is the one in the JPG's Exif, the large
// preview the DNG's own; the Exif head gives the orientation the files hold.
void TestVirtualCameraFiles::quickViewComesFromTheFiles()
{
    REQUIRE_TOOL("exiftool");
    VirtualCameraFixture fixture(0x2031);
    QVERIFY(fixture.isOpen());
    fixture.device().setPictureOrientation(8);
    const Pair pair = shootPair(fixture);
    const QString jpg = save(m_folder.path(), "quick.JPG", pair.jpg);
    const QString dng = save(m_folder.path(), "quick.DNG", pair.dng);
    const QVector<quint32> files = fixture.device().objectHandles().mid(1);
    QByteArray buffer(1 << 22, '\0');
    quint32 size = 0;
    QVERIFY(fixture.access()->getThumbnail(buffer.data(), quint32(buffer.size()), 0, files.at(1), &size));
    QCOMPARE(buffer.left(int(size)), exifBinary("ThumbnailImage", jpg));
    QVERIFY(fixture.access()->getThumbnail(buffer.data(), quint32(buffer.size()), 2, files.at(0), &size));
    QCOMPARE(buffer.left(int(size)), exifBinary("PreviewImage", dng));
    QCOMPARE(exifOf(dng).value("Orientation").toInt(), 8);
    QCOMPARE(exifOf(jpg).value("Orientation").toInt(), 8);
}

void TestVirtualCameraFiles::exifTellsTheSettingsOfTheShot_data()
{
    QTest::addColumn<int>("productId");
    QTest::newRow("struct 0x2011") << 0x2011;
    QTest::newRow("device properties 0x2031") << 0x2031;
    QTest::newRow("device properties 0x2061") << 0x2061;
}

// f/8, 1/250 s, +1 EV and ISO 800 set through the exports are what both
// files say they were taken with, with the camera's model and serial number.
void TestVirtualCameraFiles::exifTellsTheSettingsOfTheShot()
{
    REQUIRE_TOOL("exiftool");
    QFETCH(int, productId);
    SdkHost host(productId);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    QVERIFY(setConfirmed(host, BRX_SDK_PropertyAperture, 8.0));
    QVERIFY(setConfirmed(host, BRX_SDK_PropertyShutterTime, 1 / 250.0));
    QVERIFY(setConfirmed(host, BRX_SDK_PropertyExposCompens, qint32(1000)));
    QVERIFY(setConfirmed(host, BRX_SDK_PropertySensitivity, qint32(800)));

    const QStringList files = captureSaved(host, m_folder.path(), QStringLiteral("settings_%1").arg(productId, 0, 16));
    QCOMPARE(files.size(), 2);
    for (const QString& path : files) {
        const QJsonObject exif = exifOf(path);
        QCOMPARE(exif.value("FNumber").toDouble(), 8.0);
        QCOMPARE(exif.value("ExposureTime").toDouble(), 0.004);
        QCOMPARE(exif.value("ExposureCompensation").toDouble(), 1.0);
        QCOMPARE(exif.value("ISO").toInt(), 800);
        QCOMPARE(exif.value("Model").toString(), BRX_Commu_VirtualCameraProfile::model(productId));
        QCOMPARE(exif.value("Make").toString(), BRX_Commu_VirtualCameraProfile::manufacturer());
        QCOMPARE(exif.value("SerialNumber").toString(), BRX_Commu_VirtualCameraProfile::serialNumber(productId));
        QCOMPARE(exif.value("FocalLength").toDouble(), 50.0);
        QCOMPARE(exif.value("LensModel").toString(), QString("Virtual Lens 50"));
        QVERIFY(!exif.value("SubSecTimeOriginal").isUndefined());
    }
}

void TestVirtualCameraFiles::exifAndCardTellTheWholeShot_data()
{
    // What each product offers: the ISO number nearest 800, whether it sets
    // the aperture and the white balance.
    QTest::addColumn<int>("productId");
    QTest::addColumn<int>("iso");
    QTest::addColumn<bool>("setsAperture");
    QTest::addColumn<bool>("setsWhiteBalance");
    QTest::newRow("0x2009") << 0x2009 << 640 << true << true;
    QTest::newRow("0x2011") << 0x2011 << 800 << true << true;
    QTest::newRow("0x2021") << 0x2021 << 800 << false << true;
    QTest::newRow("0x2031") << 0x2031 << 800 << true << true;
    QTest::newRow("0x2041") << 0x2041 << 800 << true << true;
    QTest::newRow("0x2051") << 0x2051 << 800 << false << false;
    QTest::newRow("0x2061") << 0x2061 << 800 << true << true;
}

// Manual exposure, spot metering and daylight white balance set through
// the exports, on every product: the second picture's Exif tells them with
// its number and the time it was taken, and the card in the picture shows
// the number and the settings.
void TestVirtualCameraFiles::exifAndCardTellTheWholeShot()
{
    REQUIRE_TOOL("exiftool");
    QFETCH(int, productId);
    QFETCH(int, iso);
    QFETCH(bool, setsAperture);
    QFETCH(bool, setsWhiteBalance);
    const qint32 manual = 0;
    const qint32 spot = 0;
    const qint32 daylight = 1;
    SdkHost host(productId);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    // Wide enough for the caption's letters to be drawn, not sampled away.
    const int width = 1500;
    host.camera().setPictureWidth(width);
    QVERIFY(setConfirmed(host, BRX_SDK_PropertyExposureMode, manual));
    QVERIFY(setConfirmed(host, BRX_SDK_PropertyExposMetering, spot));
    QVERIFY(setConfirmed(host, BRX_SDK_PropertyShutterTime, 1 / 250.0));
    QVERIFY(setConfirmed(host, BRX_SDK_PropertyExposCompens, qint32(1000)));
    QVERIFY(setConfirmed(host, BRX_SDK_PropertySensitivity, qint32(iso)));
    if (setsAperture)
        QVERIFY(setConfirmed(host, BRX_SDK_PropertyAperture, 8.0));
    if (setsWhiteBalance)
        QVERIFY(setConfirmed(host, BRX_SDK_PropertyWhiteBalance, daylight));

    const QString name = QStringLiteral("shot_%1").arg(productId, 0, 16);
    QCOMPARE(captureSaved(host, m_folder.path(), name + "_1").size(), 2);
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    const QStringList files = captureSaved(host, m_folder.path(), name + "_2");
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);
    QCOMPARE(files.size(), 2);
    for (const QString& path : files) {
        const QJsonObject exif = exifOf(path);
        QCOMPARE(exif.value("ExposureProgram").toInt(), 1);
        QCOMPARE(exif.value("ExposureMode").toInt(), 1);
        QCOMPARE(exif.value("MeteringMode").toInt(), 3);
        QCOMPARE(exif.value("ExposureTime").toDouble(), 0.004);
        QCOMPARE(exif.value("ExposureCompensation").toDouble(), 1.0);
        QCOMPARE(exif.value("ISO").toInt(), iso);
        if (setsAperture)
            QCOMPARE(exif.value("FNumber").toDouble(), 8.0);
        QCOMPARE(exif.value("WhiteBalance").toInt(), setsWhiteBalance ? 1 : 0);
        QCOMPARE(exif.value("LightSource").toInt(), setsWhiteBalance ? 1 : 0);
        QCOMPARE(exif.value("ImageUniqueID").toVariant().toString().toInt(), 2);
        const QDateTime taken = QDateTime::fromString(exif.value("DateTimeOriginal").toString(), "yyyy:MM:dd HH:mm:ss");
        QVERIFY2(taken >= before && taken <= after, qPrintable(taken.toString(Qt::ISODate)));
        const QString milliseconds = exif.value("SubSecTimeOriginal").toVariant().toString();
        QVERIFY2(QRegularExpression("^\\d{3}$").match(milliseconds).hasMatch(), qPrintable(milliseconds));
    }

    // The JPG's picture is the card with the number and the settings drawn
    // in its band, encoded as the camera encodes it.
    QFile jpg(files.at(1));
    QVERIFY(jpg.open(QIODevice::ReadOnly));
    BRX_Commu_VirtualCameraTestCard card;
    card.setNumber(2);
    card.setCaption(QStringLiteral("1/250 F%1 ISO %2 +1.0 EV M SPOT %3 50MM")
                        .arg(setsAperture ? "8.0" : "2.0")
                        .arg(iso)
                        .arg(setsWhiteBalance ? "WB1" : "AWB"));
    const QByteArray drawn = BRX_Commu_VirtualCameraJpeg(BRX_Commu_VirtualCameraPicture::kJpegQuality)
                                 .encode(card.render(BRX_Commu_VirtualCameraTestCard::kWholeCard, width,
                                                     BRX_Commu_VirtualCameraPicture::heightOf(width)));
    QVERIFY(drawn.size() > 2);
    QVERIFY(jpg.readAll().endsWith(drawn.mid(2)));
}

// The product's own sensor, once: the smallest.
void TestVirtualCameraFiles::sensorSizeOnce()
{
    REQUIRE_TOOL("raw-identify");
    VirtualCameraFixture fixture(0x2009);
    QVERIFY(fixture.isOpen());
    fixture.device().setPictureWidth(0);
    const Pair pair = shootPair(fixture);
    const QString path = save(m_folder.path(), "sensor.DNG", pair.dng);
    const BRX_Commu_VirtualCameraProfile::Sensor sensor = BRX_Commu_VirtualCameraProfile::sensor(0x2009);
    QCOMPARE(rawSize(run("raw-identify", {"-v", path}).out), QSize(sensor.width, sensor.height));
    QCOMPARE(JpegLayout(pair.jpg).width(), sensor.width);
    QVERIFY(pair.dng.size() > 2 * sensor.width * sensor.height);
}

// A DNG asked for by size gets there by its raw's pixels; a JPG ends at its
// end marker, its size reached by its picture and Exif.
void TestVirtualCameraFiles::sizeAskedIsReachedByContent()
{
    REQUIRE_TOOL("raw-identify");
    VirtualCameraFixture fixture(0x2031);
    QVERIFY(fixture.isOpen());
    const quint32 dngBytes = 3000001;
    const quint32 jpgBytes = 50000;
    fixture.device().setPictureSizes(dngBytes, jpgBytes);
    const Pair pair = shootPair(fixture);
    QCOMPARE(quint32(pair.dng.size()), dngBytes);
    QCOMPARE(quint32(pair.jpg.size()), jpgBytes);
    const QSize raw = rawSize(run("raw-identify", {"-v", save(m_folder.path(), "sized.DNG", pair.dng)}).out);
    QVERIFY(2 * raw.width() * raw.height() > int(dngBytes) * 9 / 10);
    const JpegLayout layout(pair.jpg);
    QVERIFY2(layout.isValid(), layout.error());
    QCOMPARE(layout.end(), pair.jpg.size());
}

QTEST_GUILESS_MAIN(TestVirtualCameraFiles)
#include "tst_virtualcamera_files.moc"
