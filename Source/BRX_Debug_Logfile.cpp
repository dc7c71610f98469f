#include "BRX_Debug_Logfile.h"

#include <QMessageLogger>

void BRX_Debug_Logfile::debug(eDebugFlag flag, const char* text)
{
    if (!isDebugFlagSet(flag))
        return;
    QMessageLogger("Source/BRX_Debug_Logfile", 0, "BRX_Debug_Logfile::debug").debug("%s", text);
}
