// The application shell: start-up, the window and its GL projection, the
// event and frame loop, and the quit and full-screen services for scenes.
#include "main.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "error.h"
#include "shell.h"

S_AppStatus AppStatus;
bool isProgramLooping;
SDL_Surface* Screen;

// Log a start-up failure with SDL's reason and end the process.
static void ExitWithError(const char* Format)
{
    Log(Format, SDL_GetError());
    exit(1);
}

// The hook running now, for the crash report; null between hooks.
static const char* volatile RunningHook;

// The same for a hook that returned false. A scene's own failure often sets
// no SDL error, and sdl12-compat's texts can be empty: then the line names
// the hook instead of ending in nothing.
static void ExitWithHookError(const char* Format, const char* Hook)
{
    RunningHook = NULL; // what follows is the exit, not the hook
    const char* Reason = SDL_GetError();
    char Named[64];
    if (Reason == NULL || Reason[0] == '\0') {
        snprintf(Named, sizeof Named, "%s returned false", Hook);
        Reason = Named;
    }
    Log(Format, Reason);
    exit(1);
}

static const int FatalSignals[FatalSignalCount] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

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

// What the fatal signals did before the shell caught them: classic SDL's
// parachute, or the default.
static struct sigaction FormerActions[FatalSignalCount];

// Names the hook and the signal in the log, then lets the signal do what it
// did before.
static void ReportCrash(int Signal, siginfo_t* Info, void* Context)
{
    (void)Context;
    const char* Hook = RunningHook;
    if (Hook != NULL) {
        LogFromSignalHandler("Crashed in ");
        LogFromSignalHandler(Hook);
        LogFromSignalHandler(": SIG");
        LogFromSignalHandler(sigabbrev_np(Signal));
        LogFromSignalHandler("\n");
    }
    PassOnFatalSignal(Signal, Info, FormerActions);
}

bool CreateWindowGL(int W, int H, int B, Uint32 F)
{
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);

    Screen = SDL_SetVideoMode(W, H, B, F);
    if (Screen == NULL)
        return false;

    // Transparent black: the 2D layer starts invisible over the 3D frame.
    SDL_FillRect(Screen, NULL, SDL_MapRGBA(Screen->format, 0, 0, 0, 0));
    ReshapeGL(ScreenWidth, ScreenHeight);
    return true;
}

void ReshapeGL(int width, int height)
{
    if (height == 0)
        height = 1; // keeps the aspect ratio finite
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, (double)width / (double)height, 1.0, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

bool InitTimers(Uint32* C)
{
    *C = SDL_GetTicks();
    return true;
}

void TerminateApplication()
{
    static SDL_Event Q;

    Q.type = SDL_QUIT;
    if (SDL_PushEvent(&Q) == -1) {
        Log("SDL_QUIT event can't be pushed: %s\n", SDL_GetError());
        exit(1);
    }
}

void ToggleFullscreen()
{
    SDL_Surface* S = SDL_GetVideoSurface();
    if (S == NULL || SDL_WM_ToggleFullScreen(S) != 1)
        Log("Unable to toggle fullscreen: %s\n", SDL_GetError());
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

// One event: quit, resize, activation and focus, or key-down.
static void HandleEvent(const SDL_Event* E, Uint8** Keys)
{
    switch (E->type) {
    case SDL_QUIT:
        isProgramLooping = false;
        break;
    case SDL_VIDEORESIZE:
        ReshapeGL(E->resize.w, E->resize.h);
        break;
    case SDL_ACTIVEEVENT:
        if (E->active.state & SDL_APPACTIVE)
            AppStatus.Visible = E->active.gain != 0;
        if (E->active.state & SDL_APPMOUSEFOCUS)
            AppStatus.MouseFocus = E->active.gain != 0;
        if (E->active.state & SDL_APPINPUTFOCUS)
            AppStatus.KeyboardFocus = E->active.gain != 0;
        break;
    case SDL_KEYDOWN:
        // SDL's live table: it also follows the releases that come later.
        *Keys = SDL_GetKeyState(NULL);
        break;
    default:
        break;
    }
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
    CatchFatalSignals(ReportCrash, FormerActions);
    SetUpIcon((char*)"Zarn_Icon.bmp");
    if (!CreateWindowGL(ScreenWidth, ScreenHeight, ScreenDepth, Vflags))
        ExitWithError("Unable to open screen surface: %s\n");
    SDL_WM_SetCaption(AppTitle, NULL);
    if (!InitTimers(LastCount))
        ExitWithError("Can't init the timers: %s\n");
    RunningHook = "InitGL";
    if (!InitGL(Screen))
        ExitWithHookError("Can't init GL: %s\n", "InitGL");
    RunningHook = "Initialize";
    if (!Initialize())
        ExitWithHookError("App init failed: %s\n", "Initialize");
    RunningHook = NULL;
}

void UpdateAndDraw(Uint32 Milliseconds, Uint8* Keys)
{
    RunningHook = "Update";
    Update(Milliseconds, Keys);
    RunningHook = "Draw";
    Draw(Screen);
    RunningHook = NULL;
}

void EndShell()
{
    RunningHook = "Deinitialize";
    Deinitialize();
    RunningHook = NULL;
    CloseErrorLog();
}

int main(int argc, char** argv)
{
    SDL_Event E;
    Uint8* Keys;
    Uint32 TickCount, LastCount;

    (void)argc;
    (void)argv;
    Keys = NULL;
    StartShell(&LastCount);

    // Each pass handles one event, or draws one frame, or waits while hidden.
    isProgramLooping = true;
    while (isProgramLooping) {
        if (SDL_PollEvent(&E)) {
            HandleEvent(&E, &Keys);
        } else if (AppStatus.Visible) {
            TickCount = SDL_GetTicks();
            UpdateAndDraw(TickCount - LastCount, Keys);
            LastCount = TickCount;
            SDL_GL_SwapBuffers();
        } else {
            SDL_WaitEvent(NULL);
        }
    }

    EndShell();
    exit(0);
}
