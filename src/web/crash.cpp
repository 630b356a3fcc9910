// Crash reports in the browser: a page has no signals to catch. A scene that
// faults aborts the page, and the browser's console shows where; the hook
// is kept only so that the shell's start-up reads the same on every host.
#include "shell/crash.h"

static const char* volatile CurrentHook;

void ReportCrashesInHooks()
{
}

void EnterHook(const char* Hook)
{
    CurrentHook = Hook;
}
