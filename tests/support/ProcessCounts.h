#ifndef PROCESSCOUNTS_H
#define PROCESSCOUNTS_H

#include <QtGlobal>

// What the process holds now, for tests that a cycle leaves nothing behind.
namespace ProcessCounts {

// Threads (entries of /proc/self/task).
int threads();
// Open file descriptors, sockets among them (entries of /proc/self/fd).
int openFiles();
// Heap bytes allocated and not freed: the sanitizer's own count in a
// sanitized build (its quarantine not included), else the C library's.
qint64 heapBytes();

} // namespace ProcessCounts

#endif
