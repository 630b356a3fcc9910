// Crash reports: a fatal signal in a scene's hook leaves a last log line
// that names the hook and the signal, then acts as it would have.
#ifndef PELLACORN_CRASH_H
#define PELLACORN_CRASH_H

#include <signal.h>

// ---- The fatal signals: SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT ----

const int FatalSignalCount = 5;
// Install Handler for each of them, keeping what each did before in Former
// (FatalSignalCount entries) unless it is null.
void CatchFatalSignals(void (*Handler)(int, siginfo_t*, void*), struct sigaction* Former);
// From such a handler: give Signal back its action from Former (the default
// if Former is null) and let it act. A fault is raised again when the
// handler returns to it, so a core dump and a debugger see the real one; a
// sent signal (abort's among them) is sent again.
void PassOnFatalSignal(int Signal, const siginfo_t* Info, const struct sigaction* Former);

// Report fatal signals in the log, keeping what they did before (classic
// SDL's parachute, or the default) as what each does after the report.
void ReportCrashesInHooks();
// The hook that runs from now on, for the report; null between hooks.
void EnterHook(const char* Hook);

#endif
