/* A preload library for process tests: a window system that refuses every
 * switch to or from full screen, as SDL reports a refusal, with a reason. */
#include <SDL.h>

int SDL_WM_ToggleFullScreen(SDL_Surface* Surface)
{
    (void)Surface;
    SDL_SetError("full screen refused");
    return 0;
}
