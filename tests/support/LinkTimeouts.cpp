#include "LinkTimeouts.h"

#include <algorithm>

BRX_Commu_PtpTransaction::Timeouts shortLinkTimeouts(int ms)
{
    BRX_Commu_PtpTransaction::Timeouts timeouts;
    timeouts.firstAnswerMs = ms;
    timeouts.patientAnswerMs = std::max(2000, 2 * ms);
    timeouts.progressMs = ms;
    timeouts.settleMs = 500;
    timeouts.quietMs = 50;
    timeouts.handshakeMs = 2 * ms;
    return timeouts;
}

void setAnyDataRate()
{
    BRX_Commu_PtpTransaction::Timeouts timeouts;
    timeouts.minBytesPerSecond = 1;
    BRX_Commu_PtpTransaction::setDefaultTimeouts(timeouts);
}
