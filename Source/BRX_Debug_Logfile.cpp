#include "BRX_Debug_Logfile.h"

#include <QMessageLogger>

#include <mutex>

namespace {

// Guards the hook against a change while a line is handed to it.
std::mutex g_hookMutex;
BRX_Debug_Logfile::Hook g_hook = nullptr;
void* g_hookContext = nullptr;

} // namespace

void BRX_Debug_Logfile::debug(const char* text)
{
    std::lock_guard<std::mutex> locker(g_hookMutex);
    if (g_hook)
        g_hook(g_hookContext, text);
    else
        QMessageLogger("Source/BRX_Debug_Logfile", 0, "BRX_Debug_Logfile::debug").debug("%s", text);
}

void BRX_Debug_Logfile::setHook(Hook hook, void* context)
{
    std::lock_guard<std::mutex> locker(g_hookMutex);
    g_hook = hook;
    g_hookContext = context;
}
