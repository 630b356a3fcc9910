// The shell's own steps around a scene, shared by its real-time loop
// (main.cpp) and the capture host's virtual-time one (capture.cpp), so that
// both start, run hooks and end in the same order with the same log lines.
#ifndef PELLACORN_SHELL_H
#define PELLACORN_SHELL_H

#include <SDL.h>
#include <signal.h>

// The log, SDL's video, the crash report, the icon, the window, the caption,
// the timers (into *LastCount), then InitGL and Initialize. A failure is
// logged and exits with status 1.
void StartShell(Uint32* LastCount);
// One frame's hooks, Update then Draw, named for the crash report; no swap.
void UpdateAndDraw(Uint32 Milliseconds, Uint8* Keys);
// After a normal quit: Deinitialize, then the log's closing line.
void EndShell();

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

#endif
