#ifndef BRX_DEBUG_LOGFILE_H
#define BRX_DEBUG_LOGFILE_H

// The sink of the debug log: every line it is given goes to the host's log
// hook when one is set, else to Qt's debug output, where the host's message
// handler decides what happens with it. Which lines are shown is decided
// before they reach it (BRX_Debug), which also hands it one line at a time.
class BRX_Debug_Logfile
{
public:
    typedef void (*Hook)(void* context, const char* line);

    static void debug(const char* text);
    // Lines go to hook(context, line) from now on; null: to Qt again. Once it
    // returns, the previous hook is not called any more. Any thread.
    static void setHook(Hook hook, void* context);
};

#endif
