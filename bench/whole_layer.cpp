// The obvious alternative: Pellacorn's own objects, linked so that the
// overlay's three rectangle updates do nothing and the whole 640 x 480
// layer is updated once per frame instead, just before the swap, through
// the same layer code as the shell's.
#include "shell/layer.h"

extern "C" {
void __real_SDL_UpdateRects(SDL_Surface* S, int N, SDL_Rect* R);
void __real_SDL_GL_SwapBuffers(void);

void __wrap_SDL_UpdateRects(SDL_Surface*, int, SDL_Rect*)
{
}

void __wrap_SDL_GL_SwapBuffers(void)
{
    SDL_Rect Whole = {0, 0, 640, 480};
    UpdateLayerRectsGL(SDL_GetVideoSurface(), 1, &Whole, __real_SDL_UpdateRects);
    __real_SDL_GL_SwapBuffers();
}
}
