#ifndef CHILDPROCESS_H
#define CHILDPROCESS_H

// Runs argv (null-terminated, argv[0] looked up in PATH) as a child process
// and waits for it: its exit code, 128 + the signal that ended it, 127 when
// it could not be started, 1 when it could not be waited for.
int runChildProcess(char** argv, const char* caller);

#endif
