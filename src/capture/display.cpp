// A private Xvfb for a capture without a display, started as make run and
// the tests start theirs: Xvfb itself finds a free display (-displayfd).
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "capture.h"

static pid_t Server;

static void RunServer(int Pipe[2])
{
    // The server ends with us, even when we die of a signal; Ctrl+C in a
    // terminal reaches only us, which then quit and stop it.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    setpgid(0, 0);
    close(Pipe[0]);
    int Null = open("/dev/null", O_WRONLY);
    dup2(Null, 1);
    dup2(Null, 2);
    char Fd[16];
    snprintf(Fd, sizeof Fd, "%d", Pipe[1]);
    // -noreset: a server that resets when its last client leaves refuses
    // the clients that connect during the reset.
    execlp("Xvfb", "Xvfb", "-displayfd", Fd, "-noreset", "-nolisten", "tcp", "-screen", "0",
        "1024x768x24", (char*)NULL);
    _exit(127);
}

bool StartPrivateDisplay()
{
    int Pipe[2];
    if (pipe(Pipe) != 0)
        return false;
    Server = fork();
    if (Server == 0)
        RunServer(Pipe);
    close(Pipe[1]);
    char Number[16] = "";
    FILE* From = Server > 0 ? fdopen(Pipe[0], "r") : NULL;
    if (From == NULL || fgets(Number, sizeof Number, From) == NULL || Number[0] < '0'
        || Number[0] > '9') {
        if (From != NULL)
            fclose(From);
        StopPrivateDisplay();
        return false;
    }
    fclose(From);
    char Display[20];
    snprintf(Display, sizeof Display, ":%d", atoi(Number));
    setenv("DISPLAY", Display, 1);
    return true;
}

void StopPrivateDisplay()
{
    if (Server <= 0)
        return;
    kill(Server, SIGTERM);
    waitpid(Server, NULL, 0);
    Server = 0;
}
