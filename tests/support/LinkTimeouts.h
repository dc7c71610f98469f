#ifndef LINKTIMEOUTS_H
#define LINKTIMEOUTS_H

#include "BRX_Commu_PtpTransaction.h"

// Link timeouts for tests that outlast them on purpose: the first answer
// and the progress limit ms, the handshake twice that, a patient answer at
// least 2 s, settling 500 ms, a drain's quiet 50 ms; the slowest data rate
// as by default.
BRX_Commu_PtpTransaction::Timeouts shortLinkTimeouts(int ms);
// The default timeouts for links created from now on, but data phases may
// be as slow as a byte a second: for tests whose data phase must end by
// another limit however slowly this machine moves it.
void setAnyDataRate();

#endif
