#ifndef BRX_LOGIC_CAMERALENS_H
#define BRX_LOGIC_CAMERALENS_H

#include "BRX_Logic_CameraDataset.h"

// The vendor lens dataset (101 bytes), read on construction.
class BRX_Logic_CameraLens : public BRX_Logic_CameraDataset
{
public:
    explicit BRX_Logic_CameraLens(BRX_Commu_CameraAccess_Base* access);

    bool recvFromCamera() override;
    void dump(const QString& caller) const override;

    quint8 getLensState() const;
    bool isLensConnected() const;
    bool isAutoLensSelectionEnabled() const;
    QString getLensTypeString() const;
    quint8 getLensType() const;
    quint32 getLensSerialNumber() const;
    quint8 getLensFirmwareVersion() const;
    quint8 getCorrectionDataVersion() const;
    // APEX aperture codes (Av x 256).
    qint16 getOpenApertureValue() const;
    qint16 getCloseApertureValue() const;
    quint8 getApertureSteps() const;
    // "undefined", "1 EV", "1/2 EV", "1/3 EV" or "illegal".
    QString getApertureStepsText() const;
    quint16 getFocalLengthMin() const;
    quint16 getFocalLengthMax() const;
    // Millimetres.
    quint32 getFocusPositionMin() const;
    quint32 getFocusPositionMax() const;
    bool isCentralShutterAvailable() const;
    quint32 getLensID() const;
    quint16 getSelectedFocalLength() const;
    // "a.b.c.d" from the four version bytes.
    QString getLensFileVersion() const;
};

#endif
