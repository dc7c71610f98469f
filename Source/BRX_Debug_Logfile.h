#ifndef BRX_DEBUG_LOGFILE_H
#define BRX_DEBUG_LOGFILE_H

#include "BRX_Debug.h"

// The sink of the debug log: every line goes to Qt's debug output, where the
// host's message handler decides what happens with it.
class BRX_Debug_Logfile
{
public:
    static void debug(eDebugFlag flag, const char* text);
};

#endif
