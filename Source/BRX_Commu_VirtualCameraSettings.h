#ifndef BRX_COMMU_VIRTUALCAMERASETTINGS_H
#define BRX_COMMU_VIRTUALCAMERASETTINGS_H

#include "BRX_Commu_PtpCodes.h"
#include "BRX_Commu_VirtualCameraProperty.h"

#include <QByteArray>
#include <QVector>

// The virtual camera's settings: its settings block and its device
// properties, what a write of one of them changes besides, and the part of
// them a camera keeps while it is switched off, as text. A plain record of
// the device; the device's lock guards it.
class BRX_Commu_VirtualCameraSettings : public BRX_Commu_PtpCodes
{
public:
    explicit BRX_Commu_VirtualCameraSettings(int productId);

    QByteArray& block() { return m_block; }
    const QByteArray& block() const { return m_block; }
    const QVector<BRX_Commu_VirtualCameraProperty>& properties() const { return m_properties; }
    // Null for a code the product does not have.
    BRX_Commu_VirtualCameraProperty* find(quint32 code);
    const BRX_Commu_VirtualCameraProperty* find(quint32 code) const;

    // A host's GetDevicePropDesc (descriptor) or GetDevicePropValue: the
    // response code, and the data into dataIn.
    quint16 read(quint32 code, bool descriptor, QByteArray* dataIn) const;
    // A host's SetDevicePropValue: the response code, and on success the
    // code the change is reported under into reported.
    quint16 write(quint32 code, const QByteArray& data, quint16* reported);

    // Stores a property's new value and what follows from it.
    void set(BRX_Commu_VirtualCameraProperty& property, qint64 value);
    // The code a change of the property written under code is reported under.
    static quint16 reportedCode(quint16 code);

    // The settings a camera keeps while it is switched off, as lines of text
    // ("block" and the settings block in hex, or a writable property's code
    // and value), and back: a line the camera would not take is left out.
    QByteArray state() const;
    void restore(const QByteArray& state);

private:
    bool isKept(const BRX_Commu_VirtualCameraProperty& property) const;

    const int m_productId;
    QByteArray m_block;
    QVector<BRX_Commu_VirtualCameraProperty> m_properties;
};

#endif
