#include "BRX_Debug_Logfile.h"

#include <QMessageLogger>

void BRX_Debug_Logfile::debug(const char* text)
{
    QMessageLogger("Source/BRX_Debug_Logfile", 0, "BRX_Debug_Logfile::debug").debug("%s", text);
}
