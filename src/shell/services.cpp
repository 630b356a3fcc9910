// The two services every host offers a scene: a quit request and the
// full-screen toggle.
#include <stdlib.h>

#include "error.h"
#include "main.h"

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
