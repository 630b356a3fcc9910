// The obvious alternative: Pellacorn's own objects, linked so that the
// overlay's three rectangle updates do nothing and the whole 640 x 480
// layer is updated once per frame instead, just before the swap.
#include <SDL.h>

extern "C" {
void __real_SDL_GL_SwapBuffers(void);

void __wrap_SDL_UpdateRects(SDL_Surface*, int, SDL_Rect*)
{
}

void __wrap_SDL_GL_SwapBuffers(void)
{
    SDL_UpdateRect(SDL_GetVideoSurface(), 0, 0, 0, 0);
    __real_SDL_GL_SwapBuffers();
}
}
