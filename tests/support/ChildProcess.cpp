#include "ChildProcess.h"

#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

int runChildProcess(char** argv, const char* caller)
{
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[0], argv);
        std::perror(argv[0]);
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) < 0) {
        std::perror(caller);
        return 1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
