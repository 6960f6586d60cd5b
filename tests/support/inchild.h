#pragma once

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

// Runs `body` in a forked child process and answers how the child ended (the waitpid status),
// so a test can kill or limit a writer without touching the test process.
template <class Body> int inChild(Body body) {
    const pid_t child = fork();
    if (child == 0) {
        body();
        _exit(0);
    }
    int status = -1;
    if (child > 0) waitpid(child, &status, 0);
    return status;
}
