#include "FakeCameraAccess.h"

#include <algorithm>
#include <cstring>

FakeCameraAccess::FakeCameraAccess(int productId, int connectionType)
    : BRX_Commu_CameraAccess_Base(connectionType)
{
    m_productId = productId;
}

void FakeCameraAccess::script(quint16 opCode, const Answer& answer)
{
    append(Key(opCode, -1), answer);
}

void FakeCameraAccess::script(quint16 opCode, quint32 firstParam, const Answer& answer)
{
    append(Key(opCode, firstParam), answer);
}

void FakeCameraAccess::append(const Key& key, const Answer& answer)
{
    Queue& queue = m_script[key];
    if (queue.lastAnswerUsed)
        queue = Queue();
    queue.answers.append(answer);
}

FakeCameraAccess::Answer FakeCameraAccess::nextAnswer(quint32 opCode, quint32 numParams,
                                                      const quint32* params)
{
    auto queue = m_script.end();
    if (numParams > 0)
        queue = m_script.find(Key(opCode, params[0]));
    if (queue == m_script.end())
        queue = m_script.find(Key(opCode, -1));
    if (queue == m_script.end())
        return ok();
    if (queue->answers.size() > 1)
        return queue->answers.takeFirst();
    queue->lastAnswerUsed = true;
    return queue->answers.first();
}

FakeCameraAccess::Answer FakeCameraAccess::record(quint32 opCode, quint32 numParams,
                                                  const quint32* params, Direction direction,
                                                  const QByteArray& sent, quint32 bufferSize,
                                                  const char* methodName)
{
    Transaction transaction{quint16(opCode), QVector<quint32>(), direction, sent, bufferSize,
                            QString::fromLatin1(methodName)};
    for (quint32 i = 0; i < numParams; ++i)
        transaction.params.append(params[i]);
    transactions.append(transaction);
    return nextAnswer(opCode, numParams, params);
}

bool FakeCameraAccess::openConnection(quint64, int productId, QString)
{
    if (m_productId != 0)
        return false;
    m_productId = productId;
    emit signalConnectionOpened(connectionType());
    return true;
}

bool FakeCameraAccess::closeConnection()
{
    if (m_productId == 0)
        return false;
    m_productId = 0;
    emit signalConnectionClosed(connectionType());
    return true;
}

bool FakeCameraAccess::recvData(quint32 opCode, quint32 numParams, const quint32* params,
                                void* buffer, quint32 bufferSize, const char* methodName, quint32* received)
{
    const Answer answer = record(opCode, numParams, params, DataIn, QByteArray(), bufferSize, methodName);
    const quint32 filled = buffer && answer.responseCode == kResponseOK
                               ? std::min<quint32>(bufferSize, quint32(answer.data.size()))
                               : 0;
    if (buffer && bufferSize > 0) {
        std::memset(buffer, 0, bufferSize);
        std::memcpy(buffer, answer.data.constData(), filled);
    }
    if (received)
        *received = filled;
    return answer.responseCode == kResponseOK;
}

bool FakeCameraAccess::sendCommand(quint32 opCode, quint32 numParams, const quint32* params,
                                   const char* methodName)
{
    return record(opCode, numParams, params, NoData, QByteArray(), 0, methodName).responseCode
           == kResponseOK;
}

bool FakeCameraAccess::sendData(quint32 opCode, quint32 numParams, const quint32* params,
                                const void* buffer, quint32 bufferSize, const char* methodName)
{
    const QByteArray sent(static_cast<const char*>(buffer), buffer ? int(bufferSize) : 0);
    return record(opCode, numParams, params, DataOut, sent, bufferSize, methodName).responseCode == kResponseOK;
}
