#ifndef BRX_DEBUG_LOGFILE_H
#define BRX_DEBUG_LOGFILE_H

// The sink of the debug log: every line it is given goes to Qt's debug
// output, where the host's message handler decides what happens with it.
// Which lines are shown is decided before they reach it (BRX_Debug).
class BRX_Debug_Logfile
{
public:
    static void debug(const char* text);
};

#endif
