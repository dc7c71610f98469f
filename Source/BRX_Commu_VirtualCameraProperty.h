#ifndef BRX_COMMU_VIRTUALCAMERAPROPERTY_H
#define BRX_COMMU_VIRTUALCAMERAPROPERTY_H

#include <QByteArray>
#include <QVector>
#include <QtGlobal>

// One device property of the virtual camera: its value and the
// DevicePropDesc dataset a camera reports for it.
class BRX_Commu_VirtualCameraProperty
{
public:
    enum DataType : quint16 { kInt8 = 1, kUInt8 = 2, kInt16 = 3, kUInt16 = 4, kInt32 = 5, kUInt32 = 6 };
    enum Form : quint8 { kNoForm = 0, kRange = 1, kEnumeration = 2 };

    BRX_Commu_VirtualCameraProperty() = default;
    static BRX_Commu_VirtualCameraProperty range(quint16 code, DataType type, qint64 value, qint64 minimum,
                                                 qint64 maximum, qint64 step);
    static BRX_Commu_VirtualCameraProperty enumeration(quint16 code, DataType type, qint64 value,
                                                       const QVector<qint64>& values);
    // Readable only, without a form.
    static BRX_Commu_VirtualCameraProperty readOnly(quint16 code, DataType type, qint64 value);

    int width() const;
    bool isSigned() const;
    bool isWritable() const { return m_writable; }
    quint16 code() const { return m_code; }
    qint64 value() const { return m_value; }
    void setValue(qint64 value) { m_value = value; }

    // The DevicePropDesc dataset.
    QByteArray descriptor() const;
    // The current value as the camera sends it (width bytes).
    QByteArray valueBytes() const;
    // The value of a SetDevicePropValue data phase; false when its size is
    // not the property's width.
    bool decode(const QByteArray& data, qint64* value) const;
    // Whether the form admits value.
    bool accepts(qint64 value) const;

private:
    quint16 m_code = 0;
    DataType m_type = kUInt32;
    bool m_writable = false;
    qint64 m_default = 0;
    qint64 m_value = 0;
    Form m_form = kNoForm;
    qint64 m_minimum = 0;
    qint64 m_maximum = 0;
    qint64 m_step = 0;
    QVector<qint64> m_values;
};

#endif
