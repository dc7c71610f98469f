#ifndef BRX_COMMU_VIRTUALCAMERASHOT_H
#define BRX_COMMU_VIRTUALCAMERASHOT_H

#include <QDateTime>
#include <QString>

// What a picture records of the moment it was taken: the camera and lens,
// and the settings at the release, in the units and codes Exif uses. Both
// files of a picture, their Exif and the text on the test card come from it.
struct BRX_Commu_VirtualCameraShot {
    // Exif ExposureProgram and MeteringMode codes.
    enum Program { kProgramManual = 1, kProgramNormal = 2, kProgramAperturePriority = 3, kProgramShutterPriority = 4 };
    enum Metering { kMeteringCenterWeighted = 2, kMeteringSpot = 3, kMeteringMultiSegment = 5 };
    // Exif LightSource codes of the white-balance presets.
    enum LightSource {
        kLightUnknown = 0,
        kLightDaylight = 1,
        kLightTungsten = 3,
        kLightFlash = 4,
        kLightCloudy = 10,
        kLightShade = 11,
        kLightCoolWhiteFluorescent = 14,
        kLightWarmWhiteFluorescent = 16,
        kLightOther = 255,
    };

    QString make;
    QString model;
    QString serialNumber;
    QString firmware;
    QString lensModel;
    QString lensSerialNumber;
    double focalLengthMm = 50;
    // The lens's widest aperture.
    double maxApertureFNumber = 2;

    QDateTime taken;
    int fileNumber = 0;
    // Exif Orientation, 1 upright.
    int orientation = 1;
    double exposureSeconds = 1 / 125.0;
    double fNumber = 5.6;
    int iso = 100;
    int compensationMilliEv = 0;
    Program program = kProgramNormal;
    bool bracketing = false;
    Metering metering = kMeteringMultiSegment;
    bool autoWhiteBalance = true;
    LightSource lightSource = kLightUnknown;
};

#endif
