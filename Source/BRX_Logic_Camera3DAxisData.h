#ifndef BRX_LOGIC_CAMERA3DAXISDATA_H
#define BRX_LOGIC_CAMERA3DAXISDATA_H

#include "BRX_Logic_CameraDataset.h"

// The vendor tilt and temperature dataset, read on construction. Products
// 0x2031 and 0x2041 send a long layout of doubles (213 bytes), the others a
// short one of floats (193 bytes); the product at construction decides.
class BRX_Logic_Camera3DAxisData : public BRX_Logic_CameraDataset
{
public:
    explicit BRX_Logic_Camera3DAxisData(BRX_Commu_CameraAccess_Base* access);

    bool recvFromCamera() override;
    void dump(const QString& caller) const override;

    bool usesLongLayout() const { return m_longLayout; }
    double getCameraPitchAngle() const;
    double getCameraRollAngle() const;
    double getTemperature() const;

private:
    // Reads the field at shortOffset or longOffset, whichever layout is in use.
    double field(quint32 shortOffset, quint32 longOffset) const;

    const bool m_longLayout;
};

#endif
