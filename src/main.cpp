// The desktop program's entry and its loop: start-up, then passes that each
// handle one event, draw one frame or wait while the window is hidden.
#include <stdlib.h>

#include "main.h"

int main(int argc, char** argv)
{
    SDL_Event E;
    Uint8* Keys;
    Uint32 TickCount, LastCount;

    (void)argc;
    (void)argv;
    Keys = NULL;
    StartShell(&LastCount);

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
