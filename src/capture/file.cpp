// The output file is written under a temporary name beside it and renamed
// only once complete, so that a failure, a quit or a crash leaves nothing.
#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "capture.h"
#include "shell/crash.h"

static char TemporaryPath[PATH_MAX];

static void RemoveAtExit()
{
    DiscardCaptureFile();
}

// Removes the file, then lets the signal do what it would have done.
static void RemoveOnSignal(int Signal, siginfo_t* Info, void* Context)
{
    (void)Context;
    if (TemporaryPath[0] != '\0')
        unlink(TemporaryPath);
    PassOnFatalSignal(Signal, Info, NULL);
}

const char* MakeCaptureFile(const char* Output)
{
    atexit(RemoveAtExit);
    // Before SDL and the shell set up theirs: each keeps this one as the
    // action it hands on to.
    CatchFatalSignals(RemoveOnSignal, NULL);
    const char* Slash = strrchr(Output, '/');
    int Folder = Slash != NULL ? (int)(Slash - Output + 1) : 0;
    if (snprintf(
            TemporaryPath, sizeof TemporaryPath, "%.*s.%s.XXXXXX", Folder, Output, Output + Folder)
        >= (int)sizeof TemporaryPath) {
        TemporaryPath[0] = '\0';
        errno = ENAMETOOLONG;
        return NULL;
    }
    int Fd = mkstemp(TemporaryPath);
    if (Fd < 0) {
        TemporaryPath[0] = '\0';
        return NULL;
    }
    // mkstemp's file is the owner's alone; the video is an ordinary file.
    mode_t Mask = umask(0);
    umask(Mask);
    fchmod(Fd, 0666 & ~Mask);
    close(Fd);
    return TemporaryPath;
}

bool KeepCaptureFile(const char* Output)
{
    if (rename(TemporaryPath, Output) != 0)
        return false;
    TemporaryPath[0] = '\0';
    return true;
}

void DiscardCaptureFile()
{
    if (TemporaryPath[0] != '\0')
        unlink(TemporaryPath);
    TemporaryPath[0] = '\0';
}
