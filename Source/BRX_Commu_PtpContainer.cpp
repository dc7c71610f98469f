#include "BRX_Commu_PtpContainer.h"
#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_ByteWriter.h"

BRX_Commu_PtpContainer::BRX_Commu_PtpContainer(Type type, quint16 code, quint32 transactionId,
                                               const QVector<quint32>& params)
    : length(kHeaderSize + 4 * quint32(params.size()))
    , type(type)
    , code(code)
    , transactionId(transactionId)
    , params(params)
{
}

QByteArray BRX_Commu_PtpContainer::encode() const
{
    QByteArray out(int(kHeaderSize), '\0');
    encodeHeader(reinterpret_cast<quint8*>(out.data()), kHeaderSize + 4 * quint32(params.size()),
                 Type(type), code, transactionId);
    for (quint32 param : params)
        BRX_Commu_ByteWriter::appendU32(out, param);
    return out;
}

void BRX_Commu_PtpContainer::encodeHeader(quint8* out, quint32 length, Type type, quint16 code,
                                          quint32 transactionId)
{
    BRX_Commu_ByteWriter::writeU32(out, 0, length);
    BRX_Commu_ByteWriter::writeU16(out, 4, type);
    BRX_Commu_ByteWriter::writeU16(out, 6, code);
    BRX_Commu_ByteWriter::writeU32(out, 8, transactionId);
}

bool BRX_Commu_PtpContainer::decodeHeader(const quint8* data, quint32 size)
{
    if (size < kHeaderSize)
        return false;
    BRX_Commu_ByteReader reader(data, size);
    length = reader.readU32At(0);
    type = reader.readU16At(4);
    code = reader.readU16At(6);
    transactionId = reader.readU32At(8);
    return length >= kHeaderSize;
}

bool BRX_Commu_PtpContainer::decodeParams(const quint8* data, quint32 size)
{
    params.clear();
    if (length > size || length > kMaxSize || (length - kHeaderSize) % 4 != 0)
        return false;
    BRX_Commu_ByteReader reader(data, length);
    for (quint32 offset = kHeaderSize; offset < length; offset += 4)
        params.append(reader.readU32At(offset));
    return true;
}
