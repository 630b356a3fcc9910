// Crash reports: which hook was running when a fatal signal came, written
// to the log from the signal handler itself.
#include "crash.h"

#include <string.h>

#include "error.h"

// The hook running now; null between hooks.
static const char* volatile CurrentHook;

static const int FatalSignals[FatalSignalCount] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

// What the fatal signals did before the shell caught them.
static struct sigaction FormerActions[FatalSignalCount];

void CatchFatalSignals(void (*Handler)(int, siginfo_t*, void*), struct sigaction* Former)
{
    struct sigaction Action;
    memset(&Action, 0, sizeof Action);
    Action.sa_sigaction = Handler;
    Action.sa_flags = SA_SIGINFO;
    sigemptyset(&Action.sa_mask);
    for (int I = 0; I < FatalSignalCount; I++)
        sigaction(FatalSignals[I], &Action, Former != NULL ? &Former[I] : NULL);
}

void PassOnFatalSignal(int Signal, const siginfo_t* Info, const struct sigaction* Former)
{
    for (int I = 0; I < FatalSignalCount; I++) {
        if (FatalSignals[I] != Signal)
            continue;
        if (Former != NULL)
            sigaction(Signal, &Former[I], NULL);
        else
            signal(Signal, SIG_DFL);
    }
    if (Info->si_code <= 0)
        raise(Signal);
}

// Names the hook and the signal in the log, then lets the signal do what it
// did before.
static void ReportCrash(int Signal, siginfo_t* Info, void* Context)
{
    (void)Context;
    const char* Hook = CurrentHook;
    if (Hook != NULL) {
        LogFromSignalHandler("Crashed in ");
        LogFromSignalHandler(Hook);
        LogFromSignalHandler(": SIG");
        LogFromSignalHandler(sigabbrev_np(Signal));
        LogFromSignalHandler("\n");
    }
    PassOnFatalSignal(Signal, Info, FormerActions);
}

void ReportCrashesInHooks()
{
    CatchFatalSignals(ReportCrash, FormerActions);
}

void EnterHook(const char* Hook)
{
    CurrentHook = Hook;
}
