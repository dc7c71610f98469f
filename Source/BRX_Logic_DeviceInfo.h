#ifndef BRX_LOGIC_DEVICEINFO_H
#define BRX_LOGIC_DEVICEINFO_H

#include "BRX_Logic_CameraDataset.h"

#include <QVector>

// The PTP DeviceInfo dataset (up to 2048 bytes), read on construction.
// The walk keeps every code list and string that lies wholly inside the
// buffer; from the first one that runs past its end, everything reads as
// absent (false, empty), since the camera's data cannot be trusted further.
class BRX_Logic_DeviceInfo : public BRX_Logic_CameraDataset
{
public:
    explicit BRX_Logic_DeviceInfo(BRX_Commu_CameraAccess_Base* access);

    bool recvFromCamera() override;
    void dump(const QString& caller) const override;

    // False when the dataset was not read.
    bool isOperationSupported(ushort code) const;
    bool isEventSupported(ushort code) const;
    bool isDevicePropSupported(ushort code) const;
    // Empty when the dataset was not read.
    QString getManufacturer() const;
    QString getModel() const;
    QString getDeviceVersion() const;
    QString getSerialNumber() const;

private:
    enum CodeList { kOperations, kEvents, kDeviceProps, kCaptureFormats, kImageFormats, kCodeListCount };
    enum Text { kManufacturer, kModel, kDeviceVersion, kSerialNumber, kTextCount };

    void clear();
    void walk();
    static bool readCodeList(BRX_Commu_ByteReader& bytes, QVector<quint16>& list);
    void dumpCodeList(const char* method, const char* name, CodeList list) const;

    quint16 m_functionalMode = 0;
    QVector<quint16> m_codeLists[kCodeListCount];
    QString m_texts[kTextCount];
};

#endif
