// The application shell: start-up, the window and its GL projection, the
// event and frame loop, and the quit and full-screen services for scenes.
#include "main.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include "error.h"

S_AppStatus AppStatus;
bool isProgramLooping;
SDL_Surface* Screen;

// Log a start-up failure with SDL's reason and end the process.
static void ExitWithError(const char* Format)
{
    Log((char*)Format, SDL_GetError());
    exit(1);
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
        Log((char*)"SDL_QUIT event can't be pushed: %s\n", SDL_GetError());
        exit(1);
    }
}

void ToggleFullscreen()
{
    SDL_Surface* S = SDL_GetVideoSurface();
    if (S == NULL || SDL_WM_ToggleFullScreen(S) != 1)
        Log((char*)"Unable to toggle fullscreen: %s\n", SDL_GetError());
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

int main(int argc, char** argv)
{
    SDL_Event E;
    Uint8* Keys;
    Uint32 Vflags;
    Uint32 TickCount, LastCount;

    (void)argc;
    (void)argv;
    Screen = NULL;
    Keys = NULL;
    Vflags = SDL_HWSURFACE | SDL_OPENGLBLIT;

    InitErrorLog();
    if (SDL_Init(SDL_INIT_VIDEO) < 0)
        ExitWithError("Unable to open SDL: %s\n");
    atexit(SDL_Quit);
    atexit(ArmExitDeadline);
    SetUpIcon((char*)"Zarn_Icon.bmp");
    if (!CreateWindowGL(ScreenWidth, ScreenHeight, ScreenDepth, Vflags))
        ExitWithError("Unable to open screen surface: %s\n");
    SDL_WM_SetCaption(AppTitle, NULL);
    if (!InitTimers(&LastCount))
        ExitWithError("Can't init the timers: %s\n");
    if (!InitGL(Screen))
        ExitWithError("Can't init GL: %s\n");
    if (!Initialize())
        ExitWithError("App init failed: %s\n");

    // Each pass handles one event, or draws one frame, or waits while hidden.
    isProgramLooping = true;
    while (isProgramLooping) {
        if (SDL_PollEvent(&E)) {
            HandleEvent(&E, &Keys);
        } else if (AppStatus.Visible) {
            TickCount = SDL_GetTicks();
            Update(TickCount - LastCount, Keys);
            LastCount = TickCount;
            Draw(Screen);
            SDL_GL_SwapBuffers();
        } else {
            SDL_WaitEvent(NULL);
        }
    }

    Deinitialize();
    CloseErrorLog();
    exit(0);
}
