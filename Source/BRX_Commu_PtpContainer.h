#ifndef BRX_COMMU_PTPCONTAINER_H
#define BRX_COMMU_PTPCONTAINER_H

#include <QByteArray>
#include <QVector>
#include <QtGlobal>

// A PTP-over-USB container: a 12-byte header (length, type, code,
// transaction ID) followed by up to five 32-bit parameters or, for a data
// container, the payload.
class BRX_Commu_PtpContainer
{
public:
    enum Type : quint16 { kCommand = 1, kData = 2, kResponse = 3, kEvent = 4 };
    enum : quint32 {
        kHeaderSize = 12,
        kMaxParams = 5,
        kMaxSize = kHeaderSize + 4 * kMaxParams,
        // A data container of this length runs until the device's short packet.
        kUnknownLength = 0xFFFFFFFF
    };

    BRX_Commu_PtpContainer() = default;
    BRX_Commu_PtpContainer(Type type, quint16 code, quint32 transactionId,
                           const QVector<quint32>& params = QVector<quint32>());

    // Command, response or event container with its parameters.
    QByteArray encode() const;
    static void encodeHeader(quint8* out, quint32 length, Type type, quint16 code, quint32 transactionId);

    // Reads the header from size bytes; false when fewer than 12 bytes are
    // there or the length field is below 12.
    bool decodeHeader(const quint8* data, quint32 size);
    // Reads the parameters of a container whose header has been decoded and
    // whose length bytes are all in data; false when the length does not fit
    // size, is not 12 plus whole parameters, or carries more than five.
    bool decodeParams(const quint8* data, quint32 size);

    quint32 length = 0;
    quint16 type = 0;
    quint16 code = 0;
    quint32 transactionId = 0;
    QVector<quint32> params;
};

#endif
