#include "FuzzSupport.h"

#include "BRX_Debug.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

const int kFuzzProducts[7] = {0x2009, 0x2011, 0x2021, 0x2031, 0x2041, 0x2051, 0x2061};

int fuzzProduct(quint8 choice)
{
    return kFuzzProducts[choice % 7];
}

void fuzzFrameSink(void* context, int, const void* data, unsigned int size)
{
    const quint8* bytes = static_cast<const quint8*>(data);
    if (bytes && size > 0 && context)
        *static_cast<quint32*>(context) += bytes[0] + bytes[size - 1];
}

void fuzzCheck(bool condition, const char* message)
{
    if (condition)
        return;
    std::fprintf(stderr, "check failed: %s\n", message);
    std::abort();
}

namespace {

// The log lines are formatted (every flag but one is on, so the dumps run
// too) and then dropped: the formatting is under test, the output is noise.
void dropMessage(QtMsgType, const QMessageLogContext&, const QString&)
{
}

// The transfer flag dumps whole pictures in hex, as a developer who sets it
// asks; with sizes from the input every run would take seconds.
const quint32 kFuzzDebugFlags = 0xFFFFFFFF & ~kDebugTransfer;

}  // namespace

// Called once before the first input, by libFuzzer and by the replay program.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication application(*argc, *argv);
    qInstallMessageHandler(dropMessage);
    setDebugFlags(kFuzzDebugFlags, true);
    return 0;
}
