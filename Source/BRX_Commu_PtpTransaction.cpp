#include "BRX_Commu_PtpTransaction.h"
#include "BRX_Commu_PtpCodes.h"
#include "BRX_Debug.h"

#include <QThread>
#include <algorithm>
#include <iterator>
#include <mutex>

namespace {

typedef BRX_Commu_PtpCodes Codes;

std::mutex g_timeoutsMutex;
BRX_Commu_PtpTransaction::Timeouts g_timeouts;

const int kMaxBusyRepetitions = 5;
const unsigned long kBusySleepMs = 100;

const quint16 kPatientOperations[] = {
    Codes::kOpRelease,
    Codes::kOpInitiateCapture,
    Codes::kOpControlBulbExposure,
    Codes::kOpControlContinuousExposure,
    Codes::kOpSetCameraSettings,
    Codes::kOpSetDevicePropValue,
    Codes::kOpGetObject,
    Codes::kOpGetPartialObject,
};

} // namespace

BRX_Commu_PtpTransaction BRX_Commu_PtpTransaction::make(quint32 opCode, quint32 numParams, const quint32* params,
                                                        Direction direction, void* buffer, quint32 size,
                                                        const char* name)
{
    return {quint16(opCode), numParams, params, direction, static_cast<quint8*>(buffer), buffer ? size : 0,
            isPatient(quint16(opCode)), name};
}

void BRX_Commu_PtpTransaction::setDefaultTimeouts(const Timeouts& timeouts)
{
    std::lock_guard<std::mutex> locker(g_timeoutsMutex);
    g_timeouts = timeouts;
}

BRX_Commu_PtpTransaction::Timeouts BRX_Commu_PtpTransaction::defaultTimeouts()
{
    std::lock_guard<std::mutex> locker(g_timeoutsMutex);
    return g_timeouts;
}

bool BRX_Commu_PtpTransaction::isPatient(quint16 opCode)
{
    return std::find(std::begin(kPatientOperations), std::end(kPatientOperations), opCode)
        != std::end(kPatientOperations);
}

bool BRX_Commu_PtpTransaction::isAccepted(quint16 responseCode, const char* name)
{
    if (responseCode != Codes::kResponseOK) {
        debugPrint(kDebugAlways, "%s - MTP Response code: 0x%08X", name, responseCode);
        return false;
    }
    debugPrint(kDebugPtp, "%s - successful", name);
    return true;
}

bool BRX_Commu_PtpTransaction::isSessionOpened(quint16 responseCode, const char* name)
{
    return isAccepted(responseCode == Codes::kResponseSessionAlreadyOpen ? quint16(Codes::kResponseOK) : responseCode, name);
}

BRX_Commu_PtpTransaction::BusyRetry::BusyRetry(bool patient, int patientAnswerMs)
    : m_patient(patient)
    , m_patience(patient ? patientAnswerMs : 0)
{
}

bool BRX_Commu_PtpTransaction::BusyRetry::repeatAfter(quint16 responseCode)
{
    if (responseCode != Codes::kResponseDeviceBusy)
        return false;
    if (m_repetition++ >= kMaxBusyRepetitions && !(m_patient && !m_patience.hasExpired()))
        return false;
    QThread::msleep(kBusySleepMs);
    return true;
}
