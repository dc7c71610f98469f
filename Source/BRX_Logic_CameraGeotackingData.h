#ifndef BRX_LOGIC_CAMERAGEOTACKINGDATA_H
#define BRX_LOGIC_CAMERAGEOTACKINGDATA_H

#include "BRX_Logic_CameraDataset.h"

// The vendor GPS dataset (133 bytes), read on construction.
class BRX_Logic_CameraGeotackingData : public BRX_Logic_CameraDataset
{
public:
    explicit BRX_Logic_CameraGeotackingData(BRX_Commu_CameraAccess_Base* access);

    bool recvFromCamera() override;
    void dump(const QString& caller) const override;

    bool isMeanFieldDataValid() const;
    bool isTimeValid() const;
    bool isDateValid() const;
    bool isGPSEnabled() const;
    quint8 getLongitudeDegrees() const;
    quint8 getLongitudeMinutes() const;
    float getLongitudeSeconds() const;
    quint8 getLatitudeDegrees() const;
    quint8 getLatitudeMinutes() const;
    float getLatitudeSeconds() const;
    quint8 getNumberOfUsedSattelites() const;

private:
    bool statusBit(int bit) const;
};

#endif
