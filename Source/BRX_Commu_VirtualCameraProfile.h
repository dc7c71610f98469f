#ifndef BRX_COMMU_VIRTUALCAMERAPROFILE_H
#define BRX_COMMU_VIRTUALCAMERAPROFILE_H

#include "BRX_Commu_VirtualCameraProperty.h"

#include <QByteArray>
#include <QVector>

// What a virtual camera of one product holds after power-on: its DeviceInfo,
// the settings block or device properties as its family has them
// (BRX_Commu_ProductFamily), and the lens, 3D-axis and geotagging datasets.
class BRX_Commu_VirtualCameraProfile
{
public:
    static bool isSupported(int productId);
    // Products that report the orientation as an object property (0xD800).
    static bool hasObjectProperties(int productId);
    // Products that stream live view (the device-property products).
    static bool hasLiveView(int productId);
    // How fast it shoots a continuous series: one picture at the start, then
    // one every so many milliseconds while the shutter is held.
    static int seriesIntervalMs(int productId);
    // Whether it writes a picture pair's JPG before its DNG.
    static bool writesJpgFirst(int productId);

    static QVector<quint16> operations(int productId);
    static QVector<quint16> events(int productId);
    // With serialNumber, or the product's own when it is empty; without the
    // operations withdrawn.
    static QByteArray deviceInfo(int productId, const QString& serialNumber = QString(),
                                 const QVector<quint16>& withdrawn = QVector<quint16>());
    // The maker, serial number and firmware version its DeviceInfo names;
    // the serial number is the product's own unless the camera was given one.
    static QString manufacturer();
    static QString serialNumber(int productId);
    // A serial number a virtual camera may be given: 1 to 32 letters,
    // digits, '.', '-' or '_', not starting with '.', so that it also names
    // the camera's settings file.
    static bool isSerialNumber(const QString& text);
    static QString firmwareVersion();
    // The model its DeviceInfo names, and the product of such a model (0
    // for any other text).
    static QString model(int productId);
    static int productIdOfModel(const QString& model);
    static QByteArray settingsBlock(int productId);
    static QVector<BRX_Commu_VirtualCameraProperty> properties(int productId);
    static QByteArray lensData();
    static QByteArray axisData(int productId);
    static QByteArray geotaggingData();

    // The sensor whose pictures the camera writes: its pixels (3:2, as the
    // test card), the raw samples' range, and how fast its card takes a
    // file.
    struct Sensor {
        int width;
        int height;
        int blackLevel;
        int whiteLevel;
        int cardMegabytesPerSecond;
    };
    // The sensor of 0x2031 for a product without a profile.
    static Sensor sensor(int productId);

    static const int kSettingsBlockSize = 100;
    static const int kLensDataSize = 101;
    static const int kGeotaggingDataSize = 133;
};

#endif
