#ifndef BRX_DEBUG_H
#define BRX_DEBUG_H

#include <QtGlobal>
#include <string>

class QByteArray;
class QString;

// Message groups of the debug log. 0 is always shown; the other bits are
// switched on and off with setDebugFlags.
typedef quint32 eDebugFlag;

enum : eDebugFlag {
    kDebugAlways = 0x0,
    kDebugPtp = 0x1,
    kDebugSimulation = 0x8,
    kDebugHousekeeping = 0x100,
    kDebugDeviceInfo = 0x200,
    kDebugSettings = 0x400,
    kDebugLens = 0x1000,
    kDebugTransfer = 0x2000,
    kDebug3DAxis = 0x4000,
    kDebugGeotagging = 0x8000,
    kDebugLiveView = 0x10000,
};

// Formats a printf-style message and hands it to BRX_Debug_Logfile::debug,
// when flag is set (isDebugFlagSet); a message that is switched off costs
// neither formatting nor the log's lock. Messages of any length are written
// whole. Thread-safe.
void debugPrint(eDebugFlag flag, const char* format, ...) __attribute__((format(printf, 2, 3)));

// True when flag is 0 or shares a bit with the current mask.
bool isDebugFlagSet(eDebugFlag flag);

// enable true ORs flags into the mask, false clears them.
void setDebugFlags(quint32 flags, bool enable);

// Hex and ASCII dump, line by line to BRX_Debug_Logfile. maxLines 0 means
// all lines, bytesPerLine 0 means 16.
void dumpBuffer(const QString& header, const QString& prefix, const void* data, quint64 size,
                quint64 maxLines, quint64 bytesPerLine);
void dumpBuffer(const QString& header, const QString& prefix, const QByteArray& data,
                quint64 maxLines, quint64 bytesPerLine);

// The label every log line starts with: "Class::method()" from the compiler's
// pretty function name, e.g. "bool A::get(int, void*)" gives "A::get()".
std::string methodLabel(const char* prettyFunction);

// The calling method's label as a C string, valid for the full expression.
#define BRX_METHOD (methodLabel(__PRETTY_FUNCTION__).c_str())

#endif
