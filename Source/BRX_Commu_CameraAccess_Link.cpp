#include "BRX_Commu_CameraAccess_Link.h"

namespace {

// Per thread: the controller's and the transfer threads' transactions
// interleave, and each asks about its own.
thread_local quint16 t_lastResponseCode = 0;

} // namespace

BRX_Commu_CameraAccess_Link::BRX_Commu_CameraAccess_Link(int connectionType)
    : BRX_Commu_CameraAccess_Base(connectionType)
{
}

// The name must outlive the transaction, whose log lines use it.
std::string BRX_Commu_CameraAccess_Link::label(const char* methodName, const char* transaction) const
{
    if (methodName)
        return methodName;
    return std::string(metaObject()->className()) + "::" + transaction + "()";
}

bool BRX_Commu_CameraAccess_Link::recvData(quint32 opCode, quint32 numParams, const quint32* params, void* buffer,
                                           quint32 bufferSize, const char* methodName, quint32* received)
{
    if (received)
        *received = 0;
    const std::string name = label(methodName, "recvData");
    return run(Transaction::make(opCode, numParams, params, Transaction::kDataIn, buffer, bufferSize, name.c_str()),
               received);
}

bool BRX_Commu_CameraAccess_Link::sendCommand(quint32 opCode, quint32 numParams, const quint32* params,
                                              const char* methodName)
{
    const std::string name = label(methodName, "sendCommand");
    return run(Transaction::make(opCode, numParams, params, Transaction::kNoData, nullptr, 0, name.c_str()));
}

// The link only reads the buffer of an outgoing data phase.
bool BRX_Commu_CameraAccess_Link::sendData(quint32 opCode, quint32 numParams, const quint32* params,
                                           const void* buffer, quint32 bufferSize, const char* methodName)
{
    const std::string name = label(methodName, "sendData");
    return run(Transaction::make(opCode, numParams, params, Transaction::kDataOut, const_cast<void*>(buffer),
                                 bufferSize, name.c_str()));
}

bool BRX_Commu_CameraAccess_Link::run(const Transaction& transaction, quint32* received)
{
    quint16 code = 0;
    const bool answered = exchange(transaction, &code, received);
    t_lastResponseCode = answered ? code : 0;
    return answered && Transaction::isAccepted(code, transaction.name);
}

quint16 BRX_Commu_CameraAccess_Link::lastResponseCode() const
{
    return t_lastResponseCode;
}

bool BRX_Commu_CameraAccess_Link::exchange(const Transaction& transaction, quint16* responseCode, quint32* received)
{
    std::lock_guard<std::mutex> locker(m_deviceMutex);
    if (!isLinkReady(transaction.name))
        return false;
    Transaction::BusyRetry busy(transaction.patient, patientAnswerMs());
    quint32 placed = 0;
    do {
        const bool answered = attempt(transaction, responseCode, &placed);
        if (received)
            *received = placed;
        if (!answered)
            return false;
    } while (busy.repeatAfter(*responseCode));
    return true;
}
