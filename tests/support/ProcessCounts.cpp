#include "ProcessCounts.h"

#include <QDir>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizers' allocator counts its own; not every compiler ships the
// header that declares it.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace {

int entries(const char* folder)
{
    return int(QDir(QLatin1String(folder)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
}

} // namespace

int ProcessCounts::threads()
{
    return entries("/proc/self/task");
}

// The listing itself holds one descriptor while it reads the folder.
int ProcessCounts::openFiles()
{
    return entries("/proc/self/fd") - 1;
}

qint64 ProcessCounts::heapBytes()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return qint64(__sanitizer_get_current_allocated_bytes());
#else
    return qint64(mallinfo2().uordblks);
#endif
}
