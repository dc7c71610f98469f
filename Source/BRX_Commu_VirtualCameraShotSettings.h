#ifndef BRX_COMMU_VIRTUALCAMERASHOTSETTINGS_H
#define BRX_COMMU_VIRTUALCAMERASHOTSETTINGS_H

#include "BRX_Commu_VirtualCameraShot.h"

#include <QByteArray>
#include <functional>

// The virtual camera's settings as its shutter reads them at a release:
// from the 100-byte settings block of the struct products (in the M layout
// for 0x2021 and 0x2051), from the device properties of the others. Turns
// the camera's codes into what a picture records.
class BRX_Commu_VirtualCameraShotSettings
{
public:
    typedef std::function<qint64(quint16 code)> PropertyValue;

    BRX_Commu_VirtualCameraShotSettings(int productId, const QByteArray& block, const PropertyValue& property);

    int fileFormat() const;
    bool isMirrorUpOn() const;
    bool isBulb() const;
    // Exposure, sensitivity, program, metering and white balance into shot.
    void describeExposure(BRX_Commu_VirtualCameraShot* shot) const;

    // The camera's name, serial number and firmware.
    static void describeCamera(int productId, const QString& serialNumber, BRX_Commu_VirtualCameraShot* shot);
    // Lens name, serial number, focal length and widest aperture from the
    // lens dataset.
    static void describeLens(const QByteArray& lensData, BRX_Commu_VirtualCameraShot* shot);
    // The marked speed or f-number nearest to an APEX code (value x 256).
    static double nominalSeconds(int shutterCode);
    static double nominalFNumber(int apertureCode);

private:
    int blockByte(int offset) const;
    int blockValue(int offset, int width) const;
    int exposureModeCode() const;
    int iso() const;
    int compensation() const;
    double fNumber() const;

    const int m_productId;
    const bool m_struct;
    const bool m_structM;
    const QByteArray m_block;
    const PropertyValue m_property;
};

#endif
