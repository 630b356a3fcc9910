// The browser host's entry and its loop: the shell's start-up, then one pass
// per browser frame (the browser has no loop that blocks): every pending
// event, then one frame of the scene, whose buffers the browser shows.
#include <emscripten.h>
#include <stdlib.h>

#include "main.h"
#include "web.h"

static Uint8* Keys;
static Uint32 LastCount;

static void RunFrameWeb()
{
    SDL_Event E;
    while (isProgramLooping && SDL_PollEvent(&E)) {
        FollowKeyWeb(&E);
        // The page sizes the canvas and its picture itself (FitCanvasWeb).
        if (E.type != SDL_VIDEORESIZE)
            HandleEvent(&E, &Keys);
    }
    if (!isProgramLooping) {
        emscripten_cancel_main_loop();
        EndShell();
        exit(0);
    }
    FitCanvasWeb();
    if (!AppStatus.Visible)
        return;
    Uint32 TickCount = SDL_GetTicks();
    UpdateAndDraw(TickCount - LastCount, Keys);
    LastCount = TickCount;
    SDL_GL_SwapBuffers();
    PublishFrameWeb();
}

int main(int argc, char** argv)
{
    (void)argc;
    (void)argv;
    StartShell(&LastCount);
    isProgramLooping = true;
    // At the display's rate; main does not return.
    emscripten_set_main_loop(RunFrameWeb, 0, 1);
    return 0;
}
