// Start-up and shut-down around a scene, the same in every host: the order
// of the steps, their log lines, and the hooks named for the crash report.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "crash.h"
#include "error.h"
#include "main.h"

bool StartFailuresOnStderr;

// The failure's line in the log, on standard error too where the host asked
// for it, and the end of the process.
static void ExitSaying(const char* Format, const char* Reason)
{
    LogTo(StartFailuresOnStderr ? stderr : NULL, Format, Reason);
    exit(1);
}

// Log a start-up failure with SDL's reason and end the process.
static void ExitWithError(const char* Format)
{
    ExitSaying(Format, SDL_GetError());
}

// The same for a hook that returned false. A scene's own failure often sets
// no SDL error, and sdl12-compat's texts can be empty: then the line names
// the hook instead of ending in nothing.
static void ExitWithHookError(const char* Format, const char* Hook)
{
    EnterHook(NULL); // what follows is the exit, not the hook
    const char* Reason = SDL_GetError();
    char Named[64];
    if (Reason == NULL || Reason[0] == '\0') {
        snprintf(Named, sizeof Named, "%s returned false", Hook);
        Reason = Named;
    }
    ExitSaying(Format, Reason);
}

// The longest an exit may take once SDL_Quit starts, in seconds.
const unsigned ExitDeadline = 5;

static void EndStuckExit(int Signal)
{
    (void)Signal;
    _exit(1);
}

// Runs at exit just before SDL_Quit. When the X server is gone, Xlib's
// fatal-error handler exits, and SDL 2's video teardown then waits for the
// dead server for ever; an alarm bounds that wait.
static void ArmExitDeadline()
{
    signal(SIGALRM, EndStuckExit);
    alarm(ExitDeadline);
}

void StartShell(Uint32* LastCount)
{
    Uint32 Vflags = SDL_HWSURFACE | SDL_OPENGLBLIT;

    Screen = NULL;
    InitErrorLog();
    if (SDL_Init(SDL_INIT_VIDEO) < 0)
        ExitWithError("Unable to open SDL: %s\n");
    atexit(SDL_Quit);
    atexit(ArmExitDeadline);
    // After SDL_Init, so that what SDL set up is kept as the former action.
    ReportCrashesInHooks();
    SetUpIcon((char*)"Zarn_Icon.bmp");
    if (!CreateWindowGL(ScreenWidth, ScreenHeight, ScreenDepth, Vflags))
        ExitWithError("Unable to open screen surface: %s\n");
    SDL_WM_SetCaption(AppTitle, NULL);
    if (!InitTimers(LastCount))
        ExitWithError("Can't init the timers: %s\n");
    EnterHook("InitGL");
    if (!InitGL(Screen))
        ExitWithHookError("Can't init GL: %s\n", "InitGL");
    EnterHook("Initialize");
    if (!Initialize())
        ExitWithHookError("App init failed: %s\n", "Initialize");
    EnterHook(NULL);
}

void UpdateAndDraw(Uint32 Milliseconds, Uint8* Keys)
{
    EnterHook("Update");
    Update(Milliseconds, Keys);
    EnterHook("Draw");
    Draw(Screen);
    EnterHook(NULL);
}

void EndShell()
{
    EnterHook("Deinitialize");
    Deinitialize();
    EnterHook(NULL);
    CloseErrorLog();
}
